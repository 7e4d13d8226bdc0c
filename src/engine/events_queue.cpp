#include "engine/events_queue.h"

#include <strings.h>

#include "engine/task.h"

namespace {

bool BeingDeleted(const std::shared_ptr<CTask>& task) {
  return task && strcasecmp(task->GetAddMode().c_str(), "del") == 0;
}

}  // namespace

CEventDispatcher::CEventDispatcher(EventSink& target) : m_target(target) {
  m_thread = std::thread([this] { Run(); });
}

CEventDispatcher::~CEventDispatcher() {
  {
    std::lock_guard lock(m_lock);
    m_stopping = true;
  }
  m_ready.notify_all();
  m_thread.join();
}

void CEventDispatcher::PostUpdateData(const std::shared_ptr<CTask>& task,
                                      const std::string& picturePath) {
  Post([this, task, picturePath] {
    if (!BeingDeleted(task)) m_target.PostUpdateData(task, picturePath);
  });
}

void CEventDispatcher::SendUpdateData(const std::shared_ptr<CTask>& task,
                                      const std::string& picturePath) {
  Send([&] { m_target.SendUpdateData(task, picturePath); });
}

void CEventDispatcher::PostUpdateChangeData(const std::shared_ptr<CTask>& task) {
  Post([this, task] {
    if (!BeingDeleted(task)) m_target.PostUpdateChangeData(task);
  });
}

void CEventDispatcher::PostFetchFailed(const std::shared_ptr<CTask>& task,
                                       const std::string& alertText) {
  Post([this, task, alertText] {
    if (!BeingDeleted(task)) m_target.PostFetchFailed(task, alertText);
  });
}

void CEventDispatcher::ShowChangePopup(const std::string& changeText, const std::string& url,
                                       const std::string& gotoUrl, const DealNote& note) {
  Post([this, changeText, url, gotoUrl, note] {
    m_target.ShowChangePopup(changeText, url, gotoUrl, note);
  });
}

void CEventDispatcher::PlaySound(const std::string& path) {
  Post([this, path] { m_target.PlaySound(path); });
}

bool CEventDispatcher::SendImportProgress(const CTaskImportStatus& status) {
  bool answer = false;
  Send([&] { answer = m_target.SendImportProgress(status); });
  return answer;
}

bool CEventDispatcher::SendUploadProgress(const CTaskImportStatus& status) {
  bool answer = false;
  Send([&] { answer = m_target.SendUploadProgress(status); });
  return answer;
}

int CEventDispatcher::ShowMessage(unsigned id, int kind) {
  int answer = 0;
  Send([&] { answer = m_target.ShowMessage(id, kind); });
  return answer;
}

int CEventDispatcher::ShowMessageText(unsigned id, int kind, const std::string& localText) {
  int answer = 0;
  Send([&] { answer = m_target.ShowMessageText(id, kind, localText); });
  return answer;
}

void CEventDispatcher::Flush() {
  if (std::this_thread::get_id() == m_thread.get_id()) return;
  std::unique_lock lock(m_lock);
  const unsigned long long mark = m_queuedCount;
  m_handled.wait(lock, [&] { return m_handledCount >= mark; });
}

void CEventDispatcher::Post(std::function<void()> handle) {
  {
    std::lock_guard lock(m_lock);
    m_queue.push_back(std::move(handle));
    ++m_queuedCount;
  }
  m_ready.notify_one();
}

void CEventDispatcher::Send(const std::function<void()>& handle) {
  // A handler that sends again would wait for itself.
  if (std::this_thread::get_id() == m_thread.get_id()) {
    handle();
    return;
  }
  std::unique_lock lock(m_lock);
  if (m_stopping) {
    // The thread may already be gone; nobody else would ever handle it.
    lock.unlock();
    handle();
    return;
  }
  m_queue.push_back(handle);
  const unsigned long long mark = ++m_queuedCount;
  m_ready.notify_one();
  m_handled.wait(lock, [&] { return m_handledCount >= mark; });
}

void CEventDispatcher::Run() {
  std::unique_lock lock(m_lock);
  for (;;) {
    m_ready.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
    if (m_queue.empty()) return;  // stopping, and everything handled
    std::function<void()> handle = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    handle();
    handle = nullptr;  // what the event held goes before it counts as handled
    lock.lock();
    ++m_handledCount;
    m_handled.notify_all();
  }
}
