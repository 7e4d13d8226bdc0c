#include "app/userpaneldlg.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/accountlink.h"
#include "app/logindlg.h"
#include "app/registerdlg.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "controls/skinbutton.h"

CUserPanelDlg::CUserPanelDlg(CAccount& account, QWidget* parent)
    : QWidget(parent), m_account(account) {
  setObjectName(QStringLiteral("userPanel"));
  auto* privileges = new QLabel(QStringLiteral("开启会员专项特权，"), this);
  auto* login = new CButtonST(QStringLiteral("登录"), this);
  login->setObjectName(QStringLiteral("loginButton"));
  login->SetBackground(QStringLiteral("imgs/Btn3Bkg.png"), QStringLiteral("imgs/Btn3HotBkg.png"));
  QPushButton* registration = MakeAccountLink(QStringLiteral("10秒免费注册"), "registerLink", this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(privileges);
  layout->addWidget(login);
  layout->addWidget(registration);
  layout->addStretch();
  connect(login, &QPushButton::clicked, this, &CUserPanelDlg::OnLogin);
  connect(registration, &QPushButton::clicked, this, &CUserPanelDlg::OnRegister);
}

void CUserPanelDlg::OnLogin() {
  CLoginDlg dialog(this);
  if (dialog.exec() == CLoginDlg::kResultLogin) RunLogin(dialog.Form());
}

void CUserPanelDlg::OnRegister() {
  CRegisterDlg dialog(this);
  if (dialog.exec() == CRegisterDlg::kResultRegister) RunRegister(dialog.Form());
}

void CUserPanelDlg::RunLogin(const LoginForm& form) {
  unsigned message = Login(m_account, form);
  ShowMessage(message, kMessageInfo);
  if (message == IDS_LOGIN_OK) emit loggedIn();
}

void CUserPanelDlg::RunRegister(const RegisterForm& form) {
  unsigned message = Register(m_account, form);
  ShowMessage(message, kMessageInfo);
  if (message == IDS_REGISTER_OK) emit loggedIn();
}
