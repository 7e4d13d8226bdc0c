#include "app/windoweventsink.h"

#include <condition_variable>
#include <mutex>

#include <QThread>

#include "base/message.h"
#include "base/stringtable.h"
#include "engine/task.h"

// The waits of sending threads: each waits for its own call to be done or
// for the sink to close, whichever comes first.
struct CWindowEventSink::Waiter {
  std::mutex lock;
  std::condition_variable changed;
};

CWindowEventSink::CWindowEventSink(WindowEventHandler& handler, QObject* parent)
    : QObject(parent),
      m_handler(handler),
      m_closed(std::make_shared<std::atomic<bool>>(false)),
      m_waiter(std::make_shared<Waiter>()) {}

CWindowEventSink::~CWindowEventSink() { Close(); }

void CWindowEventSink::Close() {
  {
    std::lock_guard lock(m_waiter->lock);
    m_closed->store(true);
  }
  m_waiter->changed.notify_all();
}

void CWindowEventSink::PostToWindowThread(std::function<void()> work) {
  if (m_closed->load()) return;
  // The sink is the context: once it is destroyed, queued calls are dropped.
  QMetaObject::invokeMethod(
      this,
      [closed = m_closed, work = std::move(work)] {
        if (!closed->load()) work();
      },
      Qt::QueuedConnection);
}

bool CWindowEventSink::RunOnWindowThread(const std::function<void()>& work) {
  if (QThread::currentThread() == thread()) {
    if (m_closed->load()) return false;
    work();
    return true;
  }
  auto done = std::make_shared<bool>(false);
  std::shared_ptr<Waiter> waiter = m_waiter;
  std::shared_ptr<std::atomic<bool>> closed = m_closed;
  {
    std::lock_guard lock(waiter->lock);
    if (closed->load()) return false;
  }
  QMetaObject::invokeMethod(
      this,
      [waiter, closed, done, work] {
        if (!closed->load()) work();
        {
          std::lock_guard lock(waiter->lock);
          *done = true;
        }
        waiter->changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(waiter->lock);
  waiter->changed.wait(lock, [&] { return *done || closed->load(); });
  return *done;
}

void CWindowEventSink::PostUpdateData(const std::shared_ptr<CTask>& task,
                                      const std::string& picturePath) {
  PostToWindowThread([this, task, picturePath] { m_handler.OnUpdateData(task, picturePath); });
}

void CWindowEventSink::SendUpdateData(const std::shared_ptr<CTask>& task,
                                      const std::string& picturePath) {
  RunOnWindowThread([&] { m_handler.OnUpdateData(task, picturePath); });
}

void CWindowEventSink::PostUpdateChangeData(const std::shared_ptr<CTask>& task) {
  if (!task) return;
  std::shared_ptr<const CTask> seen = task->Copy();
  PostToWindowThread([this, task, seen] { m_handler.OnUpdateChangeData(task, seen); });
}

void CWindowEventSink::PostQuietChange(const std::shared_ptr<CTask>& task) {
  if (!task) return;
  std::shared_ptr<const CTask> seen = task->Copy();
  PostToWindowThread([this, task, seen] { m_handler.OnQuietChange(task, seen); });
}

void CWindowEventSink::PostFetchFailed(const std::shared_ptr<CTask>& task,
                                       const std::string& alertText) {
  if (!task || alertText.empty()) return;
  std::shared_ptr<const CTask> seen = task->Copy();
  PostToWindowThread(
      [this, task, seen, alertText] { m_handler.OnFetchAlert(task, seen, alertText); });
}

void CWindowEventSink::ShowChangePopup(const std::string& changeText, const std::string& url,
                                       const std::string& gotoUrl, const DealNote& note) {
  PostToWindowThread([this, changeText, url, gotoUrl, note] {
    m_handler.OnChangePopup(changeText, url, gotoUrl, note);
  });
}

void CWindowEventSink::PlaySound(const std::string& path) {
  PostToWindowThread([this, path] { m_handler.OnPlaySound(path); });
}

bool CWindowEventSink::SendImportProgress(const CTaskImportStatus& status) {
  bool listening = false;
  RunOnWindowThread([&] { listening = m_handler.OnImportProgress(status); });
  return listening;
}

bool CWindowEventSink::SendUploadProgress(const CTaskImportStatus& status) {
  bool listening = false;
  RunOnWindowThread([&] { listening = m_handler.OnUploadProgress(status); });
  return listening;
}

int CWindowEventSink::ShowMessage(unsigned id, int kind) {
  return ShowMessageText(id, kind, LoadString(id));
}

int CWindowEventSink::ShowMessageText(unsigned id, int kind, const std::string& localText) {
  if (m_closed->load()) return kind == kMessageQuestion ? IDCANCEL : IDOK;
  return ::ShowMessageText(id, kind, localText);
}
