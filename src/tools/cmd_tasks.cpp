// vantrelctl tasks: the task list of the program directory.
#include <cstdio>
#include <string>
#include <vector>

#include "base/outputfield.h"
#include "base/programdir.h"
#include "engine/tasklist.h"
#include "tools/command.h"

namespace {

int RunTasks(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: vantrelctl tasks\n");
    return 2;
  }
  std::string path = ProgramFile("tasks.xml");
  CTaskList list;
  // Listing reads the file only: no cache is attached, no server is asked.
  if (!list.LoadTasks(path, "", "", nullptr, CTaskList::Unreadable::kLeave)) {
    PrintTasksUnreadable(list, path, "");
    return 1;
  }
  for (const TaskPtr& task : list.Tasks()) {
    CTaskValues v = task->GetValues();
    std::printf("%s\t%s\t%s\t%d\t%s", LocalOutputField(v.url).c_str(),
                LocalOutputField(v.productName).c_str(), LocalOutputField(v.currentPrice).c_str(),
                v.currentStock, v.status == 0 ? "paused" : "tracked");
    // A failing task says how often in a row and why; others keep five columns.
    if (v.failCount > 0)
      std::printf("\t%d\t%s", v.failCount, LocalOutputField(v.failReason).c_str());
    std::printf("\n");
  }
  return list.GetCount() > 0 ? 0 : 1;
}

}  // namespace

VANTREL_COMMAND(tasks, "tasks", "",
                "Lists the tasks of the program directory's tasks.xml, one line each in\n"
                "list order, five tab-separated columns in UTF-8: link, product name,\n"
                "current price, stock (1 in stock, 0 out of stock), and \"tracked\" or\n"
                "\"paused\". A task whose last passes failed has two more columns: the\n"
                "count of failed passes in a row and the reason of the last (e.g.\n"
                "\"连接超时\", \"HTTP 503\", \"页面过短\", \"未找到价格\").\n"
                "Values are escaped (see vantrelctl --help).\n"
                "Nothing is fetched. Exit status 1 when the file can't be read or holds\n"
                "no task.",
                RunTasks);
