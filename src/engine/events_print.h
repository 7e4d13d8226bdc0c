#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "engine/events.h"

// Prints one line per event, for the command line. Eight tab-separated
// columns in UTF-8:
//   local time, event, link, price state, stock state, price, stock, text
// where the event is "UpdateData", "UpdateChangeData", "Verdict", "Popup",
// "Sound", "UpdateDataTaskImportDlg", "UpdateDataTaskUploadDlg" or "Message";
// the text is the task's change text (task events), the deal verdict (a
// "Verdict" line follows the "UpdateChangeData" of a drop the price history
// says something of), the pop-up's change text, the sound file,
// "total/completed/present/failed" (progress) or the message. An empty column
// is "-"; values are escaped by LocalOutputField.
class CPrintingEventSink : public EventSink {
 public:
  explicit CPrintingEventSink(std::FILE* out) : m_out(out) {}

  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& picturePath) override;
  void PostUpdateChangeData(const std::shared_ptr<CTask>& task) override;
  void PostFetchFailed(const std::shared_ptr<CTask>& task, const std::string& alertText) override;
  void ShowChangePopup(const std::string& changeText, const std::string& url,
                       const std::string& gotoUrl, const DealNote& note) override;
  void PlaySound(const std::string& path) override;
  bool SendImportProgress(const CTaskImportStatus& status) override;
  bool SendUploadProgress(const CTaskImportStatus& status) override;
  // Printed as "Message" with the message text; answers as nobody is there
  // to ask: IDOK, or IDNO to a question.
  int ShowMessage(unsigned id, int kind) override;
  int ShowMessageText(unsigned id, int kind, const std::string& localText) override;
  // Whether message `id` was shown, so that a command can end with the status
  // its messages call for.
  bool Showed(unsigned id);

  // The line for a task event, without the line break (for tests).
  static std::string TaskLine(const std::string& time, const std::string& event, const CTask& task);

 private:
  void PrintTask(const char* event, const std::shared_ptr<CTask>& task);
  void Print(const std::string& line);

  std::FILE* m_out;
  std::mutex m_lock;
  std::set<unsigned> m_shown;
};
