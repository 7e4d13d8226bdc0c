#pragma once

#include <string>

#include "engine/site.h"
#include "engine/tasklist.h"

// The headless part of the program's start-up: the run-time files, the shop
// rules, the task list and the settings of config.ini. The Qt application
// object calls LoadAppData before anything else.

// Sections "Base" and "User" of config.ini, as read at start-up.
struct AppSettings {
  int sleepTimeMs = 1000;   // "SleepTime" (seconds, default 1) x 1000; 0 when empty or not a number
  int shareIconSize = 0;    // "ShareIconSize": 0 large share icons, 1 small
  int listTextSize = 16;    // "ListTextSize": font height of the main list
  int popMsgAutoClose = 0;  // "PopMsgAutoClose": 0 the pop-up closes by itself
  int msgPop = 0;           // "MsgPop": 0 shows the change pop-up, 1 does not
  int failAlert = 3;        // "FailAlert": failed passes in a row before the user is told
  bool realDealsOnly = false;  // "RealDealsOnly": only drops the price history calls deals are told
  std::string username, password, nickname;  // section "User", local code page
};

// Reads the settings from the program directory's config.ini (never creating
// it). When the stored user name and password are the built-in demo pair,
// the three account values are emptied and written back as empty.
AppSettings ReadAppSettings();

// The built-in account pair that ReadAppSettings clears.
extern const char* const kDemoUsername;
extern const char* const kDemoPassword;

// The update folder: the update information URL ("UpdateInfoUrl" of section
// "Hosts") without its "update.ini". Empty when the service is off.
std::string UpdateFolderUrl();

// Makes sure the files the program ships with are in the program directory:
// refreshes an outdated updater, fetches missing images, sound, blank.jpg and
// price-image digit templates from the update folder, and creates the data
// folders. Failed downloads leave the file missing. True when sites.xml is
// missing, too small, too old or belongs to a replaced updater: the rules
// should then be refreshed, and the file stays until a refresh replaces it.
bool PrepareRuntimeFiles();

// Fetches a fresh sites.xml from "SiteRulesUrl" (with "?t=" and the time),
// merges it into `sites` and writes the list to the program directory's
// sites.xml. True when the fetched file held shops, merged and the list was
// saved; otherwise sites.xml and `sites` stay as they were.
bool RefreshSiteRules(CSiteList& sites);

// Loads the program directory's tasks.xml into `tasks`, attaching each task's
// comparison and price history as tracking does. False when tasks.xml exists
// but can't be read (it is then kept aside); a missing file is an empty list.
bool LoadProgramTasks(CTaskList& tasks, const CSiteList& sites);
// After a successful load: the comparison and history files that no task of
// the list names and that are older than kOrphanAgeSeconds are removed.
inline constexpr long kOrphanAgeSeconds = 3600;
void SweepOrphanedProductFiles(const CTaskList& tasks);

// Everything the application object holds that is not a window.
struct AppData {
  std::string title;         // string 57670, also the main window's caption
  std::string version;       // string 57671, the program version
  CSiteList sites;           // the shop rules; GetVersion() is the rules version
  CTaskList tasks;           // every task, with its caches attached
  bool tasksLoaded = false;  // false when tasks.xml could not be read
  AppSettings settings;
};

// Start-up without windows, in order: run-time files, the rules refresh when
// sites.xml is missing or outdated, the shop rules, the tasks, the settings.
void LoadAppData(AppData& data);
// Removes what saves of processes that died left behind in the program
// folder and the product folders.
void SweepProgramTemporaries();
