#pragma once

#include "app/tasksyncdlg.h"
#include "services/account.h"

// "上传任务": uploads every tracked task of the list to the account as soon
// as it opens.
class CTaskUploadDlg : public CTaskSyncDlg {
  Q_OBJECT

 public:
  CTaskUploadDlg(const CAccount& account, const CTaskList& tasks, QWidget* parent = nullptr);
};
