#include "services/accountworker.h"

#include <utility>

CAccountWorker::CAccountWorker(Job job, SyncProgress progress,
                               std::function<void(const CTaskImportStatus&)> finished) {
  m_thread = std::thread(
      [this, job = std::move(job), progress = std::move(progress), finished = std::move(finished)] {
        CTaskImportStatus last = job([this, &progress](const CTaskImportStatus& status) {
          if (m_stop) return false;
          return !progress || progress(status);
        });
        if (finished) finished(last);
      });
}

CAccountWorker::~CAccountWorker() {
  Stop();
  Wait();
}

void CAccountWorker::Wait() {
  if (m_thread.joinable()) m_thread.join();
}
