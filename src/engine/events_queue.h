#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/events.h"

// Posted and sent events without a window: one dispatcher thread hands every
// event, in the order they came, to the target sink. Post* (and the pop-up
// and the sound) return at once; Send* return when the target has handled
// the event, with its answer.
//
// A posted "UpdateData" or "UpdateChangeData" whose task is being deleted
// (AddMode "del") by the time it is handled is dropped, as a window drops
// events about a row it has removed.
class CEventDispatcher : public EventSink {
 public:
  explicit CEventDispatcher(EventSink& target);
  // Handles what is queued, then ends the thread.
  ~CEventDispatcher() override;
  CEventDispatcher(const CEventDispatcher&) = delete;
  CEventDispatcher& operator=(const CEventDispatcher&) = delete;

  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void PostUpdateChangeData(const std::shared_ptr<CTask>& task) override;
  void PostFetchFailed(const std::shared_ptr<CTask>& task, const std::string& alertText) override;
  void ShowChangePopup(const std::string& changeText, const std::string& url,
                       const std::string& gotoUrl, const DealNote& note) override;
  void PlaySound(const std::string& path) override;
  bool SendImportProgress(const CTaskImportStatus& status) override;
  bool SendUploadProgress(const CTaskImportStatus& status) override;
  int ShowMessage(unsigned id, int kind) override;
  int ShowMessageText(unsigned id, int kind, const std::string& localText) override;

  // Returns when every event queued before the call has been handled.
  void Flush();

 private:
  void Post(std::function<void()> handle);
  void Send(const std::function<void()>& handle);
  void Run();

  EventSink& m_target;
  std::mutex m_lock;
  std::condition_variable m_ready;
  std::condition_variable m_handled;
  std::deque<std::function<void()>> m_queue;
  unsigned long long m_queuedCount = 0;
  unsigned long long m_handledCount = 0;
  bool m_stopping = false;
  std::thread m_thread;
};
