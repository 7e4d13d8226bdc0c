#include "base/programdir.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "base/files.h"

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string RunningExecutableDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return "./";
  const std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

// Where the executable lies does not change while it runs. Never destroyed:
// a worker may still ask for a program file while the process exits.
const ProgramLayout& RunningLayout() {
  static const ProgramLayout& layout =
      *new ProgramLayout(DetectProgramLayout(RunningExecutableDir()));
  return layout;
}

std::string AccountHome() {
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Fills the folder once per process (and again should the environment
// point elsewhere), so that a package upgrade's new files reach it too.
void PrepareOnce(const ProgramLayout& layout, const std::string& dir) {
  static std::mutex lock;
  static std::string prepared;
  std::lock_guard guard(lock);
  if (prepared == dir) return;
  prepared = dir;
  FillProgramDirectory(layout.DataDir(), dir);
}

}  // namespace

ProgramLayout DetectProgramLayout(const std::string& executableDir) {
  ProgramLayout layout;
  layout.executableDir = WithSlash(executableDir);
  const std::string& dir = layout.executableDir;
  std::string prefix;
  if (EndsWith(dir, "/lib/vantrel/"))
    prefix = dir.substr(0, dir.size() - std::string("lib/vantrel/").size());
  else if (EndsWith(dir, "/bin/"))
    prefix = dir.substr(0, dir.size() - std::string("bin/").size());
  std::error_code code;
  if (!prefix.empty() && fs::is_directory(prefix + "share/vantrel", code)) layout.prefix = prefix;
  return layout;
}

std::string ChooseProgramDirectory(const ProgramLayout& layout, const char* vantrelHome,
                                   const char* xdgDataHome, const char* home) {
  if (vantrelHome && *vantrelHome) return WithSlash(vantrelHome);
  if (!layout.Installed()) return layout.executableDir;
  if (xdgDataHome && xdgDataHome[0] == '/') return WithSlash(xdgDataHome) + "vantrel/";
  if (home && home[0] == '/') return WithSlash(home) + ".local/share/vantrel/";
  // Without a home folder nothing better than the executable's folder is
  // known; writing there fails rather than going somewhere unexpected.
  return layout.executableDir;
}

std::string ExecutablePath(const ProgramLayout& layout, const std::string& programDir,
                           const std::string& name) {
  if (!layout.Installed()) return programDir + name;
  return layout.prefix + (name == "update" ? "lib/vantrel/" : "bin/") + name;
}

bool FillProgramDirectory(const std::string& dataDir, const std::string& programDir) {
  std::string folder = programDir;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!MakePrivateDirectories(folder)) return false;
  std::error_code code;
  const fs::path from(dataDir);
  fs::recursive_directory_iterator entries(from, code);
  if (code) return false;
  bool ok = true;
  for (const fs::directory_entry& entry : entries) {
    const fs::path target = fs::path(programDir) / fs::relative(entry.path(), from, code);
    if (code) return false;
    if (entry.is_directory(code)) {
      if (!MakePrivateDirectories(target.string())) ok = false;
    } else if (entry.is_regular_file(code) && !fs::exists(fs::symlink_status(target, code))) {
      // The user's own files, and files the updater refreshed, stay.
      fs::copy_file(entry.path(), target, fs::copy_options::skip_existing, code);
    }
    ok = ok && !code;
  }
  return ok;
}

std::string ProgramDirectory() {
  const ProgramLayout& layout = RunningLayout();
  const char* home = std::getenv("HOME");
  std::string fallbackHome;
  if (layout.Installed() && !(home && home[0] == '/')) {
    fallbackHome = AccountHome();
    home = fallbackHome.c_str();
  }
  const std::string dir = ChooseProgramDirectory(layout, std::getenv("VANTREL_HOME"),
                                                 std::getenv("XDG_DATA_HOME"), home);
  if (layout.Installed() && dir != layout.executableDir) PrepareOnce(layout, dir);
  return dir;
}

std::string ProgramFile(const std::string& relative) {
  std::string name = relative;
  for (char& c : name)
    if (c == '\\') c = '/';
  return ProgramDirectory() + name;
}

bool IsInstalledLayout() { return RunningLayout().Installed(); }

std::string ProgramExecutable(const std::string& name) {
  return ExecutablePath(RunningLayout(), ProgramDirectory(), name);
}
