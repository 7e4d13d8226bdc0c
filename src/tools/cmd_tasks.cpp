// vantrelctl tasks: the task list of the program directory.
#include <cstdio>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/outputfield.h"
#include "base/programdir.h"
#include "engine/tasklist.h"
#include "services/history.h"
#include "services/productcache.h"
#include "services/verdict.h"
#include "tools/command.h"

namespace {

// What the task's history file says of its current price; "-" for nothing.
std::string Verdict(const CTask& task, const VerdictSettings& settings) {
  CPriceInfo history;
  history.LoadCache(HistoryFilePath(task, ProgramFile("productprices/")));
  const std::string text =
      VerdictText(JudgePrice(history.Items(), task.GetCurrentPrice(), CurrentTime(), settings));
  return text.empty() ? "-" : LocalOutputField(text);
}

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
  const VerdictSettings settings = ReadVerdictSettings();
  for (const TaskPtr& task : list.Tasks()) {
    CTaskValues v = task->GetValues();
    std::printf("%s\t%s\t%s\t%d\t%s", LocalOutputField(v.url).c_str(),
                LocalOutputField(v.productName).c_str(), LocalOutputField(v.currentPrice).c_str(),
                v.currentStock, v.status == 0 ? "paused" : "tracked");
    // A failing task says how often in a row and why.
    if (v.failCount > 0)
      std::printf("\t%d\t%s", v.failCount, LocalOutputField(v.failReason).c_str());
    std::printf("\t%s\n", Verdict(*task, settings).c_str());
  }
  return list.GetCount() > 0 ? 0 : 1;
}

}  // namespace

VANTREL_COMMAND(
    tasks, "tasks", "",
    "Lists the tasks of the program directory's tasks.xml, one line each in\n"
    "list order, six tab-separated columns in UTF-8: link, product name,\n"
    "current price, stock (1 in stock, 0 out of stock), \"tracked\" or\n"
    "\"paused\", and the verdict. A task whose last passes failed has two more\n"
    "columns before the verdict: the count of failed passes in a row and the\n"
    "reason of the last (e.g. \"连接超时\", \"HTTP 503\", \"页面过短\", \"未找到价格\").\n"
    "The verdict, always the last column, is what the task's history file\n"
    "(productprices/) says of its current price: \"历史最低\", \"近N天最低\" or\n"
    "\"先涨后降：N天内从A涨到B\" (see history), or \"-\" for nothing.\n"
    "Values are escaped (see vantrelctl --help).\n"
    "Nothing is fetched. Exit status 1 when the file can't be read or holds\n"
    "no task.",
    RunTasks);
