// vantrelctl add: the add pipeline without a window.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/files.h"
#include "base/message.h"
#include "base/outputfield.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/addtask.h"
#include "engine/events_record.h"
#include "engine/generic.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "services/productservices.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

constexpr const char* kUsage =
    "usage: vantrelctl add URL [--site NAME] [--hours H] [--minutes M] [--target PRICE] "
    "[--drop-percent N] [--no-stock] [--no-drop] [--rise]\n";

// Messages the pipeline shows go to standard output, in UTF-8; the ids are
// kept so that the exit status can tell a task that was added but not saved.
std::set<unsigned>& ShownMessages() {
  static std::set<unsigned> shown;
  return shown;
}

int PrintMessage(unsigned id, int kind, const std::string& localText) {
  ShownMessages().insert(id);
  std::printf("%s\n", LocalToUtf8(localText).c_str());
  std::fflush(stdout);
  return kind == kMessageQuestion ? IDNO : IDOK;
}

// The whole text as a plain decimal number (digits with at most one "." and
// an optional sign); false for anything else, such as "0x10", "1e3" or "inf",
// which strtod would take but the tracking pass reads as something else.
bool ReadWholeNumber(const std::string& text, double& value) {
  const size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (text.find_first_not_of("0123456789.", start) != std::string::npos ||
      text.find_first_of("0123456789") == std::string::npos || text.find('.') != text.rfind('.'))
    return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

// A percentage above 0 and below 100, written back as it was typed.
bool ReadDropPercent(const std::string& text, std::string& percent) {
  double value = 0;
  if (!ReadWholeNumber(text, value) || !(value > 0) || !(value < 100)) {
    std::fprintf(stderr, "vantrelctl add: --drop-percent takes a number above 0 and below 100\n");
    return false;
  }
  percent = text;
  return true;
}

// --hours, --minutes and --target: a number of 0 or more, kept as typed. A
// task that can't be read back as typed would track something else.
bool ReadCount(const std::string& option, const std::string& text, std::string& kept) {
  double value = 0;
  if (!ReadWholeNumber(text, value) || value < 0) {
    std::fprintf(stderr, "vantrelctl add: %s takes a number of 0 or more\n", option.c_str());
    return false;
  }
  kept = text;
  return true;
}

bool ReadChoices(const std::vector<std::string>& args, AddChoices& choices) {
  // The window's defaults, except that rises are told only when asked.
  choices.priceUp = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--drop-percent") {
      if (!TakeValue(args, i, value) || !ReadDropPercent(value, choices.dropPercent)) return false;
    } else if (arg == "--site") {
      if (!TakeValue(args, i, value)) return false;
      choices.siteName = ArgumentToLocal(value);
    } else if (arg == "--hours" || arg == "--minutes" || arg == "--target") {
      std::string& kept = arg == "--hours"     ? choices.frequencyHour
                          : arg == "--minutes" ? choices.frequencyMinute
                                               : choices.targetPrice;
      if (!TakeValue(args, i, value) || !ReadCount(arg, value, kept)) return false;
    } else if (arg == "--no-stock") {
      choices.trackStock = false;
    } else if (arg == "--no-drop") {
      choices.priceDown = false;
    } else if (arg == "--rise") {
      choices.priceUp = true;
    } else if (!arg.empty() && arg[0] != '-' && choices.link.empty()) {
      choices.link = ArgumentToLocal(arg);
    } else {
      return false;
    }
  }
  return !choices.link.empty();
}

// The add window's check: a shop that is known by name or recognised in the
// link.
bool ChooseSite(const CSiteList& sites, AddChoices& choices) {
  if (!choices.siteName.empty()) {
    if (sites.FindSiteByName(choices.siteName) || IsGenericSiteName(choices.siteName)) return true;
    std::fprintf(stderr, "vantrelctl: no site named %s in sites.xml\n",
                 LocalToUtf8(choices.siteName).c_str());
    return false;
  }
  // A link no site knows goes to the general shop, which reads the product
  // data the page publishes.
  SiteRef guessed = GuessSiteFromLink(sites, choices.link);
  if (!guessed && !GenericShopTakes(choices.link)) {
    ShowMessage(IDS_LINK_NOT_SUPPORTED, kMessageInfo);
    return false;
  }
  choices.siteName = guessed ? guessed->GetName() : GenericSiteName();
  return true;
}

