#include "base/tempsweep.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The pid of a name "<file>.tmp<pid>_<n>", or 0 when the name has another form.
pid_t TemporaryOwner(const std::string& name) {
  const size_t tmp = name.rfind(".tmp");
  if (tmp == std::string::npos || tmp == 0) return 0;
  const size_t underscore = name.find('_', tmp);
  if (underscore == std::string::npos) return 0;
  const std::string pid = name.substr(tmp + 4, underscore - tmp - 4);
  if (!AllDigits(pid) || pid.size() > 9 || !AllDigits(name.substr(underscore + 1))) return 0;
  return static_cast<pid_t>(std::atol(pid.c_str()));
}

std::string FolderPrefix(const std::string& folder) {
  if (!folder.empty() && folder.back() != '/') return folder + '/';
  return folder;
}

bool ProcessRuns(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

int SweepStaleTemporaries(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return 0;
  const std::string prefix = FolderPrefix(folder);
  int removed = 0;
  while (dirent* entry = readdir(dir.get())) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    const pid_t owner = TemporaryOwner(entry->d_name);
    if (owner <= 0 || owner == getpid() || ProcessRuns(owner)) continue;
    if (unlink((prefix + entry->d_name).c_str()) == 0) ++removed;
  }
  return removed;
}

int SweepOrphans(const std::string& folder, const std::string& suffix,
                 const std::set<std::string>& kept, std::time_t writtenBefore) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return 0;
  const std::string prefix = FolderPrefix(folder);
  int removed = 0;
  while (dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    if (kept.count(name.substr(0, name.size() - suffix.size())) != 0) continue;
    struct stat st;
    const std::string path = prefix + name;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime >= writtenBefore)
      continue;
    if (unlink(path.c_str()) == 0) ++removed;
  }
  return removed;
}
