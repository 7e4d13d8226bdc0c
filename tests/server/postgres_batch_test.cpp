// Many threads on one PostgreSQL connection: the statements that wait for it
// go to the database together, and each thread still gets its own result,
// its own error and its own transaction.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "server/sql.h"
#include "server_fixture.h"

namespace {

// A fresh database and one connection to it per Open.
class PostgresBatches : public testing::Test {
 protected:
  void SetUp() override {
    PostgresCluster& cluster = PostgresCluster::Get();
    uri = cluster.NewDatabase();
    if (uri.empty()) GTEST_SKIP() << "PostgreSQL could not be started: " << cluster.Problem();
  }
  std::unique_ptr<CSqlDatabase> Open() {
    std::string error;
    std::unique_ptr<CSqlDatabase> db = OpenPostgresDatabase(uri, 1, error);
    if (!db) ADD_FAILURE() << error;
    return db;
  }
  std::string uri;
};

TEST_F(PostgresBatches, EveryThreadGetsItsOwnResultAndErrorsStayApart) {
  std::unique_ptr<CSqlDatabase> db = Open();
  ASSERT_TRUE(db);

  constexpr int kThreads = 16;
  constexpr int kRounds = 30;
  const std::string big(100 * 1024, 'x');  // over one batch's parameter budget
  std::vector<std::string> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      const std::string url = "http://s/" + std::to_string(t);
      std::string& fault = faults[static_cast<size_t>(t)];
      for (int r = 0; r < kRounds && fault.empty(); ++r) {
        const std::string mine = std::to_string(t) + "." + std::to_string(r);
        if (db->Run("SELECT $1::text", {mine}).rows != std::vector<SqlRow>{{mine}})
          fault = "someone else's reply at " + mine;
        if (!db->Run("INSERT INTO points (url, time, price) VALUES ($1, $2, '1.00')",
                     {url, std::to_string(r)})
                 .ok)
          fault = "insert failed at " + mine;
        // Fails while running, in the middle of a batch.
        if (db->Run("SELECT 1 / $1::int", {"0"}).ok) fault = "division by zero passed";
        if (t == 0 && db->Run("SELECT length($1)", {big}).rows != std::vector<SqlRow>{{"102400"}})
          fault = "the long parameter was lost";
      }
    });
  for (std::thread& thread : threads) thread.join();
  for (const std::string& fault : faults) EXPECT_EQ(fault, "");
  // No insert was undone by a neighbour's error.
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(
        db->Run("SELECT COUNT(*) FROM points WHERE url = $1", {"http://s/" + std::to_string(t)})
            .rows,
        (std::vector<SqlRow>{{std::to_string(kRounds)}}));
  EXPECT_FALSE(db->Run("SELECT * FROM no_such_table").ok);
  EXPECT_TRUE(db->Run("SELECT 1").ok);  // the connection is still in step
}

// The database ended the connection (a restart, an operator): the statements
// waiting for it, alone or in a batch, run on a fresh one.
TEST_F(PostgresBatches, AnEndedConnectionIsStartedAgain) {
  std::unique_ptr<CSqlDatabase> db = Open();
  std::unique_ptr<CSqlDatabase> admin = Open();
  ASSERT_TRUE(db && admin);
  for (int threads : {1, 8}) {
    SCOPED_TRACE(threads);
    const SqlResult pid = db->Run("SELECT pg_backend_pid()");
    ASSERT_EQ(pid.rows.size(), 1u);
    ASSERT_TRUE(admin->Run("SELECT pg_terminate_backend($1::int)", pid.rows[0]).ok);
    std::vector<int> answered(static_cast<size_t>(threads));
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
      running.emplace_back([&, t] {
        answered[static_cast<size_t>(t)] = db->Run("SELECT $1::text", {std::to_string(t)}).rows ==
                                           std::vector<SqlRow>{{std::to_string(t)}};
      });
    for (std::thread& thread : running) thread.join();
    for (int t = 0; t < threads; ++t) EXPECT_TRUE(answered[static_cast<size_t>(t)]) << t;
  }
}

}  // namespace
