#pragma once

#include <QDialog>

#include "services/accountforms.h"

class QCheckBox;
class QPushButton;
class QLabel;
class QLineEdit;

// The registration window: e-mail address, password twice, nickname,
// automatic login. "注册" checks every field (asking the server, on a
// worker, whether the address is taken), shows each result in the field's
// hint line and ends the window with kResultRegister when nothing failed.
class CRegisterDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kResultRegister = 1219;

  explicit CRegisterDlg(QWidget* parent = nullptr);

  RegisterForm Form() const;
  // The server is being asked whether the address is taken.
  bool Checking() const;

 private slots:
  void OnRegister();

 private:
  QLineEdit* m_email;
  QLineEdit* m_password;
  QLineEdit* m_repeatedPassword;
  QLineEdit* m_nickname;
  QCheckBox* m_autoLogin;
  QPushButton* m_accept = nullptr;
  QLabel* m_emailHint;
  QLabel* m_passwordHint;
  QLabel* m_repeatedPasswordHint;
  QLabel* m_nicknameHint;
};
