#include "base/proclist.h"

#include <dirent.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// The full path of the process's executable; empty when it can't be read
// (another user's process, or one that just ended).
std::string ExecutablePath(const std::string& procEntry) {
  char target[4096];
  ssize_t length = readlink((procEntry + "/exe").c_str(), target, sizeof target - 1);
  if (length <= 0) return std::string();
  std::string path(target, static_cast<size_t>(length));
  // The kernel marks an executable that was replaced or removed since start.
  static const std::string kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() &&
      path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    path.resize(path.size() - kDeleted.size());
  return path;
}

// The folder as the kernel names executables: absolute, links resolved,
// with a trailing "/".
std::string CanonicalFolder(const std::string& folder) {
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) return std::string();
  std::string path = resolved;
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool OwnedByMe(const std::string& procEntry) {
  struct stat info;
  return stat(procEntry.c_str(), &info) == 0 && info.st_uid == getuid();
}

// Gone, or a zombie: it runs no more code and holds no files.
bool HasEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!stat || !std::getline(stat, line)) return true;
  // The state follows the command name, which is in parentheses and may hold
  // blanks or parentheses itself.
  size_t close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return true;
  char state = line[close + 2];
  return state == 'Z' || state == 'X';
}

bool WaitForEnd(pid_t pid, int milliseconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!HasEnded(pid)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

pid_t FindRunningProgram(const std::string& name, const std::string& folder) {
  if (name.empty()) return -1;
  const std::string wantedFolder = folder.empty() ? std::string() : CanonicalFolder(folder);
  if (!folder.empty() && wantedFolder.empty()) return -1;
  std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
  if (!proc) return -1;
  pid_t self = getpid();
  while (dirent* entry = readdir(proc.get())) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    std::string procEntry = std::string("/proc/") + entry->d_name;
    if (!OwnedByMe(procEntry)) continue;
    const std::string path = ExecutablePath(procEntry);
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) continue;
    if (strcasecmp(path.c_str() + slash + 1, name.c_str()) != 0) continue;
    if (wantedFolder.empty() || path.compare(0, slash + 1, wantedFolder) == 0)
      return static_cast<pid_t>(pid);
  }
  return -1;
}

bool EndProgram(pid_t pid, int graceMilliseconds) {
  if (pid <= 0) return false;
  if (kill(pid, SIGTERM) != 0) return HasEnded(pid);
  if (WaitForEnd(pid, graceMilliseconds)) return true;
  kill(pid, SIGKILL);
  return WaitForEnd(pid, 2000);
}
