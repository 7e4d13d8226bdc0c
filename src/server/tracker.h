#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "server/shop_policy.h"
#include "server/store.h"

class CSiteList;

// The server's own tracking: every product some account holds is visited
// with the program's engine (the shop rules of the update folder's
// sites.xml, the same fetch and extraction steps) once per period, and a
// price point is recorded whenever the price read differs from the last one
// recorded. What a visit reads also feeds the comparison (name, shop, price,
// stock).
class CServerTracker {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970

  // `clock` empty: the system's time.
  CServerTracker(CServerStore& store, const CSiteList& sites, Clock clock = {});
  // Stops the thread (after the visit that is running).
  ~CServerTracker();
  CServerTracker(const CServerTracker&) = delete;
  CServerTracker& operator=(const CServerTracker&) = delete;

  // Visits every held product now and then every `period`, on a thread of
  // its own. A period of 0 starts nothing.
  void Start(std::chrono::seconds period);
  void Stop();
  // Asks for a visit of the link soon (a newly added task); with no thread
  // running, nothing happens.
  void VisitSoon(const std::string& url);

  // Where visits may go (by default: shops of the rules, public addresses).
  // Set before Start.
  void SetAddressRules(ShopAddressRules rules) { m_rules = std::move(rules); }

  // One visit, on the calling thread. True when the page was read. A link
  // the rules refuse is kept but not visited, and reported once.
  bool Visit(const std::string& url);
  // Visits every held product once, on the calling thread.
  void VisitAll();

 private:
  void Run(std::chrono::seconds period);
  void ReportRefusal(const std::string& url, const std::string& why);

  CServerStore& m_store;
  const CSiteList& m_sites;
  Clock m_clock;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<std::string> m_soon;
  bool m_stopping = false;
  std::thread m_thread;
  ShopAddressRules m_rules;
  std::mutex m_refusedLock;
  std::set<std::string> m_refused;
};