int RunAdd(const std::vector<std::string>& args) {
  AddChoices choices;
  if (!ReadChoices(args, choices)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  SetMessageHandler(PrintMessage);
  if (!CheckFrequency(choices.frequencyHour, choices.frequencyMinute)) return 2;

  CSiteList sites;
  const std::string sitesPath = ProgramFile("sites.xml");
  if (!sites.LoadSites(sitesPath)) {
    std::fprintf(stderr, "vantrelctl: %s can't be read\n", sitesPath.c_str());
    return 1;
  }
  CTaskList tasks;
  const std::string tasksPath = ProgramFile("tasks.xml");
  // The first task may start the file; an unreadable one is never replaced.
  if (FileExists(tasksPath) && !tasks.LoadTasks(tasksPath, "", "", nullptr)) {
    PrintTasksUnreadable(tasks, tasksPath, "");
    return 1;
  }
  if (!ChooseSite(sites, choices)) return 1;
  for (const char* folder : {"productitems", "productprices", "productimgs"})
    MakePrivateDirectories(ProgramFile(folder));

  // No window listens and no timer is made: `vantrelctl track` schedules
  // the task from tasks.xml.
  CRecordingEventSink events;
  TaskEnvironment environment{sites, tasks, events, nullptr, ProgramProductServices(&sites)};
  const TaskPtr task = MakePlaceholderTask(choices, environment.services);
  if (AddWorker(environment, task) != AddResult::kAdded) return 1;
  if (ShownMessages().count(IDS_SAVE_TASKS_FAILED) != 0) return 1;

  const CTaskValues v = task->GetValues();
  std::printf("added\t%s\t%s\t%s\t%d\n", LocalOutputField(v.url).c_str(),
              LocalOutputField(v.productName).c_str(), LocalOutputField(v.currentPrice).c_str(),
              v.currentStock);
  return 0;
}

}  // namespace

VANTREL_COMMAND(add, "add",
                "URL [--site NAME] [--hours H] [--minutes M] [--target PRICE] [--drop-percent N] "
                "[--no-stock] [--no-drop] [--rise]",
                "Adds a task to the program directory as the add window does: the link is\n"
                "cleaned, the shop is the site named by --site or else the first site of\n"
                "sites.xml whose Domain (host names separated by \"|\") occurs in the link,\n"
                "else the general shop \"通用\" (the product data the page publishes in\n"
                "JSON-LD, microdata or Open Graph, see `vantrelctl extract`);\n"
                "the product page is fetched and read with the shop's rules, and a product\n"
                "with a name, an identifier, a picture link and a price (or out of stock)\n"
                "is added to tasks.xml with its comparison, history and picture files.\n"
                "Frequency --hours (default 1) and --minutes (default 0); prices and stock\n"
                "are tracked, drops told (--no-drop: not), rises told only with --rise,\n"
                "--no-stock stops tracking stock, --target sets the target price,\n"
                "--drop-percent tells only drops of at least N per cent (0 < N < 100);\n"
                "hours, minutes and target are numbers of 0 or more, and a frequency below\n"
                "one minute is refused with \"频率要大于等于1分钟！\". Run\n"
                "`vantrelctl track` afterwards to track it.\n"
                "Prints \"added\", link, product name, price and stock (tab-separated, UTF-8,\n"
                "values escaped as vantrelctl --help says)\n"
                "and exits 0 when the task was added; otherwise prints the program's\n"
                "message (e.g. \"添加任务失败，已经存在！\" for a link already tracked,\n"
                "\"添加任务失败，抓取出错，请重新添加！\" when the page yielded too little,\n"
                "\"添加任务失败，无法写入商品文件！\" when the product's files could not be\n"
                "written, \"保存任务文件失败！\" when tasks.xml could not be written) and\n"
                "exits 1.\n"
                "Exit status 2 for a wrong command line.",
                RunAdd);
