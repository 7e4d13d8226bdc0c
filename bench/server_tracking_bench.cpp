// The server's tracking throughput: products visited per minute against 32
// local shops on their own 127.0.0.x addresses that answer in 200 ms, with
// 640 products held by 8 accounts. Measured side by side in one run: one
// server visiting one product at a time (as the tracker did before its
// pool), one server with default options (SQLite and PostgreSQL), and three
// servers on one PostgreSQL database. The period is one second, so that
// every server is always busy and the figure is what it can do; a product
// visited twice within a period is counted as a fault.
// Usage: server_tracking_bench [SECONDS]   (the measured window, 20)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/local_shops.h"
#include "server/server_fixture.h"
#include "server/server_process.h"
#include "server_program.h"
#include "support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kShops = 32;
constexpr int kAccounts = 8;
constexpr int kPerShop = 20;  // 640 products
constexpr auto kWarmUp = std::chrono::seconds(3);
constexpr const char* kPeriodMinutes = "0.0167";  // one second
constexpr double kPeriodSeconds = 1;

struct Figures {
  double perMinute = 0;
  int twice = 0;  // visits that came within a period of the one before
};

Figures Measure(const LocalShops& shops, const std::string& rules, const std::string& database,
                int servers, const std::vector<std::string>& extra, int seconds) {
  {
    std::string error;
    std::unique_ptr<CServerStore> store = OpenServerStore(database, error, 1);
    if (!store || !shops.Hold(*store, kAccounts, kPerShop)) {
      std::fprintf(stderr, "can't prepare %s: %s\n", database.c_str(), error.c_str());
      return {};
    }
  }
  std::vector<std::unique_ptr<TempDir>> data;
  std::vector<std::unique_ptr<ServerProcess>> processes;
  for (int s = 0; s < servers; ++s) {
    data.push_back(std::make_unique<TempDir>());
    std::vector<std::string> arguments = {"--database",
                                          database,
                                          "--data",
                                          data.back()->Path(),
                                          "--update-folder",
                                          rules,
                                          "--allow-private-shops",
                                          "--track-minutes",
                                          kPeriodMinutes,
                                          "--password-cost",
                                          "minimum"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    processes.push_back(std::make_unique<ServerProcess>(BuiltServerProgram(), arguments));
    if (processes.back()->Port() <= 0) {
      std::fprintf(stderr, "the server did not start: %s\n", processes.back()->Output().c_str());
      return {};
    }
  }
  const Clock::time_point from = Clock::now() + kWarmUp;
  const Clock::time_point to = from + std::chrono::seconds(seconds);
  std::this_thread::sleep_until(to);
  processes.clear();

  Figures figures;
  int visits = 0;
  for (const auto& [page, times] : shops.Visits()) {
    Clock::time_point previous{};
    for (const Clock::time_point time : times) {
      if (time < from || time >= to) continue;
      ++visits;
      if (previous != Clock::time_point{} &&
          std::chrono::duration<double>(time - previous).count() < kPeriodSeconds)
        ++figures.twice;
      previous = time;
    }
  }
  figures.perMinute = visits * 60.0 / seconds;
  return figures;
}

void Print(const char* what, const Figures& f, double baseline, const char* against) {
  std::printf("  %-44s %7.0f a minute  %5.2fx %-18s visited twice in a period: %d\n", what,
              f.perMinute, baseline > 0 ? f.perMinute / baseline : 0.0, against, f.twice);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
  TempDir home(true), rules;
  PostgresCluster& cluster = PostgresCluster::Get();
  if (!cluster.Running()) {
    std::fprintf(stderr, "PostgreSQL could not be started: %s\n", cluster.Problem().c_str());
    return 1;
  }
  LocalShops shops(kShops, std::chrono::milliseconds(200));
  if (!shops.Ready(kShops) || !shops.WriteRules(rules.File("sites.xml"))) {
    std::fprintf(stderr, "the shops did not start\n");
    return 1;
  }
  std::printf(
      "products visited per minute: %d shops answering in 200 ms, %d products of %d "
      "accounts, %d s measured\n",
      kShops, kShops * kPerShop, kAccounts, seconds);
  const Figures today =
      Measure(shops, rules.Path(), cluster.NewDatabase(), 1, {"--track-workers", "1"}, seconds);
  Print("one server, one visit at a time (before)", today, today.perMinute, "");
  TempDir sqlite;
  const Figures lite = Measure(shops, rules.Path(), sqlite.File("vantrel.db"), 1, {}, seconds);
  Print("one server, default options, SQLite", lite, today.perMinute, "of one at a time");
  const Figures one = Measure(shops, rules.Path(), cluster.NewDatabase(), 1, {}, seconds);
  Print("one server, default options, PostgreSQL", one, today.perMinute, "of one at a time");
  const Figures three = Measure(shops, rules.Path(), cluster.NewDatabase(), 3, {}, seconds);
  Print("three servers on one PostgreSQL database", three, one.perMinute, "of one server");
  return 0;
}
