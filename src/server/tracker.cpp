#include "server/tracker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include <unistd.h>

#include "base/codepage.h"
#include "engine/addtask.h"
#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"

namespace {

// Shorter pages are error pages or failed fetches, as the program judges
// them: they say nothing about the product.
constexpr size_t kShortestPage = 1500;
// How often a tracker looks for products that fell due, at most: a product
// is visited this much after it is due, and an idle server costs the
// database one cheap statement.
constexpr auto kLookInterval = std::chrono::seconds(1);
// Links that no account holds any more leave the schedule, and those held
// before the schedule existed join it, this often.
constexpr auto kSyncInterval = std::chrono::minutes(10);
// Leases are counted in whole seconds and renewed every third of one.
constexpr auto kShortestLease = std::chrono::seconds(3);

std::string HolderName() {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  std::random_device random;
  char name[320];
  std::snprintf(name, sizeof name, "%s:%d:%08x", host, static_cast<int>(getpid()), random());
  return name;
}

}  // namespace

CServerTracker::CServerTracker(CServerStore& store, const CSiteList& sites, Clock clock)
    : m_store(store), m_sites(sites), m_clock(std::move(clock)), m_holder(HolderName()) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

CServerTracker::~CServerTracker() { Stop(); }

void CServerTracker::Start(std::chrono::seconds period, TrackerPool pool) {
  if (period.count() <= 0 || m_running) return;
  m_period = period;
  m_pool = pool;
  m_pool.workers = std::max(1, m_pool.workers);
  m_pool.lease = std::max(m_pool.lease, kShortestLease);
  m_gate = std::make_unique<CPassGate>(static_cast<size_t>(std::max(1, m_pool.perHost)));
  {
    std::lock_guard lock(m_lock);
    m_stopping = false;
    m_running = true;
    m_outstanding = 0;
    m_claimed.clear();
    m_visiting.clear();
  }
  m_claimer = std::thread([this] { Claim(); });
  for (int i = 0; i < m_pool.workers; ++i) m_workers.emplace_back([this] { Work(); });
}

void CServerTracker::Stop() {
  {
    std::lock_guard lock(m_lock);
    if (!m_running) return;
    m_stopping = true;
  }
  m_wake.notify_all();
  m_work.notify_all();
  m_claimer.join();
  m_gate->DropQueued();
  for (std::thread& worker : m_workers) worker.join();
  m_workers.clear();
  // What was claimed and not visited is due again for any server at once.
  m_store.ReleaseLeases(m_holder, m_clock());
  std::lock_guard lock(m_lock);
  m_running = false;
}

void CServerTracker::VisitSoon(const std::string&) {
  {
    std::lock_guard lock(m_lock);
    if (!m_running) return;
    m_soon = true;
  }
  m_wake.notify_all();
}

void CServerTracker::Claim() {
  using Steady = std::chrono::steady_clock;
  const std::int64_t lease = m_pool.lease.count();
  // Leases are whole seconds: renewed every third of one, a lease is still
  // a second or more from its end when it is renewed.
  const auto renewEvery = std::max<Steady::duration>(m_pool.lease / 3, std::chrono::seconds(1));
  // Twice the pool: a worker that finishes finds the next product waiting,
  // and the products waiting are of enough shops to keep every worker busy.
  const int capacity = 2 * m_pool.workers;
  m_store.SyncSchedule();
  Steady::time_point renewed = Steady::now(), synced = Steady::now();
  std::unique_lock lock(m_lock);
  while (!m_stopping) {
    const int room = capacity - m_outstanding;
    m_soon = false;
    lock.unlock();
    const Steady::time_point now = Steady::now();
    if (now - renewed >= renewEvery) {
      m_store.RenewLeases(m_holder, m_clock() + lease);
      renewed = now;
    }
    if (now - synced >= kSyncInterval) {
      m_store.SyncSchedule();
      synced = now;
    }
    std::vector<std::string> claimed;
    if (room > 0) {
      const std::int64_t time = m_clock();
      claimed = m_store.ClaimDue(m_holder, time, time + lease, room);
    }
    lock.lock();
    for (std::string& url : claimed) m_claimed.push_back(std::move(url));
    m_outstanding += static_cast<int>(claimed.size());
    if (!claimed.empty()) m_work.notify_all();
    // More may be due when the claim was full: claim again once half the
    // products are done; otherwise look again a little later.
    const bool full = room > 0 && static_cast<int>(claimed.size()) == room;
    const Steady::time_point look = std::min(Steady::now() + kLookInterval, renewed + renewEvery);
    m_wake.wait_until(lock, look, [&] {
      return m_stopping || m_soon || (full && m_outstanding <= capacity / 2);
    });
  }
}

