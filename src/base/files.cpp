#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

FileStamp StampOfStat(const struct stat& st) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

// Reads an open regular file to its end; false on a read error or when it
// outgrows the cap while it is read.
bool ReadToEnd(int fd, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      if (bytes.size() > kMaxWholeFileBytes) return false;
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      return false;
    }
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  off_t at = 0;
  while (left > 0) {
    ssize_t n = pwrite(fd, p, left, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    at += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FileStamp{};
  return StampOfStat(st);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, FileStamp* stamp) {
  bytes.clear();
  // Non-blocking, so that opening a FIFO can't wait for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  // A writer that swaps files writes into the one a reader may still hold:
  // a read during which the file changed is done again.
  constexpr int kReads = 5;
  bool ok = false;
  for (int attempt = 0; attempt < kReads; ++attempt) {
    // Only regular files: a device such as /dev/zero or a FIFO has no end.
    struct stat before, after;
    if (fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) ||
        static_cast<uint64_t>(before.st_size) > kMaxWholeFileBytes)
      break;
    bytes.clear();
    bytes.reserve(static_cast<size_t>(before.st_size));
    ok = lseek(fd, 0, SEEK_SET) == 0 && ReadToEnd(fd, bytes);
    if (!ok || fstat(fd, &after) != 0) break;
    const FileStamp read = StampOfStat(before);
    if (stamp) *stamp = read;
    if (StampOfStat(after) == read) break;
    if (attempt + 1 == kReads) break;
    // The name may stand for another file by now.
    int again = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (again < 0) break;
    close(fd);
    fd = again;
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
  bool ok = WriteAll(fd, bytes);
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

std::string SpareFilePath(const std::string& path) { return path + ".spare"; }

bool WriteFileSwapped(const std::string& path, const std::string& bytes) {
  struct stat st;
  const std::string spare = SpareFilePath(path);
  if (stat(path.c_str(), &st) != 0) {
    if (!WriteFileAtomic(path, bytes)) return false;
    // The spare is made with the file, so that no later write needs a new one.
    if (stat(path.c_str(), &st) == 0) {
      int fd = open(spare.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, st.st_mode & 07777);
      if (fd >= 0) close(fd);
    }
    return true;
  }
  const mode_t mode = st.st_mode & 07777;
  int fd = open(spare.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) return WriteFileAtomic(path, bytes, mode);
  struct stat spareStat;
  bool ok = fstat(fd, &spareStat) == 0 && S_ISREG(spareStat.st_mode);
  if (ok && (spareStat.st_mode & 07777) != mode) fchmod(fd, mode);
  // Files written this way mostly grow: the spare is cut only when it is longer.
  ok = ok && WriteAll(fd, bytes) &&
       (static_cast<uint64_t>(spareStat.st_size) <= bytes.size() ||
        ftruncate(fd, static_cast<off_t>(bytes.size())) == 0);
  if (close(fd) != 0) ok = false;
  if (!ok) return WriteFileAtomic(path, bytes, mode);
  if (renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) return true;
  // A file system without the swap: the spare is renamed over the file.
  return rename(spare.c_str(), path.c_str()) == 0;
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
