#pragma once

#include <memory>
#include <string>

#include "engine/dealnote.h"

class CTask;

// Progress of an account import or upload, as the two account windows show it.
struct CTaskImportStatus {
  int total = 0;
  int completed = 0;
  int alreadyPresent = 0;
  int failed = 0;
};

// How worker threads (tracking passes, the add pipeline, the account workers)
// reach the windows. "Post" returns at once and the event is handled later on
// the window's thread; "Send" returns after the window has handled it. Tasks
// travel as shared pointers, so a task stays alive while an event about it
// waits to be handled.
class EventSink {
 public:
  virtual ~EventSink() = default;

  // "UpdateData": refresh, add, append or remove the task's row as its
  // AddMode says; `picturePath` is empty or the path of a new product picture.
  virtual void PostUpdateData(const std::shared_ptr<CTask>& task,
                              const std::string& picturePath) = 0;
  virtual void SendUpdateData(const std::shared_ptr<CTask>& task,
                              const std::string& picturePath) = 0;

  // "UpdateChangeData": the task has a change the user asked to be told of.
  virtual void PostUpdateChangeData(const std::shared_ptr<CTask>& task) = 0;
  // A change that goes into the change list without alerting anyone: a drop
  // that is no real deal while only real deals are told ("RealDealsOnly").
  // Sinks without a change list take it as an "UpdateChangeData".
  virtual void PostQuietChange(const std::shared_ptr<CTask>& task) { PostUpdateChangeData(task); }

  // A pass got no usable observation; the task holds the count, time and
  // reason. `alertText` is the failure alert the user is to be told
  // (ProductName + "连续" + N + "次抓取失败"), empty for a failure not told.
  virtual void PostFetchFailed(const std::shared_ptr<CTask>& task,
                               const std::string& alertText) = 0;

  // The change pop-up near the tray, with the change text, the product link
  // and the stored shop link (texts in the local code page), and what the
  // price history says of a drop (shown beside the text).
  virtual void ShowChangePopup(const std::string& changeText, const std::string& url,
                               const std::string& gotoUrl, const DealNote& note) = 0;

  // Plays a sound file without waiting for it to end.
  virtual void PlaySound(const std::string& path) = 0;

  // "UpdateDataTaskImportDlg" and "UpdateDataTaskUploadDlg": sent after each
  // task; false when the window is gone, which tells the worker to stop.
  virtual bool SendImportProgress(const CTaskImportStatus& status) = 0;
  virtual bool SendUploadProgress(const CTaskImportStatus& status) = 0;

  // A string-table message the user must see (ShowMessage of base/message.h,
  // which this forwards to unless a sink shows or records it itself); waits
  // for the answer.
  virtual int ShowMessage(unsigned id, int kind);
  // The same for a message whose text is built around the string
  // (ShowMessageText of base/message.h): a process id, a path.
  virtual int ShowMessageText(unsigned id, int kind, const std::string& localText);
};