void CServerTracker::Work() {
  std::unique_lock lock(m_lock);
  while (true) {
    m_work.wait(lock, [&] { return m_stopping || !m_claimed.empty(); });
    if (m_stopping) return;
    auto url = std::make_shared<const std::string>(std::move(m_claimed.front()));
    m_claimed.pop_front();
    // Claimed again while its visit still runs (a lease renewed late):
    // that visit sets when it is due.
    if (!m_visiting.insert(*url).second) {
      --m_outstanding;
      continue;
    }
    lock.unlock();
    // A shop whose share of the pool is busy gets the visit queued: the
    // thread that ends a visit of that shop makes it, and this one serves
    // another shop meanwhile.
    m_gate->Run(url.get(), *url, [this, url] { VisitClaimed(*url); });
    lock.lock();
  }
}

void CServerTracker::VisitClaimed(const std::string& url) {
  bool stopping;
  {
    std::lock_guard lock(m_lock);
    stopping = m_stopping;
  }
  // A visit queued behind its shop when the tracker stops is given back.
  if (!stopping) {
    const std::int64_t started = m_clock();
    Visit(url);
    m_store.FinishVisit(url, m_holder, started + m_period.count());
  }
  {
    std::lock_guard lock(m_lock);
    m_visiting.erase(url);
    --m_outstanding;
  }
  m_wake.notify_all();
}

void CServerTracker::VisitAll() {
  for (const std::string& url : m_store.HeldUrls()) Visit(url);
}

void CServerTracker::ReportRefusal(const std::string& url, const std::string& why) {
  {
    std::lock_guard lock(m_refusedLock);
    if (m_refused.size() >= 100000 || !m_refused.insert(url).second) return;
  }
  std::fprintf(stderr, "vantrel-server: not tracking %s: %s\n", url.c_str(), why.c_str());
}

bool CServerTracker::Visit(const std::string& url) {
  if (!IsShopHost(LinkHost(url), m_sites)) {
    ReportRefusal(url, "its host is no shop's");
    return false;
  }
  SiteRef site = GuessSiteFromLink(m_sites, url);
  if (!site) return false;
  bool refused = false;
  CAddressFilterScope only([this, &refused](const sockaddr* address) {
    const bool may = MayConnect(address, m_rules);
    refused = refused || !may;
    return may;
  });
  CSpider spider;
  const std::string page = FetchProductPage(spider, *site, url);
  if (refused) ReportRefusal(url, "its address is a private one");
  if (page.size() < kShortestPage) return false;
  if (SiteRef flagged = m_sites.FindSiteInPage(page)) site = flagged;

  const ProductValues values = ExtractProduct(spider, page, *site, url);
  const ItemInfo info = ExtractItemInfo(page, *site);
  const double price = std::atof(values.effectivePrice.c_str());
  std::optional<StoredProduct> known = m_store.FindProduct(url);

  StoredProduct product;
  product.url = url;
  product.name = !info.name.empty() ? LocalToUtf8(info.name)
                 : known            ? known->name
                                    : m_store.HeldName(url);
  product.site = LocalToUtf8(site->GetName());
  // A page without a price (often one out of stock) keeps the last price.
  product.price = price > 0 ? values.effectivePrice : known ? known->price : std::string();
  product.stock = values.stock;
  m_store.SaveProduct(product);

  if (price > 0) {
    std::optional<PricePoint> last = m_store.LastPricePoint(url);
    if (!last || std::atof(last->price.c_str()) != price)
      m_store.AddPricePoint(url, {m_clock(), values.effectivePrice});
  }
  return true;
}
