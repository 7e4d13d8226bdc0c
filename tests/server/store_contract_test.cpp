// The same contract for both back ends: what one stores, the other returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "server/store.h"
#include "server_fixture.h"

namespace {

class StoreContract : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    store = OpenTestStore(GetParam(), dir);
    ASSERT_TRUE(store);
  }
  TempDir dir;
  std::unique_ptr<CServerStore> store;
};

TEST_P(StoreContract, AnAddressHoldsOneAccount) {
  EXPECT_TRUE(store->CreateAccount({"lin@example.com", "hash-1", "林"}));
  EXPECT_FALSE(store->CreateAccount({"lin@example.com", "hash-2", "other"}));
  auto account = store->FindAccount("lin@example.com");
  ASSERT_TRUE(account);
  EXPECT_EQ(account->passwordHash, "hash-1");
  EXPECT_EQ(account->nickname, "林");
  EXPECT_FALSE(store->FindAccount("nobody@example.com"));
}

TEST_P(StoreContract, TasksKeepTheirOrderAndAreUniquePerAccount) {
  EXPECT_EQ(store->AddTask("a@x.cn", "http://s/2", "二", "<Task>2</Task>"), TaskAddOutcome::kAdded);
  EXPECT_EQ(store->AddTask("a@x.cn", "http://s/1", "一", "<Task>1</Task>"), TaskAddOutcome::kAdded);
  EXPECT_EQ(store->AddTask("a@x.cn", "http://s/2", "x", "<Task>x</Task>"),
            TaskAddOutcome::kAlreadyThere);
  EXPECT_EQ(store->AddTask("b@x.cn", "http://s/2", "b", "<Task>b</Task>"), TaskAddOutcome::kAdded);
  EXPECT_EQ(store->TaskRecords("a@x.cn"),
            (std::vector<std::string>{"<Task>2</Task>", "<Task>1</Task>"}));
  EXPECT_EQ(store->HeldUrls(), (std::vector<std::string>{"http://s/1", "http://s/2"}));
  EXPECT_EQ(store->HeldName("http://s/2"), "二");  // the first account's name

  EXPECT_TRUE(store->DeleteTask("a@x.cn", "http://s/2"));
  EXPECT_FALSE(store->DeleteTask("a@x.cn", "http://s/2"));
  EXPECT_EQ(store->TaskRecords("a@x.cn"), (std::vector<std::string>{"<Task>1</Task>"}));
  EXPECT_EQ(store->TaskRecords("b@x.cn").size(), 1u);  // another account's copy stays
}

TEST_P(StoreContract, ProductsAreReplacedAndAllListed) {
  EXPECT_TRUE(store->SaveProduct({"http://s/1", "壶", "甲", "", -1}));
  EXPECT_TRUE(store->SaveProduct({"http://s/2", "杯", "乙", "12.50", 1}));
  EXPECT_TRUE(store->SaveProduct({"http://s/1", "电水壶", "甲", "99.00", 0}));
  auto product = store->FindProduct("http://s/1");
  ASSERT_TRUE(product);
  EXPECT_EQ(product->name, "电水壶");
  EXPECT_EQ(product->price, "99.00");
  EXPECT_EQ(product->stock, 0);
  EXPECT_TRUE(store->SaveProduct({"http://s/3", "盘", "丙", "", -1}));
  std::vector<StoredProduct> all = store->Products();  // priced or not
  std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.url < b.url; });
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].price, "99.00");
  EXPECT_EQ(all[1].price, "12.50");
  EXPECT_EQ(all[2].price, "");
}

// A login's one statement: the account (or none) and each key's failures.
TEST_P(StoreContract, AnAccountIsLookedUpWithItsFailureCounts) {
  ASSERT_TRUE(store->CreateAccount({"lin@example.com", "hash-1", "林"}));
  ASSERT_TRUE(store->AddLoginFailure("account:lin", 100, 0));
  ASSERT_TRUE(store->AddLoginFailure("account:lin", 90, 0));
  ASSERT_TRUE(store->AddLoginFailure("address:1", 50, 0));
  auto lookup = store->LookUpAccount("lin@example.com", {"account:lin", "address:1", "none"}, 60);
  ASSERT_TRUE(lookup.account);
  EXPECT_EQ(lookup.account->passwordHash, "hash-1");
  EXPECT_EQ(lookup.account->nickname, "林");
  ASSERT_EQ(lookup.failures.size(), 3u);
  EXPECT_EQ(lookup.failures[0].count, 2);
  EXPECT_EQ(lookup.failures[0].oldest, 90);
  EXPECT_EQ(lookup.failures[1].count, 0);  // older than `since`
  EXPECT_EQ(lookup.failures[2].count, 0);
  lookup = store->LookUpAccount("nobody@example.com", {"account:lin"}, 0);
  EXPECT_FALSE(lookup.account);
  EXPECT_EQ(lookup.failures[0].count, 2);
}

TEST_P(StoreContract, PointsComeOldestFirst) {
  EXPECT_FALSE(store->LastPricePoint("http://s/1"));
  ASSERT_TRUE(store->AddPricePoint("http://s/1", {2000000000, "90.00"}));
  ASSERT_TRUE(store->AddPricePoint("http://s/1", {1356969600, "99.00"}));
  ASSERT_TRUE(store->AddPricePoint("http://s/other", {1500000000, "1.00"}));
  auto points = store->PricePoints("http://s/1");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].time, 1356969600);
  EXPECT_EQ(points[0].price, "99.00");
  EXPECT_EQ(points[1].time, 2000000000);
  EXPECT_EQ(store->LastPricePoint("http://s/1")->price, "90.00");
}

