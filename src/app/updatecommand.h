#pragma once

// "查找更新": starts the updater when it exists and an update is due,
// otherwise tells the user there is nothing new (57711).
void RunUpdateCheckCommand();

// The check at start-up: when the updater exists and "AutoUpdate" is 0,
// checks, and starts the updater when an update is due. True when the
// updater was started and the program should end without its window.
bool RunStartupUpdateCheck();
