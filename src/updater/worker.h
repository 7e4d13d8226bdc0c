#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "updater/arguments.h"

// How the worker reaches the update dialog. Calls come from the worker's
// thread; the dialog forwards them to its own.
class UpdateSink {
 public:
  virtual ~UpdateSink() = default;
  // The status line's new text, in the local code page.
  virtual void ReportStatus(const std::string& localText) = 0;
  // 0 to 100.
  virtual void ReportProgress(int percent) = 0;
  // The wait cursor while program files are replaced.
  virtual void SetBusy(bool busy) = 0;
  // The work is over: the end image, the close caption and the start button.
  virtual void WorkFinished() = 0;
};

// The whole update on one thread: update.ini from the update folder, the
// shop rules merged into sites.xml when the server's are newer, the program
// files that update.ini lists when the program is behind (ending a running
// main program on the user's word), and update.ini deleted at the end.
// Every file lands in the program directory.
class CUpdateWorker {
 public:
  CUpdateWorker(UpdaterArguments arguments, UpdateSink& sink);
  // Cancels and waits for the thread.
  ~CUpdateWorker();
  CUpdateWorker(const CUpdateWorker&) = delete;
  CUpdateWorker& operator=(const CUpdateWorker&) = delete;

  void Start();
  // Ends a download in progress as an internet error, and every later one
  // before it starts; no more messages are shown.
  void Cancel();
  void Join();
  bool IsFinished() const { return m_finished; }
  // The installed layout (decided from where `update` lies unless a test
  // says otherwise): the package manager owns the executables.
  void SetInstalledLayout(bool installed) { m_installed = installed; }

  // The steps, public so that each can be driven on its own.
  void Run();
  // A 200 reply's body (gzip inflated) saved as `file`. False when the
  // exchange failed; true otherwise, also when the reply was not 200 and
  // nothing was written: callers look for the file.
  bool FetchToFile(const std::string& url, const std::string& file,
                   const std::string& referrer = std::string());
  // The server's sites.xml merged into the local one; false when no usable
  // rule file arrived (the local one is then left as it was).
  bool UpdateSiteRules();
  // Every FILEn of update.ini in turn, up to the first empty one; false when
  // a file failed (the files after it are skipped). In the installed layout
  // the package's programs are skipped, no running program is ended, and the
  // user is told that the new version comes as a package from the home page.
  bool UpdateProgramFiles();
  // One file of the update folder replaces its copy in the program
  // directory through a ".upg" file beside it; the copy is left untouched
  // unless the whole body arrived with status 200.
  bool DownloadAndReplace(const std::string& path);

 private:
  void Status(const std::string& localText);
  void StatusId(unsigned id);
  // Shows a failure; the first one of a run is also the run's last status.
  void Failure(const std::string& localText);
  std::string InfoValue(const std::string& key, const std::string& defaultValue,
                        size_t bufferBytes) const;
  std::string FileUrl(const std::string& relative) const;
  bool Message(unsigned id, int kind, const std::string& localText);
  bool ReplaceFromServer(const std::string& path, const std::string& local);

  UpdaterArguments m_arguments;
  UpdateSink& m_sink;
  std::string m_failure;
  std::string m_lastStatus;
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_finished{false};
  bool m_installed;
  std::thread m_thread;
};

// A path of update.ini that stays inside the program directory: relative,
// no ".." part, not empty.
bool IsSafeUpdatePath(const std::string& path);

// True when a path of update.ini names one of the package's executables.
bool IsPackagedProgram(const std::string& path);
