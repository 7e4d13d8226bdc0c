#include "engine/events_record.h"

#include <algorithm>

#include "base/message.h"
#include "base/stringtable.h"
#include "engine/task.h"

RecordedEvent DescribeEvent(std::string name, bool sent, const std::shared_ptr<CTask>& task) {
  RecordedEvent event;
  event.name = std::move(name);
  event.sent = sent;
  event.task = task;
  if (!task) return event;
  CTaskValues values = task->GetValues();
  event.url = values.url;
  event.currentPrice = values.currentPrice;
  event.currentStock = values.currentStock;
  event.addMode = task->GetAddMode();
  event.priceState = task->GetPriceState();
  event.stockState = task->GetStockState();
  event.verdict = task->GetDealNote().text;
  return event;
}

void CRecordingEventSink::PostUpdateData(const std::shared_ptr<CTask>& task,
                                         const std::string& picturePath) {
  RecordedEvent event = DescribeEvent("UpdateData", false, task);
  event.text = picturePath;
  Record(std::move(event));
}

void CRecordingEventSink::SendUpdateData(const std::shared_ptr<CTask>& task,
                                         const std::string& picturePath) {
  RecordedEvent event = DescribeEvent("UpdateData", true, task);
  event.text = picturePath;
  Record(std::move(event));
}

void CRecordingEventSink::PostUpdateChangeData(const std::shared_ptr<CTask>& task) {
  Record(DescribeEvent("UpdateChangeData", false, task));
}

void CRecordingEventSink::PostFetchFailed(const std::shared_ptr<CTask>& task,
                                          const std::string& alertText) {
  RecordedEvent event = DescribeEvent("FetchFailed", false, task);
  event.text = alertText;
  Record(std::move(event));
}

void CRecordingEventSink::ShowChangePopup(const std::string& changeText, const std::string& url,
                                          const std::string& gotoUrl, const DealNote& note) {
  RecordedEvent event = DescribeEvent("Popup", false, nullptr);
  event.text = changeText;
  event.verdict = note.text;
  event.url = url;
  event.gotoUrl = gotoUrl;
  Record(std::move(event));
}

void CRecordingEventSink::PlaySound(const std::string& path) {
  RecordedEvent event = DescribeEvent("Sound", false, nullptr);
  event.text = path;
  Record(std::move(event));
}

bool CRecordingEventSink::SendImportProgress(const CTaskImportStatus& status) {
  RecordedEvent event = DescribeEvent("UpdateDataTaskImportDlg", true, nullptr);
  event.status = status;
  Record(std::move(event));
  std::lock_guard lock(m_lock);
  return m_progressAnswer;
}

bool CRecordingEventSink::SendUploadProgress(const CTaskImportStatus& status) {
  RecordedEvent event = DescribeEvent("UpdateDataTaskUploadDlg", true, nullptr);
  event.status = status;
  Record(std::move(event));
  std::lock_guard lock(m_lock);
  return m_progressAnswer;
}

int CRecordingEventSink::ShowMessage(unsigned id, int kind) {
  return ShowMessageText(id, kind, LoadString(id));
}

int CRecordingEventSink::ShowMessageText(unsigned id, int, const std::string& localText) {
  RecordedEvent event = DescribeEvent("Message", true, nullptr);
  event.text = std::to_string(id);
  event.detail = localText;
  Record(std::move(event));
  return IDOK;
}

void CRecordingEventSink::SetProgressAnswer(bool answer) {
  std::lock_guard lock(m_lock);
  m_progressAnswer = answer;
}

std::vector<RecordedEvent> CRecordingEventSink::Events() const {
  std::lock_guard lock(m_lock);
  return m_events;
}

std::vector<RecordedEvent> CRecordingEventSink::Named(const std::string& name) const {
  std::vector<RecordedEvent> named;
  std::lock_guard lock(m_lock);
  for (const RecordedEvent& event : m_events)
    if (event.name == name) named.push_back(event);
  return named;
}

size_t CRecordingEventSink::Count(const std::string& name) const {
  std::lock_guard lock(m_lock);
  return CountLocked(name);
}

bool CRecordingEventSink::WaitForCount(size_t count, std::chrono::milliseconds timeout,
                                       const std::string& name) const {
  std::unique_lock lock(m_lock);
  return m_changed.wait_for(lock, timeout, [&] { return CountLocked(name) >= count; });
}

void CRecordingEventSink::Clear() {
  std::lock_guard lock(m_lock);
  m_events.clear();
}

void CRecordingEventSink::Record(RecordedEvent event) {
  {
    std::lock_guard lock(m_lock);
    m_events.push_back(std::move(event));
  }
  m_changed.notify_all();
}

size_t CRecordingEventSink::CountLocked(const std::string& name) const {
  if (name.empty()) return m_events.size();
  return std::count_if(m_events.begin(), m_events.end(),
                       [&](const RecordedEvent& event) { return event.name == name; });
}
