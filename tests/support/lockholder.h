#pragma once

#include <sys/types.h>

#include <string>

// Another process that holds a lock file (flock), as a `vantrelctl` stopped
// with Ctrl-Z in the middle of a save would, until Release() or the object's
// end.
class LockHolder {
 public:
  explicit LockHolder(const std::string& lockPath);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  pid_t Pid() const { return m_pid; }
  // True once the other process holds the lock.
  bool Holding() const { return m_holding; }
  void Release();

 private:
  pid_t m_pid = -1;
  bool m_holding = false;
};
