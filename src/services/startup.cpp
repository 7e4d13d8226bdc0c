#include "services/startup.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <set>

#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "base/tempsweep.h"
#include "engine/spider.h"
#include "engine/tracking.h"
#include "services/productcache.h"

// A demonstration account handed out with early test builds; whoever still
// has it stored is logged out at start.
const char* const kDemoUsername = "demo@vantrel.invalid";
const char* const kDemoPassword = "ZGVtbw==";

namespace {

constexpr char kBase[] = "Base";
constexpr char kUser[] = "User";

void ForgetDemoAccount(AppSettings& settings, const std::string& config) {
  if (settings.username != kDemoUsername || settings.password != kDemoPassword) return;
  settings.username.clear();
  settings.password.clear();
  settings.nickname.clear();
  for (const char* key : {"Username", "Password", "Nickname"})
    IniWriteString(config, kUser, key, std::string());
}

}  // namespace

AppSettings ReadAppSettings() {
  const std::string config = ProgramFile("config.ini");
  AppSettings settings;
  // One reading of SleepTime and MsgPop for the window and the tracker alike.
  const TrackingSettings tracking = ReadTrackingSettings();
  settings.sleepTimeMs = static_cast<int>(std::min<std::int64_t>(tracking.sleepTimeMs, INT_MAX));
  settings.msgPop = tracking.msgPop;
  settings.failAlert = tracking.failAlert;
  settings.realDealsOnly = tracking.realDealsOnly;
  settings.shareIconSize = IniGetInt(config, kBase, "ShareIconSize", 0);
  settings.listTextSize = IniGetInt(config, kBase, "ListTextSize", 16);
  settings.popMsgAutoClose = IniGetInt(config, kBase, "PopMsgAutoClose", 0);
  settings.username = IniGetString(config, kUser, "Username", std::string());
  settings.password = IniGetString(config, kUser, "Password", std::string());
  settings.nickname = IniGetString(config, kUser, "Nickname", std::string());
  ForgetDemoAccount(settings, config);
  return settings;
}

bool LoadProgramTasks(CTaskList& tasks, const CSiteList& sites) {
  const std::string path = ProgramFile("tasks.xml");
  if (!FileExists(path)) return true;
  if (!tasks.LoadTasks(path, ProgramFile("productitems/"), ProgramFile("productprices/"),
                       ProductCacheAttacher(&sites)))
    return false;
  SweepOrphanedProductFiles(tasks);
  return true;
}

void SweepOrphanedProductFiles(const CTaskList& tasks) {
  std::set<std::string> keys;
  for (const TaskPtr& task : tasks.Tasks()) keys.insert(ProductFileKey(*task));
  // An add writes its caches before tasks.xml, within the few minutes its
  // requests may take; anything older that no task names was left behind.
  const std::time_t before = std::time(nullptr) - kOrphanAgeSeconds;
  for (const char* folder : {"productitems/", "productprices/"})
    SweepOrphans(ProgramFile(folder), ".xml", keys, before);
  // A history file's spare goes with it.
  SweepOrphans(ProgramFile("productprices/"), ".xml.spare", keys, before);
}

void SweepProgramTemporaries() {
  for (const char* folder : {"", "productimgs/", "productitems/", "productprices/"})
    SweepStaleTemporaries(ProgramFile(folder));
}

void LoadAppData(AppData& data) {
  SweepProgramTemporaries();
  data.title = LoadString(IDS_APP_TITLE);
  data.version = LoadString(IDS_VERSION);
  LoadFetchTimeout();
  // Outdated rules stay in use until a fetched replacement is in place.
  if (PrepareRuntimeFiles()) RefreshSiteRules(data.sites);
  data.sites.LoadSites(ProgramFile("sites.xml"));
  data.tasksLoaded = LoadProgramTasks(data.tasks, data.sites);
  data.settings = ReadAppSettings();
}
