#include "services/taskupload.h"

#include "engine/events.h"

CTaskImportStatus UploadTasks(const std::vector<TaskPtr>& tasks, const UploadSend& send,
                              const SyncProgress& progress) {
  CTaskImportStatus status;
  status.total = static_cast<int>(tasks.size());
  if (tasks.empty()) {
    progress(status);
    return status;
  }
  for (const TaskPtr& task : tasks) {
    if (task->GetStatus() == 1) {
      switch (ReadTaskAddReply(send(*task))) {
        case ServerTaskAddResult::kAdded:
          ++status.completed;
          break;
        case ServerTaskAddResult::kAlreadyThere:
          ++status.alreadyPresent;
          break;
        case ServerTaskAddResult::kFailed:
          ++status.failed;
          break;
      }
    }
    if (!progress(status)) break;
  }
  return status;
}

CTaskImportStatus UploadTasks(const CAccount& account, const CTaskList& tasks,
                              const SyncProgress& progress) {
  return UploadTasks(
      tasks.Tasks(), [&account](const CTask& task) { return ServerTaskAdd(account, task); },
      progress);
}

CTaskImportStatus UploadTasks(const CAccount& account, const CTaskList& tasks, EventSink& events) {
  return UploadTasks(account, tasks, [&events](const CTaskImportStatus& status) {
    return events.SendUploadProgress(status);
  });
}
