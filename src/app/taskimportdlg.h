#pragma once

#include "app/tasksyncdlg.h"
#include "services/account.h"

class CAddWorkers;

// "远程导入任务": imports the account's tasks from the server into the list
// as soon as it opens; imported tasks enter the add pipeline in "import"
// mode and appear as rows.
class CTaskImportDlg : public CTaskSyncDlg {
  Q_OBJECT

 public:
  CTaskImportDlg(const CAccount& account, CAddWorkers& workers, QWidget* parent = nullptr);
};
