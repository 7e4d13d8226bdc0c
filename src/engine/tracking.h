#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "base/filelock.h"
#include "engine/coalescedsave.h"
#include "engine/dealnote.h"
#include "engine/passgate.h"
#include "engine/tasklist.h"
#include "engine/timerqueue.h"
#include "engine/told.h"

class CSiteList;
class EventSink;
struct FetchFailure;

inline constexpr int kDefaultFailAlert = 3;

// The settings a tracker reads, from section "Base" of config.ini.
struct TrackingSettings {
  std::int64_t sleepTimeMs = 1000;  // "SleepTime" (seconds, default 1) x 1000
  int msgPop = 0;                   // "MsgPop": 0 shows the change pop-up
  // "FailAlert": after this many failed passes in a row the user is told,
  // once per streak; 0 never.
  int failAlert = kDefaultFailAlert;
  // "RealDealsOnly" ("只提醒真降价"): a drop is told only when the price
  // history calls it a real deal (at least a 30-day low, no rise undone);
  // the others go into the change list without alerting anyone.
  bool realDealsOnly = false;
};
// Reads the keys from the program directory's config.ini.
TrackingSettings ReadTrackingSettings();

// The timer period of a task: FrequencyHour (a decimal number) x 3600000 +
// FrequencyMinute x 60000, truncated. 0 means the timer fires once.
std::int64_t TaskPeriodMs(const CTask& task);
std::int64_t FrequencyPeriodMs(const std::string& hour, const std::string& minute);

// Where a user types a frequency (add and edit windows, batch edit,
// `vantrelctl add`): one below a minute shows message 57745 and gives false.
// Tasks already in tasks.xml are never refused; their timer fires once.
bool CheckFrequency(const std::string& hour, const std::string& minute);

// The one-line change text of a task after a pass, from its fields: the
// product name with "价格变为" and the price when a rise or drop was seen,
// "库存变为" and the stock word when a stock change is to be told; empty
// when neither. Local code page.
std::string ChangeText(const CTask& task);
// Whether a drop from `oldPrice` to `newPrice` is at least `percent` per
// cent of the old price. An empty, zero or unreadable percentage asks for
// no least drop; neither does an old price of 0 (there was none to drop
// from).
bool DropIsLargeEnough(const std::string& oldPrice, const std::string& newPrice,
                       const std::string& percent);
// "不确定" for -1, "缺货" for 0, "有货" for any other value.
std::string StockWord(int stock);

// Writes a history file, waiting for another writer as `wait` says.
using HistoryWrite = std::function<LockedWrite(FileLock::Wait wait)>;
// Adds a point dated now at the task's CurrentPrice to its price history;
// when the history accepts it, the write of the history to `historyPath`
// (else an empty function). The histories live in the services layer, which
// provides the program's one (RecordTrackedPrice); without one, passes
// record no history.
using RecordPriceFunction =
    std::function<HistoryWrite(CTask& task, const std::string& historyPath)>;

// The tracking side of the program: the timer queue, one timer per tracked
// task (TaskTimers, by Url) and the pass that each firing runs.
//
// A task may be deleted while its pass runs: the pass holds the task, so
// nothing is freed under it, and it checks that the task is still in the list
// and not being deleted (AddMode "del") before it writes the task's history
// file or reports to the window.
class CTracker {
 public:
  // `clock` null: the system's steady clock. The program directory is the
  // one in force when a pass runs (tasks.xml, productprices/, ding.wav).
  CTracker(CSiteList& sites, CTaskList& tasks, EventSink& events, TrackingSettings settings,
           std::shared_ptr<TimerClock> clock = nullptr,
           size_t workers = CTimerQueue::kDefaultWorkers);
  // UnscheduleAll, then waits for the passes that are running.
  ~CTracker();
  CTracker(const CTracker&) = delete;
  CTracker& operator=(const CTracker&) = delete;

  // Every task whose Status is 1, the i-th of the list (counting every task)
  // first due i x SleepTime from now, then every TaskPeriodMs.
  void ScheduleAllTasks();
  // A timer for the task whose firings run TrackingPass; it replaces the
  // task's earlier timer. False when the queue refused it.
  bool ScheduleTask(std::int64_t dueMs, std::int64_t periodMs, const TaskPtr& task);
  // Deletes the link's timer, without waiting for a pass that is running.
  void UnscheduleTask(const std::string& url);
  void UnscheduleAll();
  bool IsScheduled(const std::string& url) const;
  // After the list took in another process's changes (CTaskList's merge
  // listener): the tracked tasks it added get timers, the timers of tasks it
  // removed go.
  void TakeInMergedTasks(const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed);

