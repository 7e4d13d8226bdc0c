#include "updater/messagedlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <QVBoxLayout>

#include "base/message.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "updater/skinning.h"

CUpdaterMessageDlg::CUpdaterMessageDlg(const QString& text, QWidget* parent)
    : QDialog(parent),
      m_text(new QTextEdit(this)),
      m_gotIt(NewUpdaterButton(LoadQString(IDS_UPD_GOT_IT), QSize(86, 22), this)) {
  setWindowTitle(LoadQString(IDS_UPD_TITLE));
  m_text->setReadOnly(true);
  m_text->setPlainText(text);
  m_text->setFrameShape(QFrame::NoFrame);
  m_gotIt->setDefault(true);
  connect(m_gotIt, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_gotIt);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text);
  layout->addLayout(buttons);
  resize(340, 160);
}

int CUpdaterMessageDlg::Run() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

void InstallUpdaterMessageHandler() {
  SetMessageHandler([](unsigned, int, const std::string& localText) {
    auto show = [&localText] { return CUpdaterMessageDlg(FromLocal(localText)).Run(); };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return app ? show() : IDCANCEL;
    int answer = IDCANCEL;
    QMetaObject::invokeMethod(app, show, Qt::BlockingQueuedConnection, &answer);
    return answer;
  });
}
