// Three servers on one PostgreSQL database share the tracking: each product
// is visited once a period by one of them, and when one is killed the
// others take its products once its leases run out. Periods and leases
// are seconds here instead of an hour and a minute.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "local_shops.h"
#include "server/sql.h"
#include "server_fixture.h"
#include "server_process.h"

namespace {

TEST(SharedTracking, AKilledServersProductsAreVisitedByTheOthersWithinTheirLease) {
  const double period = 4, lease = 3;  // --track-minutes 0.0667, --lease-seconds 3
  const std::string database = PostgresCluster::Get().NewDatabase();
  LocalShops shops(4, std::chrono::milliseconds(300));
  TempDir home(true), update, data[3];
  std::string error;
  std::unique_ptr<CSqlDatabase> sql = OpenPostgresDatabase(database, 1, error);
  std::unique_ptr<CServerStore> store = OpenServerStore(database, error, 1);
  ASSERT_TRUE(sql && store && shops.Ready(4) && shops.WriteRules(update.File("sites.xml")) &&
              shops.Hold(*store, 4, 10))
      << error;
  std::unique_ptr<ServerProcess> servers[3];
  for (int s = 0; s < 3; ++s) {
    servers[s] = std::make_unique<ServerProcess>(
        std::string(VANTREL_TEST_PROGRAM_DIR) + "/vantrel-server",
        std::vector<std::string>{"--database", database, "--data", data[s].Path(),
                                 "--update-folder", update.Path(), "--allow-private-shops",
                                 "--track-minutes", "0.0667", "--lease-seconds", "3"});
    ASSERT_GT(servers[s]->Port(), 0) << servers[s]->Output();
  }
  // Killed while it holds leases: products it claimed and never visited.
  const std::string victim = "%:" + std::to_string(servers[1]->Pid()) + ":%";
  for (int i = 0;
       i < 500 && sql->Run("SELECT 1 FROM schedule WHERE holder LIKE $1", {victim}).rows.empty();
       ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  servers[1]->Kill();
  const auto killed = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(12));
  const auto end = std::chrono::steady_clock::now();

  // Late by at most a look for due products (1 s), a lease and a visit or
  // two on a loaded machine.
  const double latest = period + lease + 3;
  auto seconds = [](auto duration) { return std::chrono::duration<double>(duration).count(); };
  ASSERT_EQ(shops.Visits().size(), 40u);
  for (const auto& [page, times] : shops.Visits()) {
    SCOPED_TRACE(page);
    EXPECT_LT(seconds(end - times.back()), latest);
    EXPECT_GT(times.back(), killed);
    for (size_t i = 1; i < times.size(); ++i) {
      EXPECT_LT(seconds(times[i] - times[i - 1]), latest);
      // A visit the killed server made but never recorded is made again.
      if (times[i - 1] > killed || times[i] < killed) {
        EXPECT_GT(seconds(times[i] - times[i - 1]), period / 2) << "twice in one period";
      }
    }
  }
}

}  // namespace
