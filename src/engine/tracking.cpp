#include "engine/tracking.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stoprequest.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/events.h"
#include "engine/extract.h"
#include "engine/generic.h"
#include "engine/nocase.h"
#include "engine/renderer.h"
#include "engine/site.h"
#include "engine/spider.h"

namespace {

// Pages shorter than this are error pages or failed fetches: no observation.
constexpr size_t kShortestPage = 1500;

// The one key of the render gate: renders are limited per process, not per
// host.
constexpr const char* kRenderGateKey = "render";

// What a pass decided about one task (step "decide" of the pass).
struct Decision {
  bool riseSeen = false;
  bool riseToTell = false;
  bool dropSeen = false;
  bool dropToTell = false;
  bool stockToTell = false;
  // A drop to tell that is no real deal while only real deals are told.
  bool dropKeptQuiet = false;

  bool AnythingSeen() const { return riseSeen || dropSeen || stockToTell; }
  bool AnythingToTell() const { return riseToTell || dropToTell || stockToTell; }
};

Decision Decide(const CTask& task) {
  const CTaskValues values = task.GetValues();
  const std::string priceState = task.GetPriceState();
  Decision decision;
  decision.riseSeen = values.trackPrice && priceState == "up";
  decision.riseToTell = decision.riseSeen && values.priceUp;
  decision.dropSeen = values.trackPrice && priceState == "down";
  const double target = ReadNumber(values.targetPrice);
  decision.dropToTell =
      decision.dropSeen && values.priceDown &&
      (target <= 0 || ReadNumber(values.currentPrice) <= target) &&
      DropIsLargeEnough(task.GetPreviousPrice(), values.currentPrice, values.dropPercent);
  decision.stockToTell = values.trackStock && task.GetStockState() == "change";
  return decision;
}

// A price change worth a history point: a rise, or a drop to a real price.
bool PriceChangeSeen(const CTask& task, const Decision& decision) {
  return decision.riseSeen || (decision.dropSeen && ReadNumber(task.GetCurrentPrice()) > 0);
}

// What the price history says of a drop (after its point was recorded); a
// drop that is no real deal is kept quiet when only real deals are told.
void JudgeDrop(CTask& task, const JudgeDealFunction& judge, bool realDealsOnly,
               Decision& decision) {
  DealNote note;
  if (decision.dropSeen && judge) note = judge(task);
  if (realDealsOnly && decision.dropToTell && !note.realDeal) {
    decision.dropToTell = false;
    decision.dropKeptQuiet = true;
  }
  task.SetDealNote(std::move(note));
}

// Compares the new price with the stored one and sets the price fields. A
// price never read before (`firstLook`) is taken without counting as a change.
void TakePrice(CTask& task, const std::string& priceText, bool firstLook) {
  const std::string old = task.GetCurrentPrice();
  task.SetPreviousPrice(old);
  const double price = ReadNumber(priceText);
  const double oldValue = ReadNumber(old);
  // Below zero is no more a price than zero is.
  if (price <= 0) {
    task.SetPriceState("error");
  } else if (firstLook) {
    task.SetPriceState("nochange");
    task.SetCurrentPrice(priceText);
  } else if (price == oldValue) {
    task.SetPriceState("nochange");
  } else {
    task.SetPriceState(price > oldValue ? "up" : "down");
    task.SetCurrentPrice(priceText);
  }
}

void TakeStock(CTask& task, int stock, bool firstLook) {
  const int old = task.GetCurrentStock();
  task.SetPreviousStock(old);
  if (stock == old || firstLook) {
    task.SetStockState("nochange");
    task.SetCurrentStock(stock);
  } else {
    task.SetStockState("change");
    task.SetCurrentStock(stock);
  }
}

// Why a fetch gave no page, as the task's failure reason shows it.
std::string NoPageReason(const FetchFailure& failure) {
  switch (failure.kind) {
    case FetchFailure::kTimedOut:
      return LoadString(IDS_FAIL_TIMED_OUT);
    case FetchFailure::kStatus:
      return "HTTP " + std::to_string(failure.status);
    case FetchFailure::kNoReply:
      return LoadString(IDS_FAIL_NO_CONNECTION);
    case FetchFailure::kRender:
    case FetchFailure::kCancelled:
      return LoadString(IDS_FAIL_RENDER) + ": " + failure.why;
    case FetchFailure::kProxy:
      return LoadString(IDS_PROXY_INVALID);
    case FetchFailure::kNone:
      break;
  }
  // A 200 reply without a body, or one that did not decode.
  return LoadString(IDS_FAIL_SHORT_PAGE);
}

}  // namespace

