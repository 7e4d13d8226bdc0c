// vantrelctl delete: removes a task with its files.
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/message.h"
#include "base/outputfield.h"
#include "base/programdir.h"
#include "engine/events_record.h"
#include "engine/productfiles.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "services/productservices.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunDelete(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fprintf(stderr, "usage: vantrelctl delete URL\n");
    return 2;
  }
  SetMessageHandler([](unsigned, int, const std::string& localText) {
    std::printf("%s\n", LocalToUtf8(localText).c_str());
    return IDOK;
  });
  CTaskList tasks;
  const std::string tasksPath = ProgramFile("tasks.xml");
  if (!tasks.LoadTasks(tasksPath, "", "", nullptr)) {
    PrintTasksUnreadable(tasks, tasksPath, "");
    return 1;
  }
  const std::string url = ArgumentToLocal(args[0]);
  const TaskPtr task = tasks.FindByUrl(url);
  if (!task) {
    std::fprintf(stderr, "vantrelctl: no task with the link %s\n", args[0].c_str());
    return 1;
  }
  CSiteList sites;
  CRecordingEventSink events;
  TaskEnvironment environment{sites, tasks, events, nullptr, ProgramProductServices(nullptr)};
  if (!DeleteTask(environment, task)) return 1;
  std::printf("deleted\t%s\n", LocalOutputField(task->GetUrl()).c_str());
  return 0;
}

}  // namespace

VANTREL_COMMAND(delete, "delete", "URL",
                "Deletes the task whose link is URL (letter case aside) from the program\n"
                "directory: the task leaves tasks.xml, and its picture (productimgs/), its\n"
                "comparison (productitems/) and its history (productprices/) are deleted;\n"
                "productimgs/blank.jpg stays. A logged-in account (section \"User\" of\n"
                "config.ini) is told. Prints \"deleted\" and the link, exit status 0; exit\n"
                "status 1 when tasks.xml can't be read, holds no such task or can't be\n"
                "written (then \"保存任务文件失败！\" is printed).",
                RunDelete);
