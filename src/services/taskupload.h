#pragma once

#include <functional>
#include <vector>

#include "services/account.h"
#include "services/accountworker.h"

class EventSink;

// Sends one task to the account server; the reply text.
using UploadSend = std::function<std::string(const CTask& task)>;

// Uploads the tasks on the calling thread, in order: a tracked task is sent,
// a reply "00000" counts as completed, "23000" as already present and any
// other (an empty one when the server can't be reached) as failed; a paused
// task is skipped and counted nowhere. `progress` hears after each task
// (once, with all counters 0, when there are none) and stops the upload by
// answering false.
CTaskImportStatus UploadTasks(const std::vector<TaskPtr>& tasks, const UploadSend& send,
                              const SyncProgress& progress);

// The upload of the account window: the list's tasks as they are at the
// start, each sent with ServerTaskAdd for the account.
CTaskImportStatus UploadTasks(const CAccount& account, const CTaskList& tasks,
                              const SyncProgress& progress);
// The same, reporting through the sink's "UpdateDataTaskUploadDlg".
CTaskImportStatus UploadTasks(const CAccount& account, const CTaskList& tasks, EventSink& events);
