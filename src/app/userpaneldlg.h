#pragma once

#include <functional>

#include <QWidget>

#include "services/accountforms.h"

// The logged-out panel of the main window: "开启会员专项特权，", the "登录"
// button and the "10秒免费注册" link. A login or registration that succeeds
// updates the account (owned by the application) and emits loggedIn, on
// which the window shows the logged-in panel.
class CUserPanelDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CUserPanelDlg(CAccount& account, QWidget* parent = nullptr);

  // What the button and the link run once their window was accepted: the
  // request (on a worker), then its message box, and loggedIn on success.
  void RunLogin(const LoginForm& form);
  void RunRegister(const RegisterForm& form);
  // Requests sent and not answered yet.
  int Pending() const { return m_pending; }

 signals:
  void loggedIn();

 public slots:
  // Open the login or registration window.
  void OnLogin();
  void OnRegister();

 private:
  void RunRequest(std::function<unsigned(CAccount&)> request, unsigned success);
  void Finish(unsigned message, unsigned success, const CAccount& account);

  CAccount& m_account;
  int m_pending = 0;
};
