#include "app/taskimportdlg.h"

#include "base/stringtable.h"
#include "services/taskimport.h"

CTaskImportDlg::CTaskImportDlg(const CAccount& account, CAddWorkers& workers, QWidget* parent)
    : CTaskSyncDlg(QStringLiteral("远程导入任务"), IDS_IMPORT_RUNNING, IDS_IMPORT_DONE, parent) {
  setObjectName(QStringLiteral("taskImportDialog"));
  StartWorker([account, &workers](const SyncProgress& progress) {
    return ImportServerTasks(account, workers, progress);
  });
}