TrackingSettings ReadTrackingSettings() {
  const std::string config = ProgramFile("config.ini");
  TrackingSettings settings;
  settings.sleepTimeMs =
      std::max<std::int64_t>(0, IniGetInt(config, "Base", "SleepTime", 1)) * 1000;
  settings.msgPop = IniGetInt(config, "Base", "MsgPop", 0);
  settings.failAlert = std::max(0, IniGetInt(config, "Base", "FailAlert", kDefaultFailAlert));
  settings.realDealsOnly = IniGetInt(config, "Base", "RealDealsOnly", 0) != 0;
  return settings;
}

std::int64_t TaskPeriodMs(const CTask& task) {
  return FrequencyPeriodMs(task.GetFrequencyHour(), task.GetFrequencyMinute());
}

std::int64_t FrequencyPeriodMs(const std::string& hour, const std::string& minute) {
  const double ms = ReadNumber(hour) * 3600000.0 + ReadNumber(minute) * 60000.0;
  // Negative or absurd frequencies come only from hand-edited files; they
  // give a timer that fires once.
  if (!(ms > 0) || ms > 1e15) return 0;
  return static_cast<std::int64_t>(std::trunc(ms));
}

bool CheckFrequency(const std::string& hour, const std::string& minute) {
  if (FrequencyPeriodMs(hour, minute) >= 60000) return true;
  ShowMessage(IDS_FREQUENCY_TOO_LOW, kMessageInfo);
  return false;
}

bool DropIsLargeEnough(const std::string& oldPrice, const std::string& newPrice,
                       const std::string& percent) {
  const double least = ReadNumber(percent);
  const double before = ReadNumber(oldPrice);
  if (!(least > 0) || !(before > 0)) return true;
  // A hair of tolerance, so that 100 -> 90 is the 10% it reads as.
  return (before - ReadNumber(newPrice)) * 100.0 >= least * before - 1e-9;
}

std::string StockWord(int stock) {
  if (stock == STOCK_UNKNOWN) return LoadString(IDS_UNDETERMINED);
  return LoadString(stock == STOCK_OUT ? IDS_OUT_OF_STOCK : IDS_IN_STOCK);
}

std::string ChangeText(const CTask& task) {
  const Decision decision = Decide(task);
  std::string stockPart;
  if (decision.stockToTell)
    stockPart = LoadString(IDS_STOCK_BECAME) + StockWord(task.GetCurrentStock());
  if (PriceChangeSeen(task, decision))
    return task.GetProductName() + LoadString(IDS_PRICE_BECAME) + task.GetCurrentPrice() +
           stockPart;
  return stockPart.empty() ? std::string() : task.GetProductName() + stockPart;
}

CTracker::CTracker(CSiteList& sites, CTaskList& tasks, EventSink& events, TrackingSettings settings,
                   std::shared_ptr<TimerClock> clock, size_t workers)
    : m_sites(sites),
      m_tasks(tasks),
      m_events(events),
      m_msgPop(settings.msgPop),
      m_sleepTimeMs(settings.sleepTimeMs),
      m_failAlert(settings.failAlert),
      m_realDealsOnly(settings.realDealsOnly),
      m_renderGate(kMaxConcurrentRenders),
      m_queue(std::make_unique<CTimerQueue>(std::move(clock), workers)),
      // Passes never wait on a file another process holds: the saver does,
      // once for the changes of each second (a sale changes many at once).
      m_taskFileSave([this] { return SaveFiles(); }, [this] { TellSaveFailed(); },
                     std::chrono::seconds(1), CCoalescedSave::First::kAfterInterval) {}

CTracker::~CTracker() {
  UnscheduleAll();
  m_gate.DropQueued();
  m_renderGate.DropQueued();
  m_queue.reset();
}

