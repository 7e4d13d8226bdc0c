#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Coalesces the saves of a file that many threads change: the first change
// after a quiet interval is saved at once on the thread that made it, later
// ones at most once per interval by a saver thread, and what is still pending
// when the object goes is saved then. A crash loses at most one interval.
//
// A failed save (a full disk, a lock another process holds) keeps the
// changes pending: the saver tries again after the interval, and until a
// save succeeds no change is saved on the thread that made it, so that
// callers never wait on a file that is held. `failed` hears of a failed
// save that holds new changes, not of the retries that follow it.
class CCoalescedSave {
 public:
  using SaveFunction = std::function<bool()>;
  using FailureFunction = std::function<void()>;
  // When the first change after a quiet interval is saved: at once on the
  // thread that made it; at once on the saver thread (a window thread must
  // never wait on a file another process holds); or by the saver an
  // interval later, with everything else changed meanwhile (a burst of
  // tracking passes makes one save).
  enum class First { kOnChangingThread, kOnSaverThread, kAfterInterval };
  CCoalescedSave(SaveFunction save, FailureFunction failed,
                 std::chrono::milliseconds interval = std::chrono::seconds(1),
                 First first = First::kOnChangingThread);
  ~CCoalescedSave();
  CCoalescedSave(const CCoalescedSave&) = delete;
  CCoalescedSave& operator=(const CCoalescedSave&) = delete;

  void MarkChanged();
  // Saves now what is pending (also waits for a save that is running).
  void Flush();

 private:
  void Run();
  // Saves with the lock released; called with it held.
  void SaveUnlocked(std::unique_lock<std::mutex>& lock);
  void StartSaverLocked();

  const SaveFunction m_save;
  const FailureFunction m_failed;
  const std::chrono::milliseconds m_interval;
  const First m_first;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_pending = false;
  bool m_saving = false;
  bool m_failing = false;
  bool m_failureTold = false;  // since the last change or success
  bool m_stop = false;
  std::chrono::steady_clock::time_point m_lastSave{};
  std::chrono::steady_clock::time_point m_firstChange{};  // of what is pending
  std::thread m_thread;
};
