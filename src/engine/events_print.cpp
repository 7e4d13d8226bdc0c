#include "engine/events_print.h"

#include <initializer_list>

#include "base/codepage.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/task.h"
#include "engine/tracking.h"

namespace {

// One column: UTF-8 from the local code page, "-" when empty, no tab or
// line break that would break the layout.
std::string Column(const std::string& local) {
  if (local.empty()) return "-";
  std::string text = LocalToUtf8(local);
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
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
                                         const std::string&) {
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

int CPrintingEventSink::ShowMessageText(unsigned, int kind, const std::string& localText) {
  Print(Line({FormatNowText(), "Message", "", "", "", "", "", localText}));
  return kind == kMessageQuestion ? IDNO : IDOK;
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
