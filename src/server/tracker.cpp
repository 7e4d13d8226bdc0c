#include "server/tracker.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/codepage.h"
#include "engine/addtask.h"
#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"

namespace {

// Shorter pages are error pages or failed fetches, as the program judges
// them: they say nothing about the product.
constexpr size_t kShortestPage = 1500;

}  // namespace

CServerTracker::CServerTracker(CServerStore& store, const CSiteList& sites, Clock clock)
    : m_store(store), m_sites(sites), m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

CServerTracker::~CServerTracker() { Stop(); }

void CServerTracker::Start(std::chrono::seconds period) {
  if (period.count() <= 0 || m_thread.joinable()) return;
  {
    std::lock_guard lock(m_lock);
    m_stopping = false;
  }
  m_thread = std::thread([this, period] { Run(period); });
}

void CServerTracker::Stop() {
  {
    std::lock_guard lock(m_lock);
    m_stopping = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void CServerTracker::VisitSoon(const std::string& url) {
  {
    std::lock_guard lock(m_lock);
    if (!m_thread.joinable() || m_soon.size() >= 10000) return;
    m_soon.push_back(url);
  }
  m_wake.notify_all();
}

void CServerTracker::Run(std::chrono::seconds period) {
  auto due = std::chrono::steady_clock::now();
  std::unique_lock lock(m_lock);
  while (!m_stopping) {
    m_wake.wait_until(lock, due, [&] { return m_stopping || !m_soon.empty(); });
    if (m_stopping) break;
    if (!m_soon.empty()) {
      const std::string url = m_soon.front();
      m_soon.pop_front();
      lock.unlock();
      Visit(url);
      lock.lock();
      continue;
    }
    // Each round starts a whole period after the previous one started, so
    // the rounds keep their rhythm whatever a round costs.
    due += period;
    lock.unlock();
    for (const std::string& url : m_store.HeldUrls()) {
      {
        std::lock_guard stopping(m_lock);
        if (m_stopping) return;
      }
      Visit(url);
    }
    lock.lock();
  }
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
