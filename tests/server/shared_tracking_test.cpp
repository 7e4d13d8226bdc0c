// Three servers on one PostgreSQL database share the tracking: every
// product is visited once a period by one of them, and when one is killed
// the others take its products once its leases run out. Periods and leases
// are seconds here instead of an hour and a minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "local_shops.h"
#include "server/sql.h"
#include "server_fixture.h"
#include "server_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr double kPeriod = 3;  // --track-minutes 0.05
constexpr double kLease = 2;   // --lease-seconds 2

TEST(SharedTracking, AKilledServersProductsAreVisitedByTheOthersWithinTheirLease) {
  PostgresCluster& cluster = PostgresCluster::Get();
  const std::string database = cluster.NewDatabase();
  ASSERT_FALSE(database.empty()) << cluster.Problem();
  LocalShops shops(4, std::chrono::milliseconds(300));
  ASSERT_TRUE(shops.Ready(4));
  TempDir home(true), update;
  ASSERT_TRUE(shops.WriteRules(update.File("sites.xml")));
  std::string error;
  std::unique_ptr<CSqlDatabase> sql = OpenPostgresDatabase(database, 1, error);
  ASSERT_TRUE(sql) << error;
  {
    std::unique_ptr<CServerStore> store = OpenServerStore(database, error, 1);
    ASSERT_TRUE(store && shops.Hold(*store, 4, 10)) << error;
  }
  std::vector<std::unique_ptr<TempDir>> data;
  std::vector<std::unique_ptr<ServerProcess>> servers;
  for (int s = 0; s < 3; ++s) {
    data.push_back(std::make_unique<TempDir>());
    servers.push_back(std::make_unique<ServerProcess>(
        std::string(VANTREL_TEST_PROGRAM_DIR) + "/vantrel-server",
        std::vector<std::string>{"--database", database, "--data", data.back()->Path(),
                                 "--update-folder", update.Path(), "--allow-private-shops",
                                 "--track-minutes", "0.05", "--lease-seconds", "2",
                                 "--password-cost", "minimum"}));
    ASSERT_GT(servers.back()->Port(), 0) << servers.back()->Output();
  }
  // Killed while it holds leases: products it claimed and never visited.
  const std::string victim = "%:" + std::to_string(servers[1]->Pid()) + ":%";
  for (int i = 0; i < 500; ++i) {
    const SqlResult held = sql->Run("SELECT COUNT(*) FROM schedule WHERE holder LIKE $1", {victim});
    if (held.ok && held.rows.at(0).at(0) != "0") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  servers[1]->Kill();
  const Clock::time_point killed = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const Clock::time_point end = Clock::now();

  // Due every period; late by a look for due products (1 s), a lease, and
  // a visit or two of a loaded machine.
  const double latest = kPeriod + kLease + 3;
  const auto visits = shops.Visits();
  ASSERT_EQ(visits.size(), 40u);
  for (const auto& [page, times] : visits) {
    SCOPED_TRACE(page);
    ASSERT_FALSE(times.empty());
    EXPECT_GT(times.back(), killed);
    for (size_t i = 1; i < times.size(); ++i) {
      const double gap = Seconds(times[i] - times[i - 1]).count();
      // A visit the killed server made and never recorded is made again.
      const bool acrossTheKill = times[i - 1] < killed && times[i] > killed;
      if (!acrossTheKill) {
        EXPECT_GT(gap, kPeriod / 2) << "visited twice in one period";
      }
      EXPECT_LT(gap, latest);
    }
    EXPECT_LT(Seconds(end - times.back()).count(), latest);
  }
}

}  // namespace
