#include "app/taskuploaddlg.h"

#include "base/stringtable.h"
#include "services/taskupload.h"

CTaskUploadDlg::CTaskUploadDlg(const CAccount& account, const CTaskList& tasks, QWidget* parent)
    : CTaskSyncDlg(QStringLiteral("上传任务"), IDS_UPLOAD_RUNNING, IDS_UPLOAD_DONE, parent) {
  setObjectName(QStringLiteral("taskUploadDialog"));
  StartWorker([account, &tasks](const SyncProgress& progress) {
    return UploadTasks(account, tasks, progress);
  });
}
