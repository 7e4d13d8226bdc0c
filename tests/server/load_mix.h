#pragma once

// The load the server is measured and tested under: 200 clients on
// 127.0.0.1, each sending 50 mixed requests (history, comparison, login,
// address check, task add and list, update folder, commission link) over
// keep-alive connections, spread over one or more servers.

#include <httplib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/passwords.h"
#include "server/store.h"

constexpr int kLoadClients = 200;
constexpr int kLoadRequestsPerClient = 50;
constexpr int kLoadAccounts = 10;
constexpr int kLoadKinds = 8;

// The accounts and priced products the mix asks for; false when the store
// refused one.
inline bool SeedLoadData(CServerStore& store, CPasswordHasher& hasher) {
  for (int a = 0; a < kLoadAccounts; ++a)
    if (!store.CreateAccount(
            {"user" + std::to_string(a) + "@example.com", hasher.Hash("c2VjcmV0"), "N"}))
      return false;
  for (int p = 0; p < 20; ++p) {
    const std::string url = "http://shop.example/" + std::to_string(p) + ".html";
    if (!store.SaveProduct({url, "电水壶 型号" + std::to_string(p % 4), "s" + std::to_string(p),
                            std::to_string(50 + p) + ".00", 1}) ||
        !store.AddPricePoint(url, {1356969600, "60.00"}))
      return false;
  }
  return true;
}

// The update folder's file the mix fetches.
inline constexpr const char* kLoadUpdateIni = "[Vantrel]\r\nVERSION=1.069\r\n";

// One request of the mix; true when the reply is the one expected.
inline bool MixedRequest(httplib::Client& client, int c, int n) {
  const std::string email = "user" + std::to_string(c % kLoadAccounts) + "%40example.com";
  const std::string credentials = "u=" + email + "&p=c2VjcmV0";
  const std::string product = "http%3A%2F%2Fshop.example%2F" + std::to_string(n % 20) + ".html";
  switch (n % kLoadKinds) {
    case 0: {
      auto result = client.Get(("/price_history.php?url=" + product).c_str());
      return result && result->status == 200 && result->body.find("60.00") != std::string::npos;
    }
    case 1: {
      auto result =
          client.Get(("/price_comparison.php?url=" + product + "&name=%E7%94%B5").c_str());
      return result && result->status == 200 && result->body.rfind("[", 0) == 0;
    }
    case 2: {
      auto result = client.Get(("/api/login.php?" + credentials).c_str());
      return result && result->body == "1|N";
    }
    case 3: {
      auto result = client.Get(("/api/check.php?t=email_used&u=" + email).c_str());
      return result && result->body == "1";
    }
    case 4: {
      const std::string body = "act=add&" + credentials + "&url=http%3A%2F%2Fs.example%2F" +
                               std::to_string(c) + "-" + std::to_string(n) +
                               "&name=n&tx=%3CTask%3E%3C%2FTask%3E";
      auto result = client.Post("/api/task.php", body, "application/x-www-form-urlencoded");
      return result && result->body == "00000";
    }
    case 5: {
      auto result = client.Get(("/api/task.php?act=get&" + credentials).c_str());
      return result && result->body.find("<TaskList>") != std::string::npos;
    }
    case 6: {
      auto result = client.Get("/update/update.ini?t=1");
      return result && result->status == 200;
    }
    default: {
      auto result = client.Get(("/buylink.php?s=jd&u=" + product).c_str());
      return result && result->body == "false";
    }
  }
}

struct LoadFigures {
  int requests = 0;
  int errors = 0;
  std::array<int, kLoadKinds> errorsByKind{};
  double seconds = 0;
  double p50 = 0;  // milliseconds
  double p99 = 0;
  double PerSecond() const { return seconds > 0 ? requests / seconds : 0; }
};

// Runs the whole load (or `requests` per client); client c talks to
// ports[c % ports.size()] on 127.0.0.1. `round` varies the task links, so
// that a store can take several rounds.
inline LoadFigures RunLoad(const std::vector<int>& ports, int round = 0,
                           int requests = kLoadRequestsPerClient) {
  std::vector<double> latencies;
  std::mutex lock;
  std::array<std::atomic<int>, kLoadKinds> errors{};
  std::vector<std::thread> clients;
  const auto start = std::chrono::steady_clock::now();
  for (int c = 0; c < kLoadClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", ports[static_cast<size_t>(c) % ports.size()]);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_read_timeout(60, 0);
      std::vector<double> mine;
      for (int n = 0; n < requests; ++n) {
        const int request = n + c + round * kLoadRequestsPerClient * kLoadClients;
        const auto before = std::chrono::steady_clock::now();
        if (!MixedRequest(client, c, request)) ++errors[static_cast<size_t>(request % kLoadKinds)];
        mine.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
                .count());
      }
      std::lock_guard guard(lock);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  for (std::thread& client : clients) client.join();
  LoadFigures figures;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.requests = static_cast<int>(latencies.size());
  for (int kind = 0; kind < kLoadKinds; ++kind) {
    figures.errorsByKind[static_cast<size_t>(kind)] = errors[static_cast<size_t>(kind)];
    figures.errors += errors[static_cast<size_t>(kind)];
  }
  if (latencies.empty()) return figures;
  std::sort(latencies.begin(), latencies.end());
  figures.p50 = latencies[latencies.size() / 2];
  figures.p99 = latencies[latencies.size() * 99 / 100];
  return figures;
}
