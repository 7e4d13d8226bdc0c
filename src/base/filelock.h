#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>

// How long a writer waits for a lock that another process holds before it
// gives that write up (10 s); tests shorten it.
std::chrono::milliseconds FileLockPatience();
void SetFileLockPatience(std::chrono::milliseconds patience);

// An exclusive lock on a lock file, held for the object's life, so that the
// threads and processes sharing one program folder take turns on a file.
// Threads of one process queue on a mutex of the lock path, processes on a
// flock of the file. Every wait is bounded: a process stopped while it holds
// the lock (Ctrl-Z, a debugger) makes the others give up, and they learn
// which process it is.
//
// Readers need no lock: every file guarded this way is replaced whole
// (renamed over or swapped), so a reader finds the last whole version.
class FileLock {
 public:
  enum class Wait {
    kPatiently,  // up to FileLockPatience(), less once a stop was requested
    kNotAtAll,   // one try, for a caller that can leave the work to a later save
  };
  explicit FileLock(const std::string& lockPath, Wait wait = Wait::kPatiently);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // The caller may write: the lock is held, or the lock file can't be made
  // at all (a folder without write access), where it goes on unlocked.
  bool Acquired() const { return !m_busy; }
  // Another thread or process held the lock all the time this one waited.
  bool Busy() const { return m_busy; }
  // The process that held it, as the system names it; 0 when it doesn't
  // (or when it was a thread of this process).
  pid_t Holder() const { return m_holder; }

 private:
  std::unique_lock<std::timed_mutex> m_threads;
  int m_fd = -1;
  bool m_busy = false;
  pid_t m_holder = 0;
};

// The outcome of a write made under a FileLock.
struct LockedWrite {
  bool ok = true;     // written, or nothing was left to write
  bool busy = false;  // not written: another process held the lock
  pid_t holder = 0;   // that process, when known
};

// The process holding a flock on the file, from /proc/locks; 0 when none is
// named.
pid_t FlockHolder(const std::string& path);

// What a message adds when a save gave up on a lock: that another process
// holds the file, its id when known, and that the changes are kept.
std::string FileHeldText(pid_t holder);
