// 200 clients on 127.0.0.1, each sending 50 mixed requests at once: no
// error, every reply the one expected; the latencies are printed.
#include <gtest/gtest.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "running_server.h"

namespace {

constexpr int kClients = 200;
constexpr int kRequestsPerClient = 50;
constexpr int kAccounts = 10;

class Load : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Ready());
    server.updateFolder.Write("update.ini", "[Vantrel]\r\nVERSION=1.069\r\n");
    for (int a = 0; a < kAccounts; ++a)
      ASSERT_TRUE(server.store->CreateAccount(
          {"user" + std::to_string(a) + "@example.com", server.hasher.Hash("c2VjcmV0"), "N"}));
    for (int p = 0; p < 20; ++p) {
      const std::string url = "http://shop.example/" + std::to_string(p) + ".html";
      ASSERT_TRUE(
          server.store->SaveProduct({url, "电水壶 型号" + std::to_string(p % 4),
                                     "s" + std::to_string(p), std::to_string(50 + p) + ".00", 1}));
      ASSERT_TRUE(server.store->AddPricePoint(url, {1356969600, "60.00"}));
    }
  }

  // The address as a request carries it.
  static std::string Email(int a) { return "user" + std::to_string(a) + "%40example.com"; }

  // One request of the mix; true when the reply is the one expected.
  static bool Mixed(httplib::Client& client, int c, int n) {
    const std::string credentials = "u=" + Email(c % kAccounts) + "&p=c2VjcmV0";
    const std::string product = "http%3A%2F%2Fshop.example%2F" + std::to_string(n % 20) + ".html";
    switch (n % 8) {
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
        auto result = client.Get(("/api/check.php?t=email_used&u=" + Email(c % kAccounts)).c_str());
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

  RunningServer server{GetParam()};
};

TEST_P(Load, TwoHundredClientsFiftyRequestsEach) {
  std::vector<double> latencies;
  std::mutex lock;
  std::atomic<int> errors{0};
  std::atomic<int> errorsByKind[8] = {};
  std::vector<std::thread> clients;
  const auto start = std::chrono::steady_clock::now();
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", server.port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_read_timeout(60, 0);
      std::vector<double> mine;
      for (int n = 0; n < kRequestsPerClient; ++n) {
        const auto before = std::chrono::steady_clock::now();
        if (!Mixed(client, c, n + c)) {
          ++errors;
          ++errorsByKind[(n + c) % 8];
        }
        mine.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
                .count());
      }
      std::lock_guard guard(lock);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  for (std::thread& client : clients) client.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  EXPECT_EQ(errors, 0);
  for (int kind = 0; kind < 8; ++kind)
    EXPECT_EQ(errorsByKind[kind], 0) << "errors in requests of kind " << kind;
  ASSERT_EQ(latencies.size(), static_cast<size_t>(kClients * kRequestsPerClient));
  std::sort(latencies.begin(), latencies.end());
  const double p50 = latencies[latencies.size() / 2];
  const double p99 = latencies[latencies.size() * 99 / 100];
  std::printf("[ load     ] %s: %d requests in %.1f s (%.0f/s), p50 %.2f ms, p99 %.2f ms\n",
              GetParam() == Backend::kSqlite ? "SQLite" : "PostgreSQL",
              kClients * kRequestsPerClient, seconds, latencies.size() / seconds, p50, p99);
}

INSTANTIATE_TEST_SUITE_P(Backends, Load, testing::Values(Backend::kSqlite, Backend::kPostgres),
                         BackendName);

}  // namespace
