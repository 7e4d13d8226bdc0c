#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "engine/events.h"

// What the main window does with the events of the worker threads; every
// call comes on the window's thread.
class WindowEventHandler {
 public:
  virtual ~WindowEventHandler() = default;
  virtual void OnUpdateData(const std::shared_ptr<CTask>& task, const std::string& picture) = 0;
  // `seen` is a copy of the task taken when the change was posted: a later
  // pass may change the task before the window gets to it.
  virtual void OnUpdateChangeData(const std::shared_ptr<CTask>& task,
                                  const std::shared_ptr<const CTask>& seen) = 0;
  // A change for the change list that alerts nobody; as above otherwise.
  virtual void OnQuietChange(const std::shared_ptr<CTask>& task,
                             const std::shared_ptr<const CTask>& seen) {
    OnUpdateChangeData(task, seen);
  }
  // A task failed as many passes in a row as the user wants to be told of;
  // `seen` as above.
  virtual void OnFetchAlert(const std::shared_ptr<CTask>&, const std::shared_ptr<const CTask>&,
                            const std::string& /*alertText*/) {}
  virtual void OnChangePopup(const std::string& text, const std::string& url,
                             const std::string& gotoUrl, const DealNote& note) = 0;
  virtual void OnPlaySound(const std::string& path) = 0;
  // False when no import (upload) window listens any more.
  virtual bool OnImportProgress(const CTaskImportStatus& status) = 0;
  virtual bool OnUploadProgress(const CTaskImportStatus& status) = 0;
};

// The event sink of the windows: posted events are queued onto the thread
// the sink lives on (the window's), sent events wait until the window has
// handled them. A send from the window's own thread is handled at once.
//
// Once Close() was called (the window is going away and waits for the
// workers), sends return without waiting and posted events are dropped, so a
// worker that reports while the window waits for it can never deadlock.
class CWindowEventSink : public QObject, public EventSink {
  Q_OBJECT
 public:
  explicit CWindowEventSink(WindowEventHandler& handler, QObject* parent = nullptr);
  ~CWindowEventSink() override;

  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void PostUpdateChangeData(const std::shared_ptr<CTask>& task) override;
  void PostQuietChange(const std::shared_ptr<CTask>& task) override;
  // The row is refreshed by the UpdateData that follows; only an alert
  // reaches the window.
  void PostFetchFailed(const std::shared_ptr<CTask>& task, const std::string& alertText) override;
  void ShowChangePopup(const std::string& changeText, const std::string& url,
                       const std::string& gotoUrl, const DealNote& note) override;
  void PlaySound(const std::string& path) override;
  bool SendImportProgress(const CTaskImportStatus& status) override;
  bool SendUploadProgress(const CTaskImportStatus& status) override;
  // Once closed, nothing is shown and the answer is "确定" or "取消".
  int ShowMessage(unsigned id, int kind) override;
  int ShowMessageText(unsigned id, int kind, const std::string& localText) override;

  void Close();
  bool IsClosed() const { return m_closed->load(); }

  // Runs `work` on the sink's thread and waits for it (at once when already
  // there); false when the sink was closed before it could run.
  bool RunOnWindowThread(const std::function<void()>& work);
  // Queues `work` onto the sink's thread.
  void PostToWindowThread(std::function<void()> work);

 private:
  struct Waiter;

  WindowEventHandler& m_handler;
  std::shared_ptr<std::atomic<bool>> m_closed;
  std::shared_ptr<Waiter> m_waiter;
};
