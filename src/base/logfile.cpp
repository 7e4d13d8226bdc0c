#include "base/logfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/filelock.h"
#include "base/files.h"

bool AppendLogLine(const std::string& path, const std::string& line, int64_t limitBytes) {
  FileLock lock(path + ".lock");
  int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW;
  if (lock.Acquired() && FileSize(path) > limitBytes) flags |= O_TRUNC;
  const int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) return false;
  const std::string text = line + "\n";
  ssize_t written;
  do {
    written = write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  const bool closed = close(fd) == 0;
  return written == static_cast<ssize_t>(text.size()) && closed;
}
