#include "app/tasksyncdlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/qtext.h"

CTaskSyncDlg::CTaskSyncDlg(const QString& title, unsigned running, unsigned done, QWidget* parent)
    : QDialog(parent),
      m_doneText(done),
      m_statusLine(new QLabel(LoadQString(running), this)),
      m_progress(new QProgressBar(this)),
      m_counters(new QLabel(CountersText(CTaskImportStatus()), this)) {
  setWindowTitle(title);
  m_statusLine->setObjectName(QStringLiteral("statusLine"));
  m_progress->setObjectName(QStringLiteral("progress"));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_counters->setObjectName(QStringLiteral("counters"));
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_statusLine);
  layout->addWidget(m_progress);
  layout->addWidget(m_counters);
  layout->addWidget(close, 0, Qt::AlignRight);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

CTaskSyncDlg::~CTaskSyncDlg() { StopWorker(); }

int CTaskSyncDlg::ProgressPercent(const CTaskImportStatus& status) {
  if (status.total <= 0) return 100;
  long long handled =
      static_cast<long long>(status.completed) + status.alreadyPresent + status.failed;
  return static_cast<int>(handled * 100 / status.total);
}

QString CTaskSyncDlg::CountersText(const CTaskImportStatus& status) {
  return QStringLiteral("共%1，已完成%2，已存在%3，出错%4")
      .arg(status.total)
      .arg(status.completed)
      .arg(status.alreadyPresent)
      .arg(status.failed);
}

bool CTaskSyncDlg::IsFinished(const CTaskImportStatus& status) {
  return status.completed + status.alreadyPresent + status.failed == status.total;
}

void CTaskSyncDlg::StartWorker(CAccountWorker::Job job) {
  QPointer<CTaskSyncDlg> self(this);
  // The report is queued to the window rather than waited for: a window
  // that closes waits for the worker, which must never wait for it in turn.
  m_worker =
      std::make_unique<CAccountWorker>(std::move(job), [self](const CTaskImportStatus& status) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, status] {
              if (self) self->ShowProgress(status);
            },
            Qt::QueuedConnection);
        return true;
      });
}

void CTaskSyncDlg::WaitForWorker() {
  if (m_worker) m_worker->Wait();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

void CTaskSyncDlg::done(int result) {
  StopWorker();
  QDialog::done(result);
}

void CTaskSyncDlg::StopWorker() {
  if (!m_worker) return;
  m_worker->Stop();
  m_worker.reset();
}

void CTaskSyncDlg::ShowProgress(const CTaskImportStatus& status) {
  m_status = status;
  m_progress->setValue(ProgressPercent(status));
  m_counters->setText(CountersText(status));
  if (IsFinished(status)) m_statusLine->setText(LoadQString(m_doneText));
  emit progressShown();
}
