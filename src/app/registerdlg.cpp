#include "app/registerdlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/accountlink.h"
#include "app/windowjobs.h"
#include "base/stringtable.h"
#include "controls/qtext.h"

CRegisterDlg::CRegisterDlg(QWidget* parent)
    : QDialog(parent),
      m_email(MakeFormField("email", false, this)),
      m_password(MakeFormField("password", true, this)),
      m_repeatedPassword(MakeFormField("repeatedPassword", true, this)),
      m_nickname(MakeFormField("nickname", false, this)),
      m_autoLogin(new QCheckBox(QStringLiteral("自动登录"), this)),
      m_emailHint(MakeHintLine("emailHint", this)),
      m_passwordHint(MakeHintLine("passwordHint", this)),
      m_repeatedPasswordHint(MakeHintLine("repeatedPasswordHint", this)),
      m_nicknameHint(MakeHintLine("nicknameHint", this)) {
  setObjectName(QStringLiteral("registerDialog"));
  setWindowTitle(QStringLiteral("注册"));
  m_autoLogin->setObjectName(QStringLiteral("autoLogin"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("邮箱地址"), m_email);
  form->addRow(QString(), m_emailHint);
  form->addRow(QStringLiteral("密码"), m_password);
  form->addRow(QString(), m_passwordHint);
  form->addRow(QStringLiteral("再输入一次密码"), m_repeatedPassword);
  form->addRow(QString(), m_repeatedPasswordHint);
  form->addRow(QStringLiteral("昵称"), m_nickname);
  form->addRow(QString(), m_nicknameHint);
  form->addRow(QString(), m_autoLogin);
  m_accept = LayOutAccountForm(this, form, QStringLiteral("注册"), "registerButton");
  connect(m_accept, &QPushButton::clicked, this, &CRegisterDlg::OnRegister);
}

RegisterForm CRegisterDlg::Form() const {
  return RegisterForm{ToLocal(m_email->text()), ToLocal(m_password->text()),
                      ToLocal(m_repeatedPassword->text()), ToLocal(m_nickname->text()),
                      m_autoLogin->isChecked()};
}

void CRegisterDlg::OnRegister() {
  const RegisterForm form = Form();
  RegisterHints hints = CheckRegisterForm(form, false);
  ShowHint(m_emailHint, hints.email);
  ShowHint(m_passwordHint, hints.password);
  ShowHint(m_repeatedPasswordHint, hints.repeatedPassword);
  ShowHint(m_nicknameHint, hints.nickname);
  if (hints.email != 0) return;
  // Whether the address is taken is the server's to say; the window stays
  // responsive while it answers.
  m_accept->setEnabled(false);
  CWindowJobs::Shared().Run(
      this, [email = form.email] { return ServerEmailUsed(email); },
      [this, hints](bool used) {
        m_accept->setEnabled(true);
        ShowHint(m_emailHint, used ? static_cast<unsigned>(IDS_EMAIL_EXISTS) : 0u);
        if (!used && hints.Ok()) done(kResultRegister);
      });
}

bool CRegisterDlg::Checking() const { return !m_accept->isEnabled(); }
