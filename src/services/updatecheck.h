#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/programdir.h"

// The update check: update.ini from the update server names the newest
// program version ("VERSION") and shop-rule version ("SITE_CONFIG_VERSION")
// in section "Vantrel"; the program hands over to the `update` program when
// either is newer than what it runs with. Versions compare as decimal numbers
// (1.1 is newer than 1.069; 1.10 equals 1.1).

// Downloads "UpdateInfoUrl" (section "Hosts") to the program directory's
// update.ini and compares. True when an update is due; update.ini then stays
// for `update` to read. Otherwise update.ini is deleted.
bool CheckForUpdate(const std::string& siteVersion);

// True when the `update` program is there: in the program directory, or in
// the package's library folder when installed.
bool UpdaterExists();

// True when "AutoUpdate" of section "Base" is 0 (the default).
bool IsAutoUpdateOn();

// Writes "AutoUpdate" (on: "0", off: "1") and returns the message to show:
// 57683 / 57684 when switching on, 57685 / 57686 when switching off.
unsigned SetAutoUpdate(bool on);

// The start-up rule: the updater exists, "AutoUpdate" is 0 and the check
// finds an update; `installed` (the package's layout), only newer shop
// rules count, as a new program comes as a package. The caller then runs
// StartUpdater and ends.
bool UpdateDueAtStartup(const std::string& siteVersion, bool installed = IsInstalledLayout());

// Starts `update` (ProgramExecutable) with the four arguments "Vantrel",
// the program version (string 57671), the shop-rule version and the update
// information URL; true when it was started.
bool StartUpdater(const std::string& siteVersion);

// The "查找更新" command: starts the updater when it exists and an update is
// due (true); otherwise shows 57711 (no new version) and returns false.
// `installed` and a newer program: only tells the user to update through
// the package manager (IDS_UPD_NEW_PACKAGE and the home page), false.
bool RunUpdateCommand(const std::string& siteVersion, bool installed = IsInstalledLayout());

// What starts the updater; tests replace it to see the arguments. The
// default spawns the program directly (no shell), detached from us. An empty
// function restores the default.
using UpdaterLauncher =
    std::function<bool(const std::string& program, const std::vector<std::string>& arguments)>;
void SetUpdaterLauncher(UpdaterLauncher launcher);
