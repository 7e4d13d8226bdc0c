#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/events.h"

// One event as a sink received it, with the task's fields at that moment
// (a later pass may change the task before anyone looks).
struct RecordedEvent {
  // "UpdateData", "UpdateChangeData", "FetchFailed", "Popup", "Sound",
  // "UpdateDataTaskImportDlg", "UpdateDataTaskUploadDlg" or "Message".
  std::string name;
  bool sent = false;  // sent (waited for) rather than posted
  std::shared_ptr<CTask> task;
  std::string url;  // the task's Url, or the pop-up's link
  std::string addMode;
  std::string priceState;
  std::string stockState;
  std::string currentPrice;
  int currentStock = 0;
  // Picture path, pop-up change text, failure alert, sound file or message id.
  std::string text;
  std::string gotoUrl;  // the pop-up's shop link
  // The pop-up's deal verdict, or the task's (UpdateChangeData).
  std::string verdict;
  std::string detail;  // a message's whole text
  CTaskImportStatus status;
};

// Fills the task columns of an event from the task (nothing for null).
RecordedEvent DescribeEvent(std::string name, bool sent, const std::shared_ptr<CTask>& task);

// Keeps every event, for tests. Any thread may deliver and read at once; a
// test waits for the events it expects instead of sleeping.
class CRecordingEventSink : public EventSink {
 public:
  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void PostUpdateChangeData(const std::shared_ptr<CTask>& task) override;
  void PostFetchFailed(const std::shared_ptr<CTask>& task, const std::string& alertText) override;
  void ShowChangePopup(const std::string& changeText, const std::string& url,
                       const std::string& gotoUrl, const DealNote& note) override;
  void PlaySound(const std::string& path) override;
  bool SendImportProgress(const CTaskImportStatus& status) override;
  bool SendUploadProgress(const CTaskImportStatus& status) override;
  // Recorded as "Message" with the id as text (and the whole text as
  // detail); answers IDOK.
  int ShowMessage(unsigned id, int kind) override;
  int ShowMessageText(unsigned id, int kind, const std::string& localText) override;

  // What the progress events answer (true: the window is still there).
  void SetProgressAnswer(bool answer);

  std::vector<RecordedEvent> Events() const;
  // The events of one name, in order.
  std::vector<RecordedEvent> Named(const std::string& name) const;
  // All events, or those of one name.
  size_t Count(const std::string& name = std::string()) const;
  // True once Count(name) >= count; false when `timeout` passes first.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout,
                    const std::string& name = std::string()) const;
  void Clear();

 private:
  void Record(RecordedEvent event);
  size_t CountLocked(const std::string& name) const;

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<RecordedEvent> m_events;
  bool m_progressAnswer = true;
};
