#include "base/programdir.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

std::string ProgramDirectory() {
  if (const char* home = std::getenv("VANTREL_HOME"); home && *home) {
    std::string dir = home;
    if (dir.back() != '/') dir += '/';
    return dir;
  }
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return "./";
  std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string ProgramFile(const std::string& relative) {
  std::string name = relative;
  for (char& c : name)
    if (c == '\\') c = '/';
  return ProgramDirectory() + name;
}
