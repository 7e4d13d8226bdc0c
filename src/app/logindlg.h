#pragma once

#include <QDialog>

#include "services/accountforms.h"

class QCheckBox;
class QLabel;
class QLineEdit;

// The login window: e-mail address, password, automatic login. "登录"
// checks the fields in order, shows each result in the field's hint line and
// ends the window with kResultLogin when every field is fine.
class CLoginDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kResultLogin = 1243;

  explicit CLoginDlg(QWidget* parent = nullptr);

  LoginForm Form() const;

 private slots:
  void OnLogin();

 private:
  QLineEdit* m_email;
  QLineEdit* m_password;
  QCheckBox* m_autoLogin;
  QLabel* m_emailHint;
  QLabel* m_passwordHint;
};
