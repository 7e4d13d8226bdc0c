#include "engine/addtask.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

#include "base/message.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/events.h"
#include "engine/extract.h"
#include "engine/generic.h"
#include "engine/spider.h"

namespace {

// Links this short are still being typed; guessing would pick a shop at
// random from a fragment such as "http://www".
constexpr size_t kShortestGuessedLink = 10;

bool DomainOccursIn(const std::string& domain, const std::string& link) {
  size_t start = 0;
  while (start <= domain.size()) {
    size_t bar = domain.find('|', start);
    if (bar == std::string::npos) bar = domain.size();
    const std::string host = domain.substr(start, bar - start);
    // An empty name between two bars would occur in every link.
    if (!host.empty() && link.find(host) != std::string::npos) return true;
    start = bar + 1;
  }
  return false;
}

// The placeholder leaves: the window removes its row, then the user hears why
// (unless `told` says the reason was shown already); a page that only a
// browser could read also says what went wrong there (e.g. that the browser
// is not installed).
AddResult Refuse(const TaskEnvironment& environment, const TaskPtr& task, AddResult result,
                 const FetchFailure& failure = FetchFailure{}, bool told = false) {
  const bool duplicate = result == AddResult::kDuplicate;
  task->SetAddMode(duplicate ? "del_dup_init" : "del_faild_init");
  environment.events.SendUpdateData(task, std::string());
  if (told) return result;
  if (!duplicate && failure.kind == FetchFailure::kRender)
    ShowMessageText(
        IDS_ADD_FETCH_FAILED, kMessageInfo,
        LoadString(IDS_ADD_FETCH_FAILED) + "\n" + LoadString(IDS_FAIL_RENDER) + ": " + failure.why);
  else
    ShowMessage(duplicate ? IDS_ADD_DUPLICATE : IDS_ADD_FETCH_FAILED, kMessageInfo);
  return result;
}

// What the add pipeline read of a new product.
struct AddedProduct {
  std::string domain;
  ItemInfo info;
  std::string price;
  int stock = STOCK_UNKNOWN;
  std::string currency;
};

bool ReadWithRules(const TaskEnvironment& environment, CSpider& spider, CTask& task, SiteRef site,
                   const std::string& url, AddedProduct& product) {
  const std::string page = FetchProductPage(spider, *site, url);
  if (page.empty()) return false;
  if (SiteRef flagged = environment.sites.FindSiteInPage(page)) {
    task.SetSiteName(flagged->GetName());
    site = flagged;
  }
  const ProductValues values = ExtractProduct(spider, page, *site, url);
  product.info = ExtractItemInfo(page, *site);
  product.price = values.effectivePrice;
  product.stock = values.stock;
  product.domain = site->GetDomain();
  if (site->IsLearned()) {
    // Learned from one page, the shop is read as the general shop is: a
    // page without a picture gets the blank one, and an unstated stock
    // stays unknown.
    if (product.info.image.empty()) product.info.image = BlankPicturePath();
    return AcceptReadProduct(product.info, product.price, product.stock);
  }
  return AcceptProduct(product.info.name, product.info.id, product.info.image, product.price,
                       product.stock);
}

// A shop without rules: the page's own product data, as the browser draws
// the page when its bytes hold none. A page without a
// picture link gets the blank picture, as a task still being fetched has.
bool ReadGeneralShop(CSpider& spider, const std::string& url, AddedProduct& product) {
  std::string page;
  GenericProduct generic;
  if (!FetchGenericPage(spider, url, page)) return false;
  const bool read = ReadProductOrRender(spider, url, page, generic);
  if (!PriceIsReadable(generic.price) && generic.stock != STOCK_OUT) RememberUnpricedLink(url);
  if (!read) return false;
  if (!AcceptGenericProduct(generic)) return false;
  product.info = generic.info;
  if (product.info.image.empty()) product.info.image = BlankPicturePath();
  product.price = generic.price.empty() ? FormatPrice(0) : generic.price;
  product.stock = generic.stock;
  product.currency = generic.currency;
  product.domain = GenericSiteDomain(url);
  return !product.domain.empty();
}

// So many unpriced links are remembered; older ones are forgotten.
constexpr size_t kUnpricedLinks = 16;

struct UnpricedLinks {
  std::mutex lock;
  std::deque<std::string> links;
};

UnpricedLinks& Unpriced() {
  static UnpricedLinks unpriced;
  return unpriced;
}

}  // namespace

void RememberUnpricedLink(const std::string& link) {
  UnpricedLinks& unpriced = Unpriced();
  std::lock_guard hold(unpriced.lock);
  unpriced.links.push_back(link);
  if (unpriced.links.size() > kUnpricedLinks) unpriced.links.pop_front();
}

bool WasUnpricedLink(const std::string& link) {
  UnpricedLinks& unpriced = Unpriced();
  std::lock_guard hold(unpriced.lock);
  return std::find(unpriced.links.begin(), unpriced.links.end(), link) != unpriced.links.end();
}

SiteRef GuessSiteFromLink(const CSiteList& sites, const std::string& link) {
  if (link.size() <= kShortestGuessedLink) return nullptr;
  for (const SiteRef& site : sites.Snapshot())
    if (DomainOccursIn(site->GetDomain(), link)) return site;
  return nullptr;
}

