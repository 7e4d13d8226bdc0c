#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  // Non-blocking, so that opening a FIFO can't wait for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  // Only regular files: a device such as /dev/zero or a FIFO has no end.
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxWholeFileBytes) {
    close(fd);
    return false;
  }
  bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      // A file that grows while it is read is still held to the cap.
      if (bytes.size() > kMaxWholeFileBytes) {
        ok = false;
        break;
      }
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
      break;
    }
  }
  close(fd);
  if (!ok) bytes.clear();
  return ok;
}

namespace {

// The temporary file gets `mode`; exactly (whatever the umask) when `exact`.
bool WriteThroughTemporary(const std::string& path, const std::string& bytes, mode_t mode,
                           bool exact) {
  static std::atomic<unsigned> counter{0};
  std::string temp = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  if (exact) fchmod(fd, mode);
  const char* p = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const std::string& bytes, mode_t mode) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  return WriteThroughTemporary(path, bytes, mode, true);
}

bool WriteUserFile(const std::string& path, const std::string& bytes, bool force,
                   std::string& problem) {
  problem.clear();
  struct stat st;
  const bool exists = lstat(path.c_str(), &st) == 0;
  const bool regular = exists && S_ISREG(st.st_mode);
  if (exists && !force) {
    if (S_ISLNK(st.st_mode))
      problem = "is a symbolic link";
    else if (!regular)
      problem = "is not a regular file";
    else if ((st.st_mode & 0222) == 0)
      problem = "is read-only";
    if (!problem.empty()) return false;
  }
  // A regular file keeps its mode; a new one gets what the umask leaves of 0666.
  if (regular) return WriteThroughTemporary(path, bytes, st.st_mode & 07777, true);
  if (WriteThroughTemporary(path, bytes, 0666, false)) return true;
  problem = "can't be written";
  return false;
}

bool WritePrivateFileAtomic(const std::string& path, const std::string& bytes) {
  // Narrowed first, so that the replacement inherits 0600 from it.
  chmod(path.c_str(), 0600);
  return WriteFileAtomic(path, bytes, 0600);
}

void KeepAside(const std::string& path) {
  std::string aside = path + ".bad";
  if (!FileExists(path) || FileExists(aside)) return;
  std::error_code ec;
  std::filesystem::copy_file(path, aside, ec);
}

std::string SafeFileName(std::string name) {
  for (char& c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  return name;
}

std::string BoundedFileStem(const std::string& name) {
  if (name.size() <= kMaxFileStemBytes) return name;
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : name) hash = (hash ^ byte) * 1099511628211ull;
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  const size_t headLimit = kShortenedStemBytes - 17;
  size_t head = 0;
  // Never keep half a character: a GB18030 lead byte takes one more byte
  // with it, or three when a digit follows it.
  while (head < headLimit) {
    size_t width = 1;
    if (static_cast<unsigned char>(name[head]) >= 0x81 && head + 1 < name.size())
      width = name[head + 1] >= '0' && name[head + 1] <= '9' ? 4 : 2;
    if (head + width > headLimit) break;
    head += width;
  }
  return name.substr(0, head) + "~" + digits;
}

bool DeleteFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

bool MakePrivateDirectories(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path made;
  for (const fs::path& part : fs::path(path).lexically_normal()) {
    made /= part;
    if (part.empty() || fs::is_directory(made, ec)) continue;
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return fs::is_directory(path, ec);
}