void CTracker::ScheduleAllTasks() {
  std::vector<TaskPtr> tasks = m_tasks.Tasks();
  const std::int64_t sleepTime = m_sleepTimeMs;
  for (size_t i = 0; i < tasks.size(); ++i)
    if (tasks[i]->GetStatus() == 1)
      ScheduleTask(static_cast<std::int64_t>(i) * sleepTime, TaskPeriodMs(*tasks[i]), tasks[i]);
}

bool CTracker::ScheduleTask(std::int64_t dueMs, std::int64_t periodMs, const TaskPtr& task) {
  if (!task) return false;
  // The timer holds the task weakly: a task dropped without being
  // unscheduled is not kept alive by its timer.
  std::weak_ptr<CTask> weak = task;
  TimerId id = m_queue->CreateTimer(
      [this, weak] {
        TaskPtr alive = weak.lock();
        if (!alive) return;
        // A slow shop keeps at most its share of the workers; a task still
        // in its last pass skips this one.
        m_gate.Run(alive.get(), alive->GetUrl(), [this, alive] { TrackingPass(alive); });
      },
      dueMs, periodMs);
  if (id == 0) return false;
  TimerId replaced = 0;
  {
    std::lock_guard lock(m_timersLock);
    auto [entry, added] = m_taskTimers.try_emplace(task->GetUrl(), id);
    if (!added) replaced = std::exchange(entry->second, id);
  }
  // A replaced timer left running could never be deleted again.
  if (replaced != 0) m_queue->DeleteTimer(replaced);
  return true;
}

void CTracker::UnscheduleTask(const std::string& url) {
  TimerId id = 0;
  {
    std::lock_guard lock(m_timersLock);
    auto entry = m_taskTimers.find(url);
    if (entry == m_taskTimers.end()) return;
    id = entry->second;
    m_taskTimers.erase(entry);
  }
  m_queue->DeleteTimer(id);
}

void CTracker::UnscheduleAll() {
  std::map<std::string, TimerId> timers;
  {
    std::lock_guard lock(m_timersLock);
    timers.swap(m_taskTimers);
  }
  for (const auto& [url, id] : timers) m_queue->DeleteTimer(id);
}

bool CTracker::IsScheduled(const std::string& url) const {
  std::lock_guard lock(m_timersLock);
  return m_taskTimers.count(url) != 0;
}

void CTracker::TakeInMergedTasks(const std::vector<TaskPtr>& added,
                                 const std::vector<TaskPtr>& removed) {
  if (!m_queue) return;  // the tracker is going
  const std::int64_t sleepTime = m_sleepTimeMs;
  std::int64_t due = 0;
  for (const TaskPtr& task : added) {
    if (task->GetStatus() != 1) continue;
    ScheduleTask(due, TaskPeriodMs(*task), task);
    due += sleepTime;
  }
  for (const TaskPtr& task : removed) UnscheduleTask(task->GetUrl());
}

bool CTracker::StillTracked(const CTask& task) const {
  return m_tasks.Contains(&task) && !EqualNoCase(task.GetAddMode(), "del");
}

void CTracker::TrackingPass(const TaskPtr& task) { Pass(task, false); }

