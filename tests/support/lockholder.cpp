#include "support/lockholder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

LockHolder::LockHolder(const std::string& lockPath) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return;
  m_pid = fork();
  if (m_pid == 0) {
    // Only async-signal-safe calls between fork and _exit.
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const char held = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 1 : 0;
    (void)!write(ready[1], &held, 1);
    for (;;) pause();
  }
  close(ready[1]);
  char held = 0;
  m_holding = m_pid > 0 && read(ready[0], &held, 1) == 1 && held == 1;
  close(ready[0]);
}

LockHolder::~LockHolder() { Release(); }

void LockHolder::Release() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGKILL);
  waitpid(m_pid, nullptr, 0);
  m_pid = -1;
  m_holding = false;
}
