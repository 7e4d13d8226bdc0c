#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "engine/events.h"

// Told of the progress after each task; false tells the worker to stop
// before the next one (the window that showed the progress is gone).
using SyncProgress = std::function<bool(const CTaskImportStatus& status)>;

// One import or upload on a thread of its own. Stop() makes the job stop at
// its next task; the destructor stops it and waits for the thread.
class CAccountWorker {
 public:
  // `job` runs the import or upload with a progress function; `finished`
  // (may be empty) is told its last status on the worker's thread.
  using Job = std::function<CTaskImportStatus(const SyncProgress& progress)>;
  CAccountWorker(Job job, SyncProgress progress,
                 std::function<void(const CTaskImportStatus&)> finished = {});
  ~CAccountWorker();
  CAccountWorker(const CAccountWorker&) = delete;
  CAccountWorker& operator=(const CAccountWorker&) = delete;

  void Stop() { m_stop = true; }
  bool Stopped() const { return m_stop; }
  // Waits for the thread to end.
  void Wait();

 private:
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
