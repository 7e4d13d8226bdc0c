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

void CUserPanelDlg::RunLogin(const LoginForm& form) {
  RunRequest([form](CAccount& account) { return Login(account, form); }, IDS_LOGIN_OK);
}

void CUserPanelDlg::RunRegister(const RegisterForm& form) {
  RunRequest([form](CAccount& account) { return Register(account, form); }, IDS_REGISTER_OK);
}

// The request runs on a worker with a copy of the account; the window's
// account changes only when the answer is back.
void CUserPanelDlg::RunRequest(std::function<unsigned(CAccount&)> request, unsigned success) {
  ++m_pending;
  CWindowJobs::Shared().Run(
      this,
      [request = std::move(request), account = m_account]() mutable {
        const unsigned message = request(account);
        return std::make_pair(message, account);
      },
      [this, success](const std::pair<unsigned, CAccount>& result) {
        Finish(result.first, success, result.second);
      });
}

void CUserPanelDlg::Finish(unsigned message, unsigned success, const CAccount& account) {
  --m_pending;
  if (message == success) m_account = account;
  ShowMessage(message, kMessageInfo);
  if (message == success) emit loggedIn();
}
