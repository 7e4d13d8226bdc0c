#pragma once

#include <cstdint>
#include <string>

// One line per request for the operator: time (UTC), client address,
// method, path, status, bytes sent and milliseconds taken. Only the path is
// written, never the query: account scripts carry passwords there.
class CRequestLog {
 public:
  // Standard error.
  CRequestLog() = default;
  ~CRequestLog();
  CRequestLog(const CRequestLog&) = delete;
  CRequestLog& operator=(const CRequestLog&) = delete;

  // Appends to `path` instead, a regular file made readable by its owner
  // only (also when it was there with another mode); a symlink is refused.
  bool Open(const std::string& path, std::string& error);
  void Write(const std::string& client, const std::string& method, const std::string& path,
             int status, std::uint64_t bytes, std::int64_t milliseconds);

 private:
  int m_fd = 2;
};

// "2026-12-10T07:00:00Z 127.0.0.1 GET /api/login.php 200 5 3", with blanks
// and control characters of the path escaped so that a line stays a line.
std::string RequestLogLine(std::int64_t unixSeconds, const std::string& client,
                           const std::string& method, const std::string& path, int status,
                           std::uint64_t bytes, std::int64_t milliseconds);
