#pragma once

// Shops of their own for the server's tracking: shop k listens on
// 127.0.0.(k + 2), each on its own address as real shops are on their own
// hosts, and answers a product page after a delay. Each shop logs when each
// of its pages was asked for. Their rules go into an update folder's
// sites.xml; the products are held by a few accounts of a store.

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/site.h"
#include "server/store.h"
#include "support/fakeshop.h"

class LocalShops {
 public:
  using Clock = std::chrono::steady_clock;

  LocalShops(int shops, std::chrono::milliseconds delay) : m_delay(delay) {
    for (int k = 0; k < shops; ++k) {
      auto server = std::make_unique<httplib::Server>();
      // One request a connection: a kept-alive client never holds a thread.
      server->set_keep_alive_max_count(1);
      server->new_task_queue = [] { return new httplib::ThreadPool(8); };
      const std::string address = "127.0.0." + std::to_string(k + 2);
      server->Get(R"(/item/(\d+)\.html)", [this, address](const httplib::Request& request,
                                                          httplib::Response& response) {
        {
          std::lock_guard lock(m_lock);
          m_visits[address + request.path].push_back(Clock::now());
          m_peak[address] = std::max(m_peak[address], ++m_active[address]);
          m_peakAll = std::max(m_peakAll, ++m_activeAll);
        }
        std::this_thread::sleep_for(m_delay);
        {
          std::lock_guard lock(m_lock);
          --m_active[address];
          --m_activeAll;
        }
        response.set_content(Page(request.matches[1].str()), "text/html; charset=utf-8");
      });
      const int port = server->bind_to_any_port(address);
      if (port <= 0) return;
      m_hosts.push_back(address + ":" + std::to_string(port));
      httplib::Server* running = server.get();
      m_servers.push_back(std::move(server));
      m_threads.emplace_back([running] { running->listen_after_bind(); });
      for (int i = 0; i < 2500 && !running->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ~LocalShops() {
    for (auto& server : m_servers) server->stop();
    for (std::thread& thread : m_threads) thread.join();
  }

  bool Ready(int shops) const { return static_cast<int>(m_hosts.size()) == shops; }

  std::string Link(int shop, int product) const {
    return "http://" + m_hosts[static_cast<size_t>(shop)] + "/item/" + std::to_string(product) +
           ".html";
  }

  // The shops' rules, one shop a host.
  bool WriteRules(const std::string& path) const {
    CSiteList sites;
    for (size_t k = 0; k < m_hosts.size(); ++k)
      sites.AddSite(
          std::make_shared<CSite>(PlainPageSite("Shop " + std::to_string(k), m_hosts[k] + "/")));
    sites.SetVersion("1.0");
    return sites.SaveSites(path);
  }

  // `accounts` accounts hold the shops' products, `perShop` a shop, each
  // product held by one account, spread over shops in turn.
  bool Hold(CServerStore& store, int accounts, int perShop) const {
    int held = 0;
    for (int p = 0; p < perShop; ++p)
      for (size_t k = 0; k < m_hosts.size(); ++k, ++held) {
        const std::string email = "holder" + std::to_string(held % accounts) + "@example.com";
        const std::string link = Link(static_cast<int>(k), p + 1);
        if (store.AddTask(email, link, "item", "<Task/>") != TaskAddOutcome::kAdded) return false;
      }
    return true;
  }

  // When each page ("127.0.0.X/item/N.html") was asked for.
  std::map<std::string, std::vector<Clock::time_point>> Visits() const {
    std::lock_guard lock(m_lock);
    return m_visits;
  }
  // The most pages being answered at once, by one shop and by all.
  int PeakOfOneShop() const {
    std::lock_guard lock(m_lock);
    int most = 0;
    for (const auto& [address, peak] : m_peak) most = std::max(most, peak);
    return most;
  }
  int PeakOfAll() const {
    std::lock_guard lock(m_lock);
    return m_peakAll;
  }

 private:
  static std::string Page(const std::string& id) {
    return "<html><head><meta charset=\"utf-8\"><title>item " + id + "</title></head><body>" +
           "<h1 id=\"name\">商品 " + id + "</h1><span id=\"sku\">" + id +
           "</span><img id=\"pic\" src=\"/p.png\"><em id=\"price\">" + id +
           ".50</em><div id=\"stock\">in stock</div>" + std::string(1600, ' ') + "</body></html>";
  }

  std::chrono::milliseconds m_delay;
  std::vector<std::unique_ptr<httplib::Server>> m_servers;
  std::vector<std::thread> m_threads;
  std::vector<std::string> m_hosts;
  mutable std::mutex m_lock;
  std::map<std::string, std::vector<Clock::time_point>> m_visits;
  std::map<std::string, int> m_active, m_peak;
  int m_activeAll = 0, m_peakAll = 0;
};