void CTracker::Pass(const TaskPtr& task, bool rendered) {
  if (!task) return;
  const std::string addMode = task->GetAddMode();
  if (EqualNoCase(addMode, "add") || EqualNoCase(addMode, "import")) {
    // The add pipeline has just fetched the page; this is the timer's
    // immediate first firing.
    task->SetAddMode("");
    return;
  }
  if (EqualNoCase(addMode, "del")) return;
  task->SetLastUpdate(FormatNowText());

  SiteRef site = m_sites.FindSiteByName(task->GetSiteName());
  if (!site) site = m_sites.FindSiteByDomain(task->GetSiteDomain());
  const bool generic = !site && IsGenericSiteName(task->GetSiteName());
  if (!site && !generic) {
    // No rules to read the page with: the row shows the error, the stored
    // price and stock stay.
    task->SetPriceState("error");
    task->SetStockState("nochange");
    FailedPass(task, LoadString(IDS_FAIL_NO_SITE));
    return;
  }
  if (site && site->GetRender() && !rendered) {
    RenderLater(task);
    return;
  }

  // The page and every request its rules make share FetchTimeout.
  CDeadlineScope deadline(PassBudget());
  CSpider spider;
  const std::string url = task->GetUrl();
  std::string page;
  std::function<std::string()> productId;
  const bool firstLook = task->GetUnobserved();
  if (generic) {
    std::string refused;
    if (rendered)
      page = RenderProductPage(spider, url);
    else
      FetchGenericPage(spider, url, page, nullptr, &refused);
    if (page.empty()) {
      // A fetch cut short because the process is ending observed nothing.
      if (StopRequested()) return;
      if (refused.empty())
        FailedFetch(task, spider.LastFailure());
      else
        FailedPass(task, refused);
      return;
    }
    const GenericProduct product = ReadGenericProduct(page, url);
    // A page whose bytes hold no product may draw it with scripts.
    if (!rendered && !AcceptGenericProduct(product)) {
      RenderLater(task);
      return;
    }
    TakePrice(*task, product.price, firstLook);
    TakeStock(*task, product.stock, firstLook);
    if (!product.currency.empty()) task->SetCurrency(product.currency);
    productId = [id = product.info.id] { return id; };
  } else {
    page = FetchProductPage(spider, *site, url);
    if (StopRequested()) return;
    if (page.empty()) {
      FailedFetch(task, spider.LastFailure());
      return;
    }
    if (page.size() < kShortestPage) {
      FailedPass(task, LoadString(IDS_FAIL_SHORT_PAGE));
      return;
    }
    if (SiteRef flagged = m_sites.FindSiteInPage(page)) {
      task->SetSiteName(flagged->GetName());
      site = flagged;
    }
    const ProductValues values = ExtractProduct(spider, page, *site, url);
    // Values read with some of their requests cut off would be wrong ones.
    if (deadline.Cut()) {
      FailedPass(task, LoadString(IDS_FAIL_TIMED_OUT));
      return;
    }
    TakePrice(*task, values.effectivePrice, firstLook);
    TakeStock(*task, values.stock, firstLook);
    productId = [&page, &site] { return ExtractItemInfo(page, *site).id; };
  }

  // Steps whose requests were cut short read nothing worth keeping.
  if (StopRequested()) return;
  // A task stays unobserved until a pass reads its price. A sold-out
  // product's page often names no price, in any shop: that is news about
  // its stock, not a failed pass.
  const bool priceRead = task->GetPriceState() != "error";
  if (firstLook && priceRead) task->SetUnobserved(false);
  if (priceRead || task->GetCurrentStock() == STOCK_OUT)
    task->ClearFailures();
  else
    RecordFailure(task, LoadString(IDS_FAIL_NO_PRICE));

  Decision decision = Decide(*task);
  if (!decision.AnythingSeen()) {
    task->SetDealNote(DealNote{});
    Report(task, Telling::kNo, "");
    SaveTaskFile();
    return;
  }
  if (task->GetProductID().empty()) task->SetProductID(productId());

  // The files of a task deleted meanwhile, here or by another process, are
  // gone and must stay gone.
  if (PriceChangeSeen(*task, decision)) m_tasks.Refresh(ProgramFile("tasks.xml"));
  if (PriceChangeSeen(*task, decision) && StillTracked(*task) && m_recordPrice) {
    const std::string path = ProgramFile("productprices/" + ProductFileKey(*task) + ".xml");
    WriteHistory(task, path, m_recordPrice(*task, path));
  }
  JudgeDrop(*task, m_judgeDeal, m_realDealsOnly, decision);
  const Telling telling = decision.AnythingToTell() ? Telling::kYes
                          : decision.dropKeptQuiet  ? Telling::kListOnly
                                                    : Telling::kNo;
  Report(task, telling, ChangeText(*task));
  SaveTaskFile();
}

void CTracker::Report(const TaskPtr& task, Telling telling, const std::string& changeText) {
  if (!StillTracked(*task)) return;
  m_events.PostUpdateData(task, "");
  if (telling == Telling::kListOnly) m_events.PostQuietChange(task);
  if (telling != Telling::kYes) return;
  m_events.PostUpdateChangeData(task);
  if (m_tell) m_tell(MakeToldMessage(*task, changeText));
  if (m_msgPop == 0)
    m_events.ShowChangePopup(changeText, task->GetUrl(), task->GetGotoUrl(), task->GetDealNote());
  m_events.PlaySound(ProgramFile("ding.wav"));
}

