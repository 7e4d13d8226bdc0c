#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "engine/events.h"

// Prints one line per event, for the command line. Eight tab-separated
// columns in UTF-8:
//   local time, event, link, price state, stock state, price, stock, text
// where the event is "UpdateData", "UpdateChangeData", "Popup", "Sound",
// "UpdateDataTaskImportDlg", "UpdateDataTaskUploadDlg" or "Message"; the
// text is the task's change text (task events), the pop-up's change text, the
// sound file, "total/completed/present/failed" (progress) or the message. An empty column is "-";
// tabs and line breaks inside a value are printed as blanks.
class CPrintingEventSink : public EventSink {
 public:
  explicit CPrintingEventSink(std::FILE* out) : m_out(out) {}

  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void PostUpdateChangeData(const std::shared_ptr<CTask>& task) override;
  void PostFetchFailed(const std::shared_ptr<CTask>& task, const std::string& alertText) override;
  void ShowChangePopup(const std::string& changeText, const std::string& url,
                       const std::string& gotoUrl) override;
  void PlaySound(const std::string& path) override;
  bool SendImportProgress(const CTaskImportStatus& status) override;
  bool SendUploadProgress(const CTaskImportStatus& status) override;
  // Printed as "Message" with the message text; answers as nobody is there
  // to ask: IDOK, or IDNO to a question.
  int ShowMessage(unsigned id, int kind) override;
  int ShowMessageText(unsigned id, int kind, const std::string& localText) override;

  // The line for a task event, without the line break (for tests).
  static std::string TaskLine(const std::string& time, const std::string& event, const CTask& task);

 private:
  void PrintTask(const char* event, const std::shared_ptr<CTask>& task);
  void Print(const std::string& line);

  std::FILE* m_out;
  std::mutex m_lock;
};
