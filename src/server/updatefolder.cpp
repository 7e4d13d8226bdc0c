#include "server/updatefolder.h"

#include <filesystem>
#include <system_error>

#include "base/files.h"

namespace fs = std::filesystem;

namespace {

// Single files and whole folders a program directory is given.
constexpr const char* kRuntimeFiles[] = {"update", "Update.exe", "ding.wav",
                                         "productimgs/blank.jpg"};
constexpr const char* kRuntimeFolders[] = {"imgs", "priceimg"};

bool SafeSegment(const std::string& segment) { return !segment.empty() && segment[0] != '.'; }

bool CopyInto(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code code;
  fs::create_directories(to.parent_path(), code);
  if (!code) fs::copy_file(from, to, fs::copy_options::overwrite_existing, code);
  if (code) error = to.string() + ": " + code.message();
  return !code;
}

}  // namespace

std::string UpdateFilePath(const std::string& root, const std::string& requestPath) {
  if (requestPath.empty() || requestPath.find('\\') != std::string::npos ||
      requestPath.find('\0') != std::string::npos)
    return std::string();
  size_t start = 0;
  while (start <= requestPath.size()) {
    size_t end = requestPath.find('/', start);
    if (end == std::string::npos) end = requestPath.size();
    if (!SafeSegment(requestPath.substr(start, end - start))) return std::string();
    start = end + 1;
  }
  std::string path = root;
  if (!path.empty() && path.back() != '/') path += '/';
  path += requestPath;
  std::error_code code;
  // A symbolic link is followed only to a regular file; the segments above
  // already keep the name itself inside the folder.
  return fs::is_regular_file(path, code) ? path : std::string();
}

bool BuildUpdateFolder(const std::string& programDir, const std::string& target,
                       const std::string& sitesXml, const std::string& version,
                       const std::string& sitesVersion, std::string& error) {
  const fs::path from(programDir);
  const fs::path to(target);
  std::error_code code;
  fs::create_directories(to, code);
  if (code) {
    error = target + ": " + code.message();
    return false;
  }
  for (const char* name : kRuntimeFiles) {
    if (fs::is_regular_file(from / name, code) && !CopyInto(from / name, to / name, error))
      return false;
  }
  for (const char* folder : kRuntimeFolders) {
    if (!fs::is_directory(from / folder, code)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(from / folder, code)) {
      if (!entry.is_regular_file()) continue;
      const fs::path relative = fs::relative(entry.path(), from, code);
      if (code || !CopyInto(entry.path(), to / relative, error)) return false;
    }
  }
  if (!sitesXml.empty() && !WriteFileAtomic((to / "sites.xml").string(), sitesXml)) {
    error = (to / "sites.xml").string() + " can't be written";
    return false;
  }
  // Without rules no rule version is claimed (the program reads "1.0").
  std::string ini = "[Vantrel]\r\nVERSION=" + version + "\r\n";
  if (!sitesXml.empty()) ini += "SITE_CONFIG_VERSION=" + sitesVersion + "\r\n";
  if (!WriteFileAtomic((to / "update.ini").string(), ini)) {
    error = (to / "update.ini").string() + " can't be written";
    return false;
  }
  return true;
}
