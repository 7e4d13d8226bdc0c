#include "services/taskimport.h"

#include "engine/addtask.h"
#include "engine/events.h"

CTaskImportStatus ImportServerTasks(const CAccount& account, const ImportOffer& offer,
                                    const SyncProgress& progress) {
  CTaskImportStatus status;
  std::string reply = ServerGetTasks(account);
  status.total = CountServerTasks(reply);
  if (status.total < 1) {
    status.total = 0;
    progress(status);
    return status;
  }
  std::vector<TaskPtr> tasks = ReadServerTasks(reply);
  for (const TaskPtr& task : tasks) {
    if (status.completed + status.alreadyPresent + status.failed == status.total) break;
    if (task->GetUrl().empty()) {
      ++status.failed;
    } else if (offer(task)) {
      ++status.completed;
    } else {
      ++status.alreadyPresent;
    }
    if (!progress(status)) return status;
  }
  // Records that were counted but could not be read would otherwise leave
  // the window waiting for ever: they count as failed.
  int missing = status.total - status.completed - status.alreadyPresent - status.failed;
  if (missing > 0) {
    status.failed += missing;
    progress(status);
  }
  return status;
}

CTaskImportStatus ImportServerTasks(const CAccount& account, CAddWorkers& workers,
                                    const SyncProgress& progress) {
  return ImportServerTasks(
      account, [&workers](const TaskPtr& task) { return workers.StartImport(task); }, progress);
}

CTaskImportStatus ImportServerTasks(const CAccount& account, CAddWorkers& workers,
                                    EventSink& events) {
  return ImportServerTasks(account, workers, [&events](const CTaskImportStatus& status) {
    return events.SendImportProgress(status);
  });
}
