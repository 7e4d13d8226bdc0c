#include "server/request_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7f || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out.empty() ? "-" : out;
}

}  // namespace

CRequestLog::~CRequestLog() {
  if (m_fd > 2) close(m_fd);
}

bool CRequestLog::Open(const std::string& path, std::string& error) {
  // The log names the clients: a symlink planted where the file should be
  // must not send it elsewhere, and a FIFO must not hold the start.
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) {
    error = path + ": " + (errno == ELOOP ? "is a symbolic link" : std::strerror(errno));
    return false;
  }
  struct stat info {};
  const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  // A file that was there keeps its owner but not a mode others can read.
  if (!regular || fchmod(fd, 0600) != 0 || fcntl(fd, F_SETFL, O_APPEND) != 0) {
    error = path + ": " + (regular ? std::strerror(errno) : "is not a regular file");
    close(fd);
    return false;
  }
  if (m_fd > 2) close(m_fd);
  m_fd = fd;
  return true;
}

void CRequestLog::Write(const std::string& client, const std::string& method,
                        const std::string& path, int status, std::uint64_t bytes,
                        std::int64_t milliseconds) {
  const std::string line =
      RequestLogLine(std::time(nullptr), client, method, path, status, bytes, milliseconds) + "\n";
  // One write per line: appended lines of several threads don't mix.
  ssize_t ignored = write(m_fd, line.data(), line.size());
  (void)ignored;
}

std::string RequestLogLine(std::int64_t unixSeconds, const std::string& client,
                           const std::string& method, const std::string& path, int status,
                           std::uint64_t bytes, std::int64_t milliseconds) {
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const size_t question = path.find('?');
  return std::string(stamp) + " " + Escaped(client) + " " + Escaped(method) + " " +
         Escaped(path.substr(0, question)) + " " + std::to_string(status) + " " +
         std::to_string(bytes) + " " + std::to_string(milliseconds);
}
