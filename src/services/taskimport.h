#pragma once

#include <functional>

#include "services/account.h"
#include "services/accountworker.h"

class CAddWorkers;
class EventSink;

// Offers one task read from the server to the list; true when it was taken.
using ImportOffer = std::function<bool(const TaskPtr& task)>;

// Imports the account's tasks on the calling thread: asks the server, counts
// the "<Task>" records as the total and offers each record's task in order.
// A task the list takes counts as completed, one it already has as already
// present, and a record that does not give a task with a link as failed.
// `progress` hears after each task (once, with all counters 0, when the
// server has none) and stops the import by answering false.
CTaskImportStatus ImportServerTasks(const CAccount& account, const ImportOffer& offer,
                                    const SyncProgress& progress);

// The import of the account window: tasks taken enter the add pipeline in
// "import" mode (CAddWorkers::StartImport, which prepares their files).
CTaskImportStatus ImportServerTasks(const CAccount& account, CAddWorkers& workers,
                                    const SyncProgress& progress);
// The same, reporting through the sink's "UpdateDataTaskImportDlg".
CTaskImportStatus ImportServerTasks(const CAccount& account, CAddWorkers& workers,
                                    EventSink& events);