void CTracker::RecordFailure(const TaskPtr& task, const std::string& reason) {
  const int count = task->AddFailure(FormatNowText(), reason);
  if (!StillTracked(*task)) return;
  // Told once per streak: when the count reaches the setting.
  const int alertAt = m_failAlert;
  std::string alert;
  if (alertAt > 0 && count == alertAt)
    alert = task->GetProductName() + LoadString(IDS_FAIL_ALERT_IN_A_ROW) + std::to_string(count) +
            LoadString(IDS_FAIL_ALERT_TIMES);
  m_events.PostFetchFailed(task, alert);
  if (alert.empty()) return;
  if (m_tell) m_tell(MakeToldMessage(*task, alert, "failure"));
  if (m_msgPop == 0)
    m_events.ShowChangePopup(alert, task->GetUrl(), task->GetGotoUrl(), DealNote{});
}

void CTracker::FailedPass(const TaskPtr& task, const std::string& reason) {
  RecordFailure(task, reason);
  Report(task, Telling::kNo, "");
  SaveTaskFile();
}

void CTracker::FailedFetch(const TaskPtr& task, const FetchFailure& failure) {
  // A render cut short by the program quitting says nothing of the shop.
  if (failure.kind == FetchFailure::kCancelled) return;
  FailedPass(task, NoPageReason(failure));
}

void CTracker::RenderLater(const TaskPtr& task) {
  m_renderGate.Run(task.get(), kRenderGateKey, [this, task] { Pass(task, true); });
}

void CTracker::SaveTaskFile() { m_taskFileSave.MarkChanged(); }

void CTracker::WriteHistory(const TaskPtr& task, const std::string& path, HistoryWrite write) {
  if (!write) return;
  {
    // A write left to the saver goes first: it must not land after this one.
    std::lock_guard lock(m_historyLock);
    auto pending = m_pendingHistories.find(HistoryKey(path, task.get()));
    if (pending != m_pendingHistories.end()) {
      pending->second = PendingHistory{task, std::move(write)};
      return;
    }
  }
  // A pass never waits for another process's writer; the saver does.
  if (write(FileLock::Wait::kNotAtAll).ok) return;
  std::lock_guard lock(m_historyLock);
  m_pendingHistories.try_emplace(HistoryKey(path, task.get()),
                                 PendingHistory{task, std::move(write)});
}

bool CTracker::WritePendingHistories() {
  std::map<HistoryKey, PendingHistory> pending;
  {
    std::lock_guard lock(m_historyLock);
    pending.swap(m_pendingHistories);
  }
  LockedWrite failure;
  for (auto& [key, entry] : pending) {
    TaskPtr task = entry.task.lock();
    // A task deleted meanwhile keeps its files deleted.
    if (!task || !StillTracked(*task)) continue;
    const LockedWrite written = entry.write(FileLock::Wait::kPatiently);
    if (written.ok) continue;
    failure = written;
    std::lock_guard lock(m_historyLock);
    // A newer write of the same file, queued meanwhile, holds this one's point too.
    m_pendingHistories.try_emplace(key, std::move(entry));
  }
  m_lastHistoryFailure = failure;
  return failure.ok;
}

bool CTracker::SaveFiles() {
  const bool histories = WritePendingHistories();
  m_lastTasksSaveFailed = !m_tasks.SaveTasks(ProgramFile("tasks.xml"));
  return histories && !m_lastTasksSaveFailed;
}

void CTracker::TellSaveFailed() {
  if (m_lastTasksSaveFailed)
    m_events.ShowMessageText(IDS_SAVE_TASKS_FAILED, kMessageInfo, SaveTasksFailedText(m_tasks));
  if (!m_lastHistoryFailure.ok) {
    std::string text = LoadString(IDS_SAVE_HISTORY_FAILED);
    if (m_lastHistoryFailure.busy) text += FileHeldText(m_lastHistoryFailure.holder);
    m_events.ShowMessageText(IDS_SAVE_HISTORY_FAILED, kMessageInfo, text);
  }
}
