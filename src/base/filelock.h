#pragma once

#include <string>

// An exclusive flock on a lock file, held for the object's life, so that
// processes sharing one program folder take turns on a file. When the lock
// file can't be opened, nothing is locked (Held() says so).
class FileLock {
 public:
  explicit FileLock(const std::string& lockPath);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};