TaskPtr MakePlaceholderTask(const AddChoices& choices, const ProductServices& services) {
  CTaskValues values;
  values.url = services.cleanLink ? services.cleanLink(choices.link) : choices.link;
  values.siteName = choices.siteName;
  values.frequencyHour = choices.frequencyHour;
  values.frequencyMinute = choices.frequencyMinute;
  values.trackPrice = choices.trackPrice;
  values.trackStock = choices.trackStock;
  values.priceUp = choices.priceUp;
  values.priceDown = choices.priceDown;
  values.targetPrice = choices.targetPrice;
  values.dropPercent = choices.dropPercent;
  values.imageLink = BlankPicturePath();
  values.lastUpdate = FormatNowText();
  values.productName = LoadString(IDS_FIRST_FETCH);
  values.currentPrice = LoadString(IDS_STATE_FETCHING);
  values.status = FETCHING_MARK;
  values.currentStock = FETCHING_MARK;
  return std::make_shared<CTask>(std::move(values));
}

bool AcceptProduct(const std::string& name, const std::string& productId,
                   const std::string& imageLink, const std::string& price, int stock) {
  if (name.empty() || productId.empty() || imageLink.empty()) return false;
  return (stock != STOCK_UNKNOWN && PriceIsReadable(price)) || stock == STOCK_OUT;
}

AddResult AddWorker(const TaskEnvironment& environment, const TaskPtr& task) {
  if (!task) return AddResult::kFailed;
  // The window offers only existing sites and the general shop; a site
  // removed by a rules refresh while the window was open leaves nothing to
  // read the page with.
  SiteRef site = environment.sites.FindSiteByName(task->GetSiteName());
  const bool generic = !site && IsGenericSiteName(task->GetSiteName());
  if (!site && !generic) return Refuse(environment, task, AddResult::kFailed);

  CSpider spider;
  const std::string url = task->GetUrl();
  AddedProduct product;
  bool read = false;
  {
    // The page and the requests of its rules share FetchTimeout, as a pass's do.
    CDeadlineScope deadline(PassBudget());
    read = generic ? ReadGeneralShop(spider, url, product)
                   : ReadWithRules(environment, spider, *task, site, url, product);
    read = read && !deadline.Cut();
  }
  if (!read) return Refuse(environment, task, AddResult::kFailed, spider.LastFailure());

  task->SetSiteDomain(product.domain);
  task->SetProductName(product.info.name);
  task->SetProductID(product.info.id);
  task->SetImageLink(product.info.image);
  task->SetCurrentPrice(product.price);
  task->SetCurrentStock(product.stock);
  task->SetCurrency(product.currency);
  // Marked as tracked before the list holds it: a tracking pass that saves
  // tasks.xml meanwhile must not write the fetching mark as its state.
  task->SetStatus(1);
  task->SetAddMode("add");
  if (!environment.tasks.AddTask(task)) return Refuse(environment, task, AddResult::kDuplicate);

  // Files that could not be written took the task out of the list again.
  if (!PrepareProductFiles(environment, task) && environment.tasks.IndexOf(task.get()) < 0)
    return Refuse(environment, task, AddResult::kFailed, FetchFailure{}, true);
  if (environment.services.reportAdded) environment.services.reportAdded(*task);
  return AddResult::kAdded;
}

bool ImportTask(const TaskEnvironment& environment, const TaskPtr& task) {
  if (!task) return false;
  task->SetAddMode("import");
  // The account's price and stock were read by another program: the first
  // pass here must not tell them as changes.
  task->SetUnobserved(true);
  return environment.tasks.AddTask(task);
}

CAddWorkers::CAddWorkers(TaskEnvironment environment) : m_environment(std::move(environment)) {}

CAddWorkers::~CAddWorkers() { Wait(); }

void CAddWorkers::StartAdd(TaskPtr placeholder, std::function<void(AddResult)> done) {
  Start([this, placeholder = std::move(placeholder), done = std::move(done)] {
    const AddResult result = AddWorker(m_environment, placeholder);
    if (done) done(result);
  });
}

bool CAddWorkers::StartImport(const TaskPtr& task) {
  if (!ImportTask(m_environment, task)) return false;
  Start([this, task] { PrepareProductFiles(m_environment, task); });
  return true;
}

void CAddWorkers::Wait() {
  std::list<Worker> workers;
  {
    std::lock_guard lock(m_lock);
    workers.swap(m_workers);
  }
  for (Worker& worker : workers) worker.thread.join();
}

void CAddWorkers::Start(std::function<void()> work) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(m_lock);
  JoinFinishedLocked();
  m_workers.push_back(Worker{std::thread([work = std::move(work), finished] {
                               work();
                               *finished = true;
                             }),
                             finished});
}

void CAddWorkers::JoinFinishedLocked() {
  for (auto worker = m_workers.begin(); worker != m_workers.end();) {
    if (*worker->finished) {
      worker->thread.join();
      worker = m_workers.erase(worker);
    } else {
      ++worker;
    }
  }
}
