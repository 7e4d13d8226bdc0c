#pragma once

#include <QWidget>

#include "services/account.h"

class CAddWorkers;
class QLabel;

// The logged-in panel of the main window: "欢迎 " and the nickname, and the
// links "上传任务" (upload), "下载任务" (import) and "注销" (log out). The
// account and the add pipeline belong to the application.
class CMyPanelDlg : public QWidget {
  Q_OBJECT

 public:
  CMyPanelDlg(CAccount& account, CAddWorkers& workers, QWidget* parent = nullptr);

  // Shows the account's current nickname (call after a login).
  void UpdateNickname();

 signals:
  void loggedOut();

 public slots:
  void OnUpload();
  void OnImport();
  // Empties the account, removes its keys from config.ini, emits loggedOut.
  void OnLogout();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CAccount& m_account;
  CAddWorkers& m_workers;
  QLabel* m_nickname;
};
