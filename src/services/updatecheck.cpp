#include "services/updatecheck.h"

#include <mutex>

#include "base/files.h"
#include "base/hosts.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/spawn.h"
#include "base/stringtable.h"
#include "engine/extract.h"
#include "engine/spider.h"

namespace {

constexpr char kUpdaterName[] = "update";

std::mutex g_launcherLock;
UpdaterLauncher g_launcher;

std::string ConfigFile() { return ProgramFile("config.ini"); }

// Versions are decimal numbers read as the C library would, but whatever
// the locale (the GUI sets the user's, where "1.069" might read as 1).
bool Newer(const std::string& offered, const std::string& running) {
  return ReadNumber(running) < ReadNumber(offered);
}

std::string UpdateInfoFile() { return ProgramFile("update.ini"); }

// What the update.ini of the last check offers.
bool ProgramOffered() {
  return Newer(IniGetString(UpdateInfoFile(), "Vantrel", "VERSION", "1.0"),
               LoadString(IDS_VERSION));
}
bool RulesOffered(const std::string& siteVersion) {
  return Newer(IniGetString(UpdateInfoFile(), "Vantrel", "SITE_CONFIG_VERSION", "1.0"),
               siteVersion);
}

}  // namespace

bool CheckForUpdate(const std::string& siteVersion) {
  const std::string path = UpdateInfoFile();
  // An update.ini of an earlier check must not answer for a server that
  // cannot be reached now.
  DeleteFile(path);
  const std::string url = HostValue(kHostUpdateInfo);
  if (!url.empty()) CSpider().DownloadFile(url, path);
  if (ProgramOffered() || RulesOffered(siteVersion)) return true;
  DeleteFile(path);
  return false;
}

bool UpdaterExists() { return FileExists(ProgramExecutable(kUpdaterName)); }

bool IsAutoUpdateOn() { return IniGetInt(ConfigFile(), "Base", "AutoUpdate", 0) == 0; }

unsigned SetAutoUpdate(bool on) {
  const bool written = IniWriteString(ConfigFile(), "Base", "AutoUpdate", on ? "0" : "1");
  if (on) return written ? IDS_AUTOUPDATE_ON_OK : IDS_AUTOUPDATE_ON_FAILED;
  return written ? IDS_AUTOUPDATE_OFF_OK : IDS_AUTOUPDATE_OFF_FAILED;
}

bool UpdateDueAtStartup(const std::string& siteVersion, bool installed) {
  if (!UpdaterExists() || !IsAutoUpdateOn() || !CheckForUpdate(siteVersion)) return false;
  // Installed, a new program comes as a package: the updater is worth a
  // start for the shop rules only.
  if (!installed || RulesOffered(siteVersion)) return true;
  DeleteFile(UpdateInfoFile());
  return false;
}

bool StartUpdater(const std::string& siteVersion) {
  UpdaterLauncher launcher;
  {
    std::lock_guard lock(g_launcherLock);
    launcher = g_launcher;
  }
  const std::string program = ProgramExecutable(kUpdaterName);
  const std::vector<std::string> arguments = {"Vantrel", LoadString(IDS_VERSION), siteVersion,
                                              HostValue(kHostUpdateInfo)};
  return launcher ? launcher(program, arguments) : SpawnDetached(program, arguments);
}

bool RunUpdateCommand(const std::string& siteVersion, bool installed) {
  if (!UpdaterExists() || !CheckForUpdate(siteVersion)) {
    ShowMessage(IDS_NO_NEW_VERSION, kMessageInfo);
    return false;
  }
  if (!installed || !ProgramOffered()) return StartUpdater(siteVersion);
  // The package manager owns the installed program: the updater could only
  // claim an update it did not make.
  DeleteFile(UpdateInfoFile());
  ShowMessageText(IDS_UPD_NEW_PACKAGE, kMessageInfo,
                  LoadString(IDS_UPD_NEW_PACKAGE) + HostValue(kHostHomePage));
  return false;
}

void SetUpdaterLauncher(UpdaterLauncher launcher) {
  std::lock_guard lock(g_launcherLock);
  g_launcher = std::move(launcher);
}
