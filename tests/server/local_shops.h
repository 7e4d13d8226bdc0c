#pragma once

// Shops for the server's tracking, shop k on 127.0.0.(k + 2) as real shops
// are on hosts of their own, answering a product page after a delay and
// logging when each page was asked for and how many were answered at once.

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

  LocalShops(int shops, std::chrono::milliseconds delay) {
    for (int k = 0; k < shops; ++k) {
      auto server = std::make_unique<httplib::Server>();
      server->set_keep_alive_max_count(1);  // a kept-alive client holds no thread
      server->new_task_queue = [] { return new httplib::ThreadPool(8); };
      const std::string address = "127.0.0." + std::to_string(k + 2);
      server->Get(R"(/item/(\d+)\.html)", [=, this](const auto& request, auto& response) {
        Count(address, request.path, 1);
        std::this_thread::sleep_for(delay);
        Count(address, "", -1);
        const std::string id = request.matches[1].str();
        response.set_content("<h1 id=\"name\">商品 " + id + "</h1><span id=\"sku\">" + id +
                                 "</span><em id=\"price\">" + id + ".50</em>" +
                                 std::string(1600, ' '),
                             "text/html; charset=utf-8");
      });
      const int port = server->bind_to_any_port(address);
      if (port <= 0) return;
      m_hosts.push_back(address + ":" + std::to_string(port));
      httplib::Server* running = m_servers.emplace_back(std::move(server)).get();
      m_threads.emplace_back([running] { running->listen_after_bind(); });
      while (!running->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ~LocalShops() {
    for (auto& server : m_servers) server->stop();
    for (std::thread& thread : m_threads) thread.join();
  }

  bool Ready(int shops) const { return static_cast<int>(m_hosts.size()) == shops; }
  std::string Link(int shop, int product) const {
    return "http://" + m_hosts[shop] + "/item/" + std::to_string(product) + ".html";
  }

  // The shops' rules, one a host, and `accounts` accounts holding `perShop`
  // products of each shop, in turn.
  bool WriteRules(const std::string& path) const {
    CSiteList sites;
    for (size_t k = 0; k < m_hosts.size(); ++k)
      sites.AddSite(
          std::make_shared<CSite>(PlainPageSite("S" + std::to_string(k), m_hosts[k] + "/")));
    return sites.SaveSites(path);
  }
  bool Hold(CServerStore& store, int accounts, int perShop) const {
    for (int n = 0; n < perShop * static_cast<int>(m_hosts.size()); ++n)
      if (store.AddTask("holder" + std::to_string(n % accounts) + "@example.com",
                        Link(n % m_hosts.size(), n / m_hosts.size() + 1), "item",
                        "<Task/>") != TaskAddOutcome::kAdded)
        return false;
    return true;
  }

  // When each page ("127.0.0.X/item/N.html") was asked for; the most pages
  // answered at once by all shops (key "") and by each.
  std::map<std::string, std::vector<Clock::time_point>> Visits() const {
    std::lock_guard lock(m_lock);
    return m_visits;
  }
  std::map<std::string, int> Peaks() const {
    std::lock_guard lock(m_lock);
    return m_peak;
  }

 private:
  void Count(const std::string& address, const std::string& path, int step) {
    std::lock_guard lock(m_lock);
    if (step > 0) m_visits[address + path].push_back(Clock::now());
    for (const std::string& key : {address, std::string()})
      m_peak[key] = std::max(m_peak[key], m_active[key] += step);
  }

  std::vector<std::unique_ptr<httplib::Server>> m_servers;
  std::vector<std::thread> m_threads;
  std::vector<std::string> m_hosts;
  mutable std::mutex m_lock;
  std::map<std::string, std::vector<Clock::time_point>> m_visits;
  std::map<std::string, int> m_active, m_peak;
};
