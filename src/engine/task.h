#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "engine/dealnote.h"

class CETaoInfo;
class CPriceInfo;
class XmlDocument;

// While the first fetch of a new task runs, Status and CurrentStock hold the
// id of the string "抓取中" (fetching), which the list shows instead.
inline constexpr int FETCHING_MARK = 57727;

// The eighteen fields of a task that tasks.xml keeps. Texts are in the local
// code page. Stock is 1 in stock, 0 out of stock, -1 undetermined.
struct CTaskValues {
  std::string url;
  std::string imageLink;
  std::string productName;
  std::string productId;
  std::string frequencyMinute;
  std::string frequencyHour;
  int status = 0;  // 1 tracked, 0 paused, or FETCHING_MARK
  std::string siteName;
  std::string siteDomain;
  bool trackStock = false;
  bool trackPrice = false;
  std::string currentPrice;
  int currentStock = 0;
  std::string lastUpdate;
  bool priceUp = false;
  bool priceDown = false;
  std::string targetPrice;
  std::string gotoUrl;
  // Kept after the eighteen, so that older programs skip them: the currency
  // a general shop's page names ("" for the shops' own yuan), and the
  // smallest drop in percent worth telling ("" or 0: any drop).
  std::string currency;
  std::string dropPercent;
  // Set on a task whose price and stock this program has not read yet (one
  // taken from the account, or a tasks.xml entry written without either):
  // its first pass takes them without telling.
  bool unobserved = false;
  // The passes that failed in a row (no page, an error reply, no price), and
  // the time and reason of the last of them; all cleared by a good pass.
  int failCount = 0;
  std::string failTime;
  std::string failReason;
};

// One tracked product. The tracking passes, the add pipeline and the windows
// read and write a task from several threads at once, so every field is
// guarded by the task's own lock and every getter returns a copy.
class CTask {
 public:
  CTask() = default;
  // The constructor from all values (the add and edit windows).
  explicit CTask(CTaskValues values);
  // How the texts of a record reached the document: converted with the
  // whole file, or as raw bytes of a file that mixes UTF-8 and local fields.
  enum class RecordText { kConverted, kEachFieldItsOwn };
  // Reads one "Task" record: `record` stands where EnterElement left it on
  // the record; the cursor moves among the record's children only. A missing
  // element leaves its field as constructed.
  explicit CTask(XmlDocument& record, RecordText form = RecordText::kConverted);
  virtual ~CTask() = default;
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  // A new task holding this one's values and run-time fields as they stand
  // now (not the shared comparison and history), taken under one lock.
  std::shared_ptr<CTask> Copy() const;

  // The "<Task>...</Task>" record of tasks.xml, also sent to the account
  // server.
  std::string ToXml() const;
  // Appends the same record to `out`; `written`, when given, receives the
  // values the record holds, taken under the same lock.
  void AppendXml(std::string& out, CTaskValues* written = nullptr) const;

  // Takes in the changes another process saved: every saved field that
  // differs between `base` (the file as this process last knew it) and
  // `theirs` (the file now) and that this task has not changed itself since
  // `base` takes the value of `theirs`. True when a field changed.
  bool MergeSaved(const CTaskValues& base, const CTaskValues& theirs);

  // All saved fields at once, consistent with each other.
  CTaskValues GetValues() const { return Get(m_values); }

