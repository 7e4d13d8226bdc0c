#pragma once

#include <memory>

#include <QDialog>

#include "services/accountworker.h"

class QLabel;
class QProgressBar;

// What the import and upload windows share: a status line, a progress bar
// and the counters, fed by a worker thread. Closing the window early makes
// the worker stop at its next task.
class CTaskSyncDlg : public QDialog {
  Q_OBJECT

 public:
  ~CTaskSyncDlg() override;

  const CTaskImportStatus& Status() const { return m_status; }
  // Waits for the worker and shows the progress it reported (for callers
  // that must know the outcome, and tests).
  void WaitForWorker();

  // (completed + present + failed) * 100 / total; 100 with no tasks.
  static int ProgressPercent(const CTaskImportStatus& status);
  // "共N，已完成N，已存在N，出错N".
  static QString CountersText(const CTaskImportStatus& status);
  static bool IsFinished(const CTaskImportStatus& status);

 signals:
  void progressShown();

 protected:
  // `running` and `done` are the string ids of the status line's two texts.
  CTaskSyncDlg(const QString& title, unsigned running, unsigned done, QWidget* parent);
  // Starts the worker; its progress reaches the window on its own thread.
  void StartWorker(CAccountWorker::Job job);
  void done(int result) override;

 private slots:
  void ShowProgress(const CTaskImportStatus& status);

 private:
  void StopWorker();

  unsigned m_doneText;
  CTaskImportStatus m_status;
  QLabel* m_statusLine;
  QProgressBar* m_progress;
  QLabel* m_counters;
  std::unique_ptr<CAccountWorker> m_worker;
};