  // One visit of the task's product page: fetch, extract, compare, record,
  // report, save tasks.xml.
  void TrackingPass(const TaskPtr& task);

  // Settings may change while passes run (the settings window).
  void SetMsgPop(int msgPop) { m_msgPop = msgPop; }
  void SetSleepTimeMs(std::int64_t ms) { m_sleepTimeMs = ms; }
  void SetFailAlert(int count) { m_failAlert = count; }
  void SetRealDealsOnly(bool on) { m_realDealsOnly = on; }

  // Set before the first pass.
  void SetPriceRecorder(RecordPriceFunction record) { m_recordPrice = std::move(record); }
  // Judges every drop against the task's price history, after its point was
  // recorded; the task keeps the note (GetDealNote) and it goes with the
  // change to the window, the pop-up and the channels. Set before the first
  // pass.
  void SetDealJudge(JudgeDealFunction judge) { m_judgeDeal = std::move(judge); }
  // Every change told to the window is told here too (the notification
  // channels). Set before the first pass.
  void SetTeller(TellFunction tell) { m_tell = std::move(tell); }

  CTimerQueue& Queue() { return *m_queue; }
  const CPassGate& Gate() const { return m_gate; }
  // Passes waiting for or holding a render turn, under the key "render".
  const CPassGate& RenderGate() const { return m_renderGate; }
  // Writes now what the passes left to be saved: history files and
  // tasks.xml.
  void FlushTaskFile() { m_taskFileSave.Flush(); }

 private:
  // The pass; `rendered` when it runs in a render turn, where the shop's
  // page is drawn by the browser.
  void Pass(const TaskPtr& task, bool rendered);
  // A pass that needs the browser gives up its worker and runs again in a
  // render turn: now when one is free, else on the thread that ends a render.
  void RenderLater(const TaskPtr& task);
  bool StillTracked(const CTask& task) const;
  // How a pass reports a change: not at all (the row only), into the change
  // list only, or told (change list, channels, pop-up, sound).
  enum class Telling { kNo, kListOnly, kYes };
  void Report(const TaskPtr& task, Telling telling, const std::string& changeText);
  // Counts a pass without a usable observation and tells of it.
  void RecordFailure(const TaskPtr& task, const std::string& reason);
  // A pass that ends at its failure: recorded, the row refreshed, saved.
  void FailedPass(const TaskPtr& task, const std::string& reason);
  // A pass that got no page at all.
  void FailedFetch(const TaskPtr& task, const FetchFailure& failure);
  void SaveTaskFile();
  // Writes the history at once when no other writer holds its folder, else
  // leaves it to the saver.
  void WriteHistory(const TaskPtr& task, const std::string& path, HistoryWrite write);
  // What the saver does: the histories left to it, then tasks.xml. False
  // when anything could not be written (it stays for the next save).
  bool SaveFiles();
  bool WritePendingHistories();
  void TellSaveFailed();

  CSiteList& m_sites;
  CTaskList& m_tasks;
  EventSink& m_events;
  std::atomic<int> m_msgPop;
  std::atomic<std::int64_t> m_sleepTimeMs;
  std::atomic<int> m_failAlert;
  std::atomic<bool> m_realDealsOnly;
  RecordPriceFunction m_recordPrice;
  JudgeDealFunction m_judgeDeal;
  TellFunction m_tell;

  mutable std::mutex m_timersLock;
  std::map<std::string, TimerId> m_taskTimers;

  // History writes that found another writer at work, by file and task
  // (two tasks of one product keep a history each); each writes its history
  // whole, so the last one of a task is enough.
  struct PendingHistory {
    std::weak_ptr<CTask> task;
    HistoryWrite write;
  };
  using HistoryKey = std::pair<std::string, const CTask*>;
  std::mutex m_historyLock;
  std::map<HistoryKey, PendingHistory> m_pendingHistories;
  LockedWrite m_lastHistoryFailure;
  bool m_lastTasksSaveFailed = false;
  // Both outlive the queue, whose callbacks use them.
  CPassGate m_gate;
  CPassGate m_renderGate;  // at most kMaxConcurrentRenders passes render at once
  std::unique_ptr<CTimerQueue> m_queue;
  // Passes only mark the list changed; the saver thread writes tasks.xml
  // (with the histories left to it) a second after a change, with every
  // change of that second, and when the tracker goes (after its passes
  // ended). A crash loses at most that second.
  CCoalescedSave m_taskFileSave;
};
