#pragma once

#include <string>

// The update folder the server publishes under /update/.

// The file a request path names inside `root`, or "" when the path could
// leave the folder or name something hidden (a "..", "." or empty segment,
// a backslash, a NUL, a segment starting with "."), or when no regular file
// is there.
std::string UpdateFilePath(const std::string& root, const std::string& requestPath);

// Makes `target` the update folder of the program directory `programDir`:
// the run-time files that a fresh program directory fetches (the updater,
// ding.wav, imgs/, productimgs/blank.jpg, the digit templates under
// priceimg/), sites.xml with `sitesXml` as its content (not written when
// empty), and update.ini naming `version` and the rules' `sitesVersion`, so
// that programs of this version see nothing to update. False, with `error`
// set, when the folder can't be written.
bool BuildUpdateFolder(const std::string& programDir, const std::string& target,
                       const std::string& sitesXml, const std::string& version,
                       const std::string& sitesVersion, std::string& error);
