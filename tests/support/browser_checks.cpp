#include "support/browser_checks.h"

#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/browser_process.h"

int BrowserProcessesLeft(pid_t pid) {
  const std::string home = "HOME=" + BrowserProfileParent() + "/" + BrowserProfilePrefix(pid);
  int left = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
    std::ifstream file(entry.path() / "environ", std::ios::binary);
    const std::string environment{std::istreambuf_iterator<char>(file), {}};
    if (environment.find(home) != std::string::npos) ++left;
  }
  return left;
}

int ProfileFoldersLeft(pid_t pid) {
  const std::string prefix = BrowserProfilePrefix(pid);
  int left = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(BrowserProfileParent(), ignored))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) ++left;
  return left;
}
