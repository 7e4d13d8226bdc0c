#include "app/userpaneldlg.h"

#include <utility>

#include <QHBoxLayout>
#include <QLabel>

#include "app/accountlink.h"
#include "app/logindlg.h"
#include "app/registerdlg.h"
#include "app/windowjobs.h"
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

// The request runs on a worker with a copy of the account; the window's
// account changes only when the answer is back.
void CUserPanelDlg::RunLogin(const LoginForm& form) {
  ++m_pending;
  CWindowJobs::Shared().Run(
      this,
      [form, account = m_account]() mutable {
        const unsigned message = Login(account, form);
        return std::make_pair(message, account);
      },
      [this](const std::pair<unsigned, CAccount>& result) {
        Finish(result.first, IDS_LOGIN_OK, result.second);
      });
}

void CUserPanelDlg::RunRegister(const RegisterForm& form) {
  ++m_pending;
  CWindowJobs::Shared().Run(
      this,
      [form, account = m_account]() mutable {
        const unsigned message = Register(account, form);
        return std::make_pair(message, account);
      },
      [this](const std::pair<unsigned, CAccount>& result) {
        Finish(result.first, IDS_REGISTER_OK, result.second);
      });
}

void CUserPanelDlg::Finish(unsigned message, unsigned success, const CAccount& account) {
  --m_pending;
  if (message == success) m_account = account;
  ShowMessage(message, kMessageInfo);
  if (message == success) emit loggedIn();
}
