#include "services/historyfile.h"

#include "base/files.h"
#include "services/history.h"

std::string HistoryLockPath(const std::string& historyPath) {
  const size_t slash = historyPath.rfind('/');
  if (slash == std::string::npos || slash == 0) return historyPath + ".lock";
  return historyPath.substr(0, slash) + ".lock";
}

LockedWrite SaveHistoryFile(CPriceInfo& history, const std::string& path, FileLock::Wait wait) {
  FileLock lock(HistoryLockPath(path), wait);
  if (lock.Busy()) return LockedWrite{false, true, lock.Holder()};
  const FileStamp known = history.FileVersion();
  const FileStamp now = StampOf(path);
  if (!now.exists && known.exists) return LockedWrite{};
  if (now.exists && now != known) {
    CPriceInfo theirs;
    if (theirs.LoadCache(path))
      history.MergeFrom(theirs);
    else
      KeepAside(path);  // unreadable: a copy stays before it is replaced
  }
  if (!WriteFileSwapped(path, history.ToCacheText())) return LockedWrite{false};
  history.SetFileVersion(StampOf(path));
  return LockedWrite{};
}