// Values are data, never SQL: each of these is stored and read back as it is,
// and the tables are still there afterwards.
TEST_P(StoreContract, SqlMetacharactersAreStoredLiterally) {
  const std::vector<std::string> hostile = {
      "'; DROP TABLE accounts; --", "\" OR 1=1 --", "$1", "?", "%", "\\", "a'b''c",
      "); DELETE FROM tasks; --"};
  for (const std::string& value : hostile) {
    SCOPED_TRACE(value);
    const std::string email = value + "@x.cn";
    ASSERT_TRUE(store->CreateAccount({email, value, value}));
    EXPECT_EQ(store->FindAccount(email)->nickname, value);
    ASSERT_EQ(store->AddTask(email, "http://s/" + value, value, "<Task>" + value + "</Task>"),
              TaskAddOutcome::kAdded);
    EXPECT_EQ(store->TaskRecords(email), (std::vector<std::string>{"<Task>" + value + "</Task>"}));
    ASSERT_TRUE(store->SaveProduct({"http://s/" + value, value, value, "1.00", 1}));
    EXPECT_EQ(store->FindProduct("http://s/" + value)->name, value);
  }
  EXPECT_EQ(store->HeldUrls().size(), hostile.size());
  EXPECT_TRUE(store->FindAccount("'; DROP TABLE accounts; --@x.cn"));
}

TEST_P(StoreContract, ConcurrentAddsOfOneTaskAddItOnce) {
  std::atomic<int> added{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&] {
      if (store->AddTask("a@x.cn", "http://s/race", "n", "<Task/>") == TaskAddOutcome::kAdded)
        ++added;
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(added, 1);
  EXPECT_EQ(store->TaskRecords("a@x.cn").size(), 1u);
}

// The tracking schedule: a due product is leased to one holder at a time,
// until its lease runs out or the holder sets when it is due next.
TEST_P(StoreContract, TheScheduleLeasesEachDueProductToOneHolder) {
  using Urls = std::vector<std::string>;
  ASSERT_EQ(store->AddTask("a@x.cn", "http://s/1", "一", "<Task/>"), TaskAddOutcome::kAdded);
  ASSERT_EQ(store->AddTask("a@x.cn", "http://s/2", "二", "<Task/>"), TaskAddOutcome::kAdded);
  ASSERT_EQ(store->AddTask("b@x.cn", "http://s/2", "二", "<Task/>"), TaskAddOutcome::kAdded);
  const Urls first = store->ClaimDue("one", 100, 160, 1);
  ASSERT_EQ(first.size(), 1u);
  const std::string other = first[0] == "http://s/1" ? "http://s/2" : "http://s/1";
  EXPECT_EQ(store->ClaimDue("two", 100, 160, 10), Urls{other});
  EXPECT_EQ(store->ClaimDue("three", 159, 220, 10), Urls{});
  EXPECT_TRUE(store->FinishVisit(first[0], "one", 400));
  EXPECT_FALSE(store->FinishVisit(other, "one", 400));             // not its lease
  EXPECT_EQ(store->ClaimDue("three", 160, 220, 10), Urls{other});  // two's lease ran out
  EXPECT_FALSE(store->FinishVisit(other, "two", 400));
  EXPECT_TRUE(store->RenewLeases("three", 500));
  EXPECT_EQ(store->ClaimDue("four", 400, 460, 10), Urls{first[0]});  // due again
  EXPECT_TRUE(store->ReleaseLeases("three", 450));
  EXPECT_EQ(store->ClaimDue("five", 450, 510, 10), Urls{other});
  // A link no account holds any more is not visited, until one holds it.
  EXPECT_TRUE(store->FinishVisit(first[0], "four", 2000));
  EXPECT_TRUE(store->DeleteTask("a@x.cn", other));
  store->DeleteTask("b@x.cn", other);
  EXPECT_TRUE(store->ReleaseLeases("five", 0));
  EXPECT_EQ(store->ClaimDue("six", 1000, 1060, 10), Urls{});
  ASSERT_EQ(store->AddTask("c@x.cn", other, "二", "<Task/>"), TaskAddOutcome::kAdded);
  EXPECT_EQ(store->ClaimDue("six", 1000, 1060, 10), Urls{other});
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreContract,
                         testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

// Reopening keeps everything: the tables are made only when missing.
TEST(SqliteStore, ReopeningKeepsTheData) {
  TempDir dir;
  std::string error;
  {
    auto store = OpenServerStore(dir.File("s.db"), error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(store->CreateAccount({"a@x.cn", "h", "n"}));
  }
  auto store = OpenServerStore(dir.File("s.db"), error);
  ASSERT_TRUE(store) << error;
  EXPECT_TRUE(store->FindAccount("a@x.cn"));
}

TEST(SqliteStore, AFileThatIsNoDatabaseIsRefused) {
  TempDir dir;
  dir.Write("junk.db", std::string(4096, 'x'));
  std::string error;
  EXPECT_FALSE(OpenServerStore(dir.File("junk.db"), error));
  EXPECT_FALSE(error.empty());
}

TEST(PostgresStore, AnUnreachableServerIsAnError) {
  std::string error;
  EXPECT_FALSE(OpenServerStore("postgresql://nobody@127.0.0.1:1/none?connect_timeout=2", error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