  std::string GetUrl() const { return Get(m_values.url); }
  void SetUrl(std::string v) { SetSaved(m_values.url, std::move(v)); }
  std::string GetImageLink() const { return Get(m_values.imageLink); }
  void SetImageLink(std::string v) { SetSaved(m_values.imageLink, std::move(v)); }
  std::string GetProductName() const { return Get(m_values.productName); }
  // Every "&nbsp;" is removed from the name.
  void SetProductName(std::string v);
  std::string GetProductID() const { return Get(m_values.productId); }
  void SetProductID(std::string v) { SetSaved(m_values.productId, std::move(v)); }
  std::string GetFrequencyMinute() const { return Get(m_values.frequencyMinute); }
  void SetFrequencyMinute(std::string v) { SetSaved(m_values.frequencyMinute, std::move(v)); }
  std::string GetFrequencyHour() const { return Get(m_values.frequencyHour); }
  void SetFrequencyHour(std::string v) { SetSaved(m_values.frequencyHour, std::move(v)); }
  int GetStatus() const { return Get(m_values.status); }
  void SetStatus(int v) { SetSaved(m_values.status, v); }
  std::string GetSiteName() const { return Get(m_values.siteName); }
  void SetSiteName(std::string v) { SetSaved(m_values.siteName, std::move(v)); }
  std::string GetSiteDomain() const { return Get(m_values.siteDomain); }
  void SetSiteDomain(std::string v) { SetSaved(m_values.siteDomain, std::move(v)); }
  bool GetTrackStock() const { return Get(m_values.trackStock); }
  void SetTrackStock(bool v) { SetSaved(m_values.trackStock, v); }
  bool GetTrackPrice() const { return Get(m_values.trackPrice); }
  void SetTrackPrice(bool v) { SetSaved(m_values.trackPrice, v); }
  std::string GetCurrentPrice() const { return Get(m_values.currentPrice); }
  void SetCurrentPrice(std::string v) { SetSaved(m_values.currentPrice, std::move(v)); }
  int GetCurrentStock() const { return Get(m_values.currentStock); }
  void SetCurrentStock(int v) { SetSaved(m_values.currentStock, v); }
  std::string GetLastUpdate() const { return Get(m_values.lastUpdate); }
  void SetLastUpdate(std::string v) { SetSaved(m_values.lastUpdate, std::move(v)); }
  bool GetPriceUp() const { return Get(m_values.priceUp); }
  void SetPriceUp(bool v) { SetSaved(m_values.priceUp, v); }
  bool GetPriceDown() const { return Get(m_values.priceDown); }
  void SetPriceDown(bool v) { SetSaved(m_values.priceDown, v); }
  std::string GetTargetPrice() const { return Get(m_values.targetPrice); }
  void SetTargetPrice(std::string v) { SetSaved(m_values.targetPrice, std::move(v)); }
  std::string GetGotoUrl() const { return Get(m_values.gotoUrl); }
  void SetGotoUrl(std::string v) { SetSaved(m_values.gotoUrl, std::move(v)); }
  std::string GetCurrency() const { return Get(m_values.currency); }
  void SetCurrency(std::string v) { SetSaved(m_values.currency, std::move(v)); }
  std::string GetDropPercent() const { return Get(m_values.dropPercent); }
  void SetDropPercent(std::string v) { SetSaved(m_values.dropPercent, std::move(v)); }
  bool GetUnobserved() const { return Get(m_values.unobserved); }
  void SetUnobserved(bool v) { SetSaved(m_values.unobserved, v); }
  int GetFailCount() const { return Get(m_values.failCount); }
  std::string GetFailTime() const { return Get(m_values.failTime); }
  std::string GetFailReason() const { return Get(m_values.failReason); }
  // One more failed pass at `time` for `reason`; the new count.
  int AddFailure(const std::string& time, const std::string& reason);
  // A good pass ends the streak.
  void ClearFailures();

  // Run-time fields, not saved.
  // "error", "nochange", "up", "down"; empty before the first pass.
  std::string GetPriceState() const { return Get(m_priceState); }
  void SetPriceState(std::string v) { Set(m_priceState, std::move(v)); }
  // "nochange" or "change".
  std::string GetStockState() const { return Get(m_stockState); }
  void SetStockState(std::string v) { Set(m_stockState, std::move(v)); }
  // "add", "import", "del", "del_dup_init", "del_faild_init" or empty.
  std::string GetAddMode() const { return Get(m_addMode); }
  void SetAddMode(std::string v) { Set(m_addMode, std::move(v)); }
  std::string GetPreviousPrice() const { return Get(m_previousPrice); }
  void SetPreviousPrice(std::string v) { Set(m_previousPrice, std::move(v)); }
  int GetPreviousStock() const { return Get(m_previousStock); }
  void SetPreviousStock(int v) { Set(m_previousStock, v); }
  // What the price history said of the last pass's drop; empty otherwise.
  DealNote GetDealNote() const { return Get(m_dealNote); }
  void SetDealNote(DealNote v) { Set(m_dealNote, std::move(v)); }

  // The comparison and the history are shared, so that a view can keep the
  // one it shows while a pass attaches a new one. Null until attached.
  std::shared_ptr<CETaoInfo> GetCompareInfo() const { return Get(m_compareInfo); }
  void SetCompareInfo(std::shared_ptr<CETaoInfo> v) { Set(m_compareInfo, std::move(v)); }
  std::shared_ptr<CPriceInfo> GetPriceHistory() const { return Get(m_priceHistory); }
  void SetPriceHistory(std::shared_ptr<CPriceInfo> v) { Set(m_priceHistory, std::move(v)); }

 private:
  template <typename T>
  T Get(const T& field) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return field;
  }
  template <typename T>
  void Set(T& field, T value) {
    std::lock_guard<std::mutex> lock(m_lock);
    field = std::move(value);
  }
  template <typename T>
  void SetSaved(T& field, T value) {
    std::lock_guard<std::mutex> lock(m_lock);
    field = std::move(value);
    m_recordValid = false;
  }
  // The record, built again only after a saved field changed: saving the
  // whole list then costs little more than writing its bytes. Called with
  // the lock held.
  const std::string& Record() const;

  mutable std::mutex m_lock;
  CTaskValues m_values;
  mutable std::string m_record;
  mutable bool m_recordValid = false;
  std::string m_priceState;
  std::string m_stockState;
  std::string m_addMode;
  std::string m_previousPrice;
  int m_previousStock = 0;
  DealNote m_dealNote;
  std::shared_ptr<CETaoInfo> m_compareInfo;
  std::shared_ptr<CPriceInfo> m_priceHistory;
};

// The name stem of a task's files: SiteDomain with "|" made "_", then "_",
// then ProductID, each through SafeFileName so that no shop data can name a
// file outside the task's folders; a stem too long for a file name is
// shortened by BoundedFileStem. Tasks with the same domain and product share
// their files.
std::string ProductFileKey(const CTask& task);
std::string ProductFileKey(const std::string& siteDomain, const std::string& productId);
