#pragma once

#include <string>

#include "base/filelock.h"

class CPriceInfo;

// The lock of a folder of history files: the folder's name + ".lock", beside
// it (productprices.lock beside tasks.xml.lock).
std::string HistoryLockPath(const std::string& historyPath);

// Writes a price history to its file. Several writers share one file: the
// window and `vantrelctl track` tracking the same product, two tasks of one
// product (two links with one ProductFileKey), an import. So the write takes
// the folder's lock and first takes in the points another writer put in the
// file since this history last read or wrote it: no writer's points replace
// another's. A file this history knew that is gone now was deleted with its
// task and stays gone. The bytes go into the file's spare, swapped in
// (WriteFileSwapped): a point costs no new file. The history in memory keeps
// everything when the write fails.
LockedWrite SaveHistoryFile(CPriceInfo& history, const std::string& path,
                            FileLock::Wait wait = FileLock::Wait::kPatiently);
