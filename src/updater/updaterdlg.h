#pragma once

#include <memory>

#include <QDialog>
#include <QTimer>

#include "updater/arguments.h"
#include "updater/worker.h"

class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;

// The update dialog: an animation while the worker runs, the status line,
// the progress bar, "取消"/"关闭" and, once the work is over, the button that
// starts the main program again (the dialog then ends with kStartResult).
class CUpdaterDlg : public QDialog, public UpdateSink {
  Q_OBJECT

 public:
  static constexpr int kStartResult = 1001;

  explicit CUpdaterDlg(const UpdaterArguments& arguments, QWidget* parent = nullptr);
  ~CUpdaterDlg() override;

  // Starts the animation and the worker thread.
  void StartWork();
  bool IsWorkFinished() const { return m_worker->IsFinished(); }

  // Closing waits for the worker, whose downloads are cancelled.
  void done(int result) override;

  QLabel* StatusLine() const { return m_status; }
  QProgressBar* Progress() const { return m_progress; }
  QPushButton* CloseButton() const { return m_close; }
  QPushButton* StartButton() const { return m_start; }
  QLabel* Picture() const { return m_picture; }
  bool IsAnimating() const { return m_animationTimer.isActive(); }

 protected:
  // The worker's reports, forwarded to the GUI thread.
  void ReportStatus(const std::string& localText) override;
  void ReportProgress(int percent) override;
  void SetBusy(bool busy) override;
  void WorkFinished() override;

 private:
  void NextFrame();
  void ShowFinished();
  void StartProgram();

  UpdaterArguments m_arguments;
  QLabel* m_picture;
  QLabel* m_status;
  QProgressBar* m_progress;
  QPushButton* m_close;
  QPushButton* m_start;
  QMovie* m_movie;
  QTimer m_animationTimer;
  bool m_busy = false;
  bool m_started = false;
  bool m_closing = false;
  std::unique_ptr<CUpdateWorker> m_worker;
};

// The program: the start checks (each failure shows its message and ends),
// then the update dialog until it closes. `arguments` are those after the
// program's own name. Returns the exit status.
int RunUpdater(const std::vector<std::string>& arguments);
