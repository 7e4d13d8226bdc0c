#include "engine/events_print.h"

#include <initializer_list>

#include "base/message.h"
#include "base/outputfield.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/task.h"
#include "engine/tracking.h"

namespace {

// One column: UTF-8 from the local code page, escaped, "-" when empty.
std::string Column(const std::string& local) {
  return local.empty() ? "-" : LocalOutputField(local);
}

std::string Line(std::initializer_list<std::string> columns) {
  std::string line;
  for (const std::string& column : columns) {
    if (!line.empty()) line += '\t';
    line += Column(column);
  }
  return line;
}

std::string ProgressText(const CTaskImportStatus& status) {
  return std::to_string(status.total) + "/" + std::to_string(status.completed) + "/" +
         std::to_string(status.alreadyPresent) + "/" + std::to_string(status.failed);
}

}  // namespace

std::string CPrintingEventSink::TaskLine(const std::string& time, const std::string& event,
                                         const CTask& task) {
  return Line({time, event, task.GetUrl(), task.GetPriceState(), task.GetStockState(),
               task.GetCurrentPrice(), std::to_string(task.GetCurrentStock()), ChangeText(task)});
}

void CPrintingEventSink::PostUpdateData(const std::shared_ptr<CTask>& task, const std::string&) {
  PrintTask("UpdateData", task);
}

void CPrintingEventSink::SendUpdateData(const std::shared_ptr<CTask>& task, const std::string&) {
  PrintTask("UpdateData", task);
}

void CPrintingEventSink::PostUpdateChangeData(const std::shared_ptr<CTask>& task) {
  PrintTask("UpdateChangeData", task);
  // What the price history says of a drop, on a line of its own so that
  // the eight columns of the change line stay as they were.
  if (!task) return;
  const std::string verdict = task->GetDealNote().text;
  if (!verdict.empty())
    Print(Line({FormatNowText(), "Verdict", task->GetUrl(), "", "", "", "", verdict}));
}

void CPrintingEventSink::PostFetchFailed(const std::shared_ptr<CTask>& task,
                                         const std::string& alertText) {
  if (!task) return;
  // The failure's own time, not the printing's.
  Print(Line({task->GetFailTime(), "failed", task->GetUrl(), task->GetFailReason(),
              std::to_string(task->GetFailCount())}));
  if (!alertText.empty())
    Print(Line({task->GetFailTime(), "FailAlert", task->GetUrl(), "", "", "", "", alertText}));
}

void CPrintingEventSink::ShowChangePopup(const std::string& changeText, const std::string& url,
                                         const std::string&, const DealNote&) {
  Print(Line({FormatNowText(), "Popup", url, "", "", "", "", changeText}));
}

void CPrintingEventSink::PlaySound(const std::string& path) {
  Print(Line({FormatNowText(), "Sound", "", "", "", "", "", path}));
}

bool CPrintingEventSink::SendImportProgress(const CTaskImportStatus& status) {
  Print(
      Line({FormatNowText(), "UpdateDataTaskImportDlg", "", "", "", "", "", ProgressText(status)}));
  return true;
}

bool CPrintingEventSink::SendUploadProgress(const CTaskImportStatus& status) {
  Print(
      Line({FormatNowText(), "UpdateDataTaskUploadDlg", "", "", "", "", "", ProgressText(status)}));
  return true;
}

int CPrintingEventSink::ShowMessage(unsigned id, int kind) {
  return ShowMessageText(id, kind, LoadString(id));
}

int CPrintingEventSink::ShowMessageText(unsigned id, int kind, const std::string& localText) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_shown.insert(id);
  }
  Print(Line({FormatNowText(), "Message", "", "", "", "", "", localText}));
  return kind == kMessageQuestion ? IDNO : IDOK;
}

bool CPrintingEventSink::Showed(unsigned id) {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_shown.count(id) != 0;
}

void CPrintingEventSink::PrintTask(const char* event, const std::shared_ptr<CTask>& task) {
  if (task) Print(TaskLine(FormatNowText(), event, *task));
}

void CPrintingEventSink::Print(const std::string& line) {
  std::lock_guard lock(m_lock);
  std::fputs(line.c_str(), m_out);
  std::fputc('\n', m_out);
  std::fflush(m_out);
}
