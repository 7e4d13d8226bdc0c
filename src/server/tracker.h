#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/passgate.h"
#include "server/shop_policy.h"
#include "server/store.h"

class CSiteList;

// How a tracker shares the work: visits at once, a share per shop, and the
// lease it takes on the products it claims.
struct TrackerPool {
  int workers = 16;                          // visits at once
  int perHost = CPassGate::kDefaultPerHost;  // of them on one shop host
  std::chrono::seconds lease{60};            // a claim lasts this long unrenewed
};

// The server's own tracking: every product some account holds is visited
// with the program's engine (the shop rules of the update folder's
// sites.xml, the same fetch and extraction steps) once per period, and a
// price point is recorded whenever the price read differs from the last one
// recorded. What a visit reads also feeds the comparison (name, shop, price,
// stock).
//
// Every server on one database shares the work through the store's
// schedule: a server claims the products that are due with a lease, visits
// them on its pool (at most `perHost` at once on one shop, as the
// program's own tracker does), and sets when each is due next. It renews its
// leases while it runs and gives back what it did not visit when it stops;
// the claims of a server that died run out after the lease, and the others
// take its products then.
class CServerTracker {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970

  // `clock` empty: the system's time.
  CServerTracker(CServerStore& store, const CSiteList& sites, Clock clock = {});
  // Stops the threads (after the visits that are running).
  ~CServerTracker();
  CServerTracker(const CServerTracker&) = delete;
  CServerTracker& operator=(const CServerTracker&) = delete;

  // Visits the held products that are due now, and each again a `period`
  // after its visit, on threads of its own. A period of 0 starts nothing.
  void Start(std::chrono::seconds period, TrackerPool pool = {});
  void Stop();
  // A link was added to an account: it is due at once, so the products
  // due are claimed now rather than at the next look. With no tracking
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

  // This tracker's name on the schedule's leases (host, process, a random
  // part).
  const std::string& Holder() const { return m_holder; }

 private:
  void Claim();
  void Work();
  void VisitClaimed(const std::string& url);
  void ReportRefusal(const std::string& url, const std::string& why);

  CServerStore& m_store;
  const CSiteList& m_sites;
  Clock m_clock;
  const std::string m_holder;
  std::chrono::seconds m_period{0};
  TrackerPool m_pool;
  std::unique_ptr<CPassGate> m_gate;

  std::mutex m_lock;
  std::condition_variable m_wake;  // the claimer: stop, a new link, room
  std::condition_variable m_work;  // the workers: stop, a claimed link
  std::deque<std::string> m_claimed;
  std::set<std::string> m_visiting;  // in a worker or queued behind a shop
  int m_outstanding = 0;             // claimed and not yet done
  bool m_soon = false;
  bool m_stopping = false;
  bool m_running = false;
  std::thread m_claimer;
  std::vector<std::thread> m_workers;

  ShopAddressRules m_rules;
  std::mutex m_refusedLock;
  std::set<std::string> m_refused;
};
