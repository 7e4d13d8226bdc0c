#include "app/logindlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/accountlink.h"
#include "controls/qtext.h"

CLoginDlg::CLoginDlg(QWidget* parent)
    : QDialog(parent),
      m_email(MakeFormField("email", false, this)),
      m_password(MakeFormField("password", true, this)),
      m_autoLogin(new QCheckBox(QStringLiteral("自动登录"), this)),
      m_emailHint(MakeHintLine("emailHint", this)),
      m_passwordHint(MakeHintLine("passwordHint", this)) {
  setObjectName(QStringLiteral("loginDialog"));
  setWindowTitle(QStringLiteral("登录"));
  m_autoLogin->setObjectName(QStringLiteral("autoLogin"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("邮箱地址"), m_email);
  form->addRow(QString(), m_emailHint);
  form->addRow(QStringLiteral("密码"), m_password);
  form->addRow(QString(), m_passwordHint);
  form->addRow(QString(), m_autoLogin);
  QPushButton* login = LayOutAccountForm(this, form, QStringLiteral("登录"), "loginButton");
  connect(login, &QPushButton::clicked, this, &CLoginDlg::OnLogin);
}

LoginForm CLoginDlg::Form() const {
  return LoginForm{ToLocal(m_email->text()), ToLocal(m_password->text()), m_autoLogin->isChecked()};
}

void CLoginDlg::OnLogin() {
  LoginHints hints = CheckLoginForm(Form());
  ShowHint(m_emailHint, hints.email);
  ShowHint(m_passwordHint, hints.password);
  if (hints.Ok()) done(kResultLogin);
}
