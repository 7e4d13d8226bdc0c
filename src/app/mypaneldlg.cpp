#include "app/mypaneldlg.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/accountlink.h"
#include "app/taskimportdlg.h"
#include "app/taskuploaddlg.h"
#include "controls/qtext.h"
#include "engine/addtask.h"
#include "services/accountforms.h"

CMyPanelDlg::CMyPanelDlg(CAccount& account, CAddWorkers& workers, QWidget* parent)
    : QWidget(parent), m_account(account), m_workers(workers), m_nickname(new QLabel(this)) {
  setObjectName(QStringLiteral("myPanel"));
  m_nickname->setObjectName(QStringLiteral("nickname"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("欢迎 "), this));
  layout->addWidget(m_nickname);
  QPushButton* upload = MakeAccountLink(QStringLiteral("上传任务"), "uploadLink", this);
  QPushButton* import = MakeAccountLink(QStringLiteral("下载任务"), "importLink", this);
  QPushButton* logout = MakeAccountLink(QStringLiteral("注销"), "logoutLink", this);
  layout->addWidget(upload);
  layout->addWidget(import);
  layout->addWidget(logout);
  layout->addStretch();
  connect(upload, &QPushButton::clicked, this, &CMyPanelDlg::OnUpload);
  connect(import, &QPushButton::clicked, this, &CMyPanelDlg::OnImport);
  connect(logout, &QPushButton::clicked, this, &CMyPanelDlg::OnLogout);
  UpdateNickname();
}

void CMyPanelDlg::UpdateNickname() { m_nickname->setText(FromLocal(m_account.nickname)); }

void CMyPanelDlg::showEvent(QShowEvent* event) {
  UpdateNickname();
  QWidget::showEvent(event);
}

void CMyPanelDlg::OnUpload() {
  CTaskUploadDlg dialog(m_account, m_workers.Environment().tasks, this);
  dialog.exec();
}

void CMyPanelDlg::OnImport() {
  CTaskImportDlg dialog(m_account, m_workers, this);
  dialog.exec();
}

void CMyPanelDlg::OnLogout() {
  Logout(m_account);
  UpdateNickname();
  emit loggedOut();
}
