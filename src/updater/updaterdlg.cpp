#include "updater/updaterdlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/message.h"
#include "base/network.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "engine/spider.h"
#include "updater/skinning.h"

namespace {

constexpr int kFrameMilliseconds = 200;
constexpr int kPictureInset = 10;

}  // namespace

CUpdaterDlg::CUpdaterDlg(const UpdaterArguments& arguments, QWidget* parent)
    : QDialog(parent),
      m_arguments(arguments),
      m_picture(new QLabel(this)),
      m_status(new QLabel(this)),
      m_progress(new QProgressBar(this)),
      m_close(NewUpdaterButton(LoadQString(IDS_UPD_CANCEL), QSize(86, 22), this)),
      m_start(NewUpdaterButton(LoadQString(IDS_UPD_START_PROGRAM), QSize(186, 22), this)),
      m_movie(new QMovie(FromLocal(ProgramFile("imgs/Updating.gif")), QByteArray(), this)),
      m_worker(std::make_unique<CUpdateWorker>(arguments, *this)) {
  setWindowTitle(LoadQString(IDS_UPD_TITLE));
  m_status->setText(LoadQString(IDS_UPD_READY));
  m_status->setWordWrap(true);
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_start->hide();
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_start, &QPushButton::clicked, this, &CUpdaterDlg::StartProgram);

  m_movie->setCacheMode(QMovie::CacheAll);
  m_picture->setFixedSize(64, 64);
  m_picture->setAlignment(Qt::AlignCenter);
  m_animationTimer.setInterval(kFrameMilliseconds);
  connect(&m_animationTimer, &QTimer::timeout, this, &CUpdaterDlg::NextFrame);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_start);
  buttons->addWidget(m_close);
  auto* right = new QVBoxLayout;
  right->addWidget(m_status);
  right->addWidget(m_progress);
  right->addStretch();
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(kPictureInset, kPictureInset, kPictureInset, kPictureInset);
  layout->addWidget(m_picture, 0, Qt::AlignTop);
  layout->addLayout(right, 1);
  resize(460, 130);
}

CUpdaterDlg::~CUpdaterDlg() {
  // The worker must be gone before the widgets it reports to.
  m_worker.reset();
  if (m_busy) QApplication::restoreOverrideCursor();
}

void CUpdaterDlg::StartWork() {
  if (m_started) return;
  m_started = true;
  if (m_movie->isValid()) {
    m_movie->jumpToFrame(0);
    m_picture->setPixmap(m_movie->currentPixmap());
  }
  m_animationTimer.start();
  m_worker->Start();
}

void CUpdaterDlg::done(int result) {
  if (m_closing) return;
  m_closing = true;
  m_worker->Cancel();
  // The worker may be waiting for this thread (a message dialog), so events
  // keep flowing while it winds down.
  while (m_started && !m_worker->IsFinished())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  m_worker->Join();
  QDialog::done(result);
}

void CUpdaterDlg::ReportStatus(const std::string& localText) {
  QString text = FromLocal(localText);
  QMetaObject::invokeMethod(
      this, [this, text] { m_status->setText(text); }, Qt::QueuedConnection);
}

void CUpdaterDlg::ReportProgress(int percent) {
  QMetaObject::invokeMethod(
      this, [this, percent] { m_progress->setValue(percent); }, Qt::QueuedConnection);
}

void CUpdaterDlg::SetBusy(bool busy) {
  QMetaObject::invokeMethod(
      this,
      [this, busy] {
        if (busy == m_busy) return;
        m_busy = busy;
        if (busy)
          QApplication::setOverrideCursor(Qt::WaitCursor);
        else
          QApplication::restoreOverrideCursor();
      },
      Qt::QueuedConnection);
}

void CUpdaterDlg::WorkFinished() {
  QMetaObject::invokeMethod(
      this, [this] { ShowFinished(); }, Qt::QueuedConnection);
}

void CUpdaterDlg::NextFrame() {
  if (!m_movie->isValid()) return;
  if (!m_movie->jumpToNextFrame()) m_movie->jumpToFrame(0);
  m_picture->setPixmap(m_movie->currentPixmap());
}

void CUpdaterDlg::ShowFinished() {
  m_animationTimer.stop();
  m_picture->setPixmap(QPixmap(FromLocal(ProgramFile("imgs/UpdateFinish.png"))));
  m_close->setText(LoadQString(IDS_UPD_CLOSE));
  m_start->show();
}

void CUpdaterDlg::StartProgram() {
  QProcess::startDetached(FromLocal(ProgramExecutable(m_arguments.programName)), QStringList());
  done(kStartResult);
}

int RunUpdater(const std::vector<std::string>& arguments) {
  // Every request of the update ends by FetchTimeout, as the program's do.
  LoadFetchTimeout();
  UpdaterArguments parsed;
  if (unsigned problem = CheckStart(arguments, IsNetworkAvailable(), parsed)) {
    ShowMessage(problem, kMessageInfo);
    return 0;
  }
  CUpdaterDlg dialog(parsed);
  dialog.StartWork();
  dialog.exec();
  return 0;
}
