// Wrong passwords can't starve the server: failed logins are rationed per
// account and per address, the count shared through the database, and
// requests that hash wait apart from those that don't.
#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "running_server.h"
#include "server/login_throttle.h"
#include "services/account.h"

namespace {

std::string LoginPath(const std::string& user, const std::string& password) {
  return "/api/login.php?u=" + user + "%40example.com&p=" + EncodePassword(password);
}

TEST(LoginThrottle, TheEleventhWrongPasswordGets429WhileOthersStillLogIn) {
  RunningServer server(Backend::kSqlite);
  ASSERT_TRUE(server.Ready());
  ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
  ASSERT_TRUE(ServerRegister("wu@example.com", EncodePassword("secret"), "Wu"));
  httplib::Client client("127.0.0.1", server.port);
  for (int i = 1; i <= 10; ++i) {
    httplib::Result wrong = client.Get(LoginPath("lin", "guess" + std::to_string(i)));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 200) << "attempt " << i;
    EXPECT_EQ(wrong->body, "0");
  }
  // Even the right password waits now: a guess can't be told from it.
  for (const char* password : {"guess11", "secret"}) {
    httplib::Result refused = client.Get(LoginPath("lin", password));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    EXPECT_EQ(refused->body, "0");
    const int wait = std::atoi(refused->get_header_value("Retry-After").c_str());
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, CLoginThrottle::kWindowSeconds);
  }
  httplib::Result other = client.Get(LoginPath("wu", "secret"));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->body, "1|Wu");
}

// Two servers on one database see each other's failures; they age out.
TEST(LoginThrottle, CountsAreSharedThroughTheDatabaseAndAgeOut) {
  TempDir folder;
  std::string error;
  std::unique_ptr<CServerStore> first = OpenServerStore(folder.File("shared.db"), error);
  std::unique_ptr<CServerStore> second = OpenServerStore(folder.File("shared.db"), error);
  ASSERT_TRUE(first && second) << error;
  std::int64_t now = 1356969600;
  CLoginThrottle a(*first, [&] { return now; });
  CLoginThrottle b(*second, [&] { return now; });
  for (int i = 0; i < 9; ++i) a.Failed("lin@example.com", "10.0.0.1");
  EXPECT_EQ(b.Look("lin@example.com", "10.0.0.1").retryAfter, 0);
  a.Failed("lin@example.com", "10.0.0.1");
  EXPECT_EQ(b.Look("lin@example.com", "10.0.0.1").retryAfter, CLoginThrottle::kWindowSeconds);
  EXPECT_EQ(b.Look("lin@example.com", "10.0.0.2").retryAfter, 0);  // only that address
  EXPECT_EQ(b.Look("wu@example.com", "10.0.0.1").retryAfter, 0);
  for (int i = 0; i < 40; ++i) b.Failed("x" + std::to_string(i) + "@example.com", "10.0.0.1");
  EXPECT_GT(a.Look("wu@example.com", "10.0.0.1").retryAfter, 0);
  EXPECT_EQ(a.Look("wu@example.com", "10.0.0.2").retryAfter, 0);
  now += CLoginThrottle::kWindowSeconds + 1;
  EXPECT_EQ(b.Look("lin@example.com", "10.0.0.1").retryAfter, 0);
}

// A throttle on a store of its own, at a time the test sets.
struct ThrottleAtTime {
  TempDir folder;
  std::string error;
  std::unique_ptr<CServerStore> store = OpenServerStore(folder.File("t.db"), error);
  std::int64_t now = 1356969600;
  CLoginThrottle throttle{*store, [this] { return now; }};
};

// 60 addresses try five accounts for an hour, each as often as it is let
// (before: 10 an account every 5 minutes, 120 in the hour); the owner, from
// an address that never failed, still gets to try.
TEST(LoginThrottle, SpraysAreSlowedWhileTheOwnerStillLogsIn) {
  ThrottleAtTime t;
  std::vector<int> tries(5);
  for (int minute = 0; minute < 60; ++minute, t.now += 60)
    for (int a = 0; a < 60; ++a)
      for (int u = 0; u < 5; ++u) {
        const std::string email = "u" + std::to_string(u) + "@example.com";
        const std::string client = "198.51.100." + std::to_string(a);
        if (t.throttle.Look(email, client).retryAfter == 0) {
          t.throttle.Failed(email, client);
          ++tries[u];
        }
      }
  for (int count : tries) EXPECT_LE(count, 80);
  EXPECT_EQ(t.throttle.Look("u0@example.com", "192.0.2.7").retryAfter, 0);
  t.throttle.Failed("u0@example.com", "198.51.100.1");
  EXPECT_GT(t.throttle.Look("u0@example.com", "198.51.100.1").retryAfter, 60);  // grown
}

TEST(LoginThrottle, RegistrationsAreRationedPerAddressAndOverall) {
  RunningServer server(Backend::kSqlite);
  ASSERT_TRUE(server.Ready());
  httplib::Client client("127.0.0.1", server.port);
  int status = 0;
  std::string retryAfter;
  for (int i = 0; i <= CLoginThrottle::kRegistrationsPerAddress; ++i) {
    auto reply =
        client.Post("/api/register.php", "u=r" + std::to_string(i) + "%40a.cn&p=cHc%3D&n=N",
                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply);
    status = reply->status;
    retryAfter = reply->get_header_value("Retry-After");
  }
  EXPECT_EQ(status, 429);
  EXPECT_GT(std::atoi(retryAfter.c_str()), 0);
  EXPECT_TRUE(server.store->FindAccount("r9@a.cn") && !server.store->FindAccount("r10@a.cn"));
  ThrottleAtTime t;
  for (int i = 0; i < CLoginThrottle::kRegistrations; ++i)
    ASSERT_EQ(
        t.throttle.Register("10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250)), 0);
  EXPECT_GT(t.throttle.Register("10.2.0.1"), 0);
  t.now += CLoginThrottle::kSlowWindowSeconds + 1;
  EXPECT_EQ(t.throttle.Register("10.2.0.1"), 0);
}

// Requests that hash a password wait on threads of their own: a flood of
// registrations at the interactive cost leaves the history answered at once.
TEST(LoginThrottle, RequestsThatNeedNoHashingPassTheHashingQueue) {
  TempDir home(true);
  std::unique_ptr<CServerStore> store = OpenTestStore(Backend::kSqlite, home);
  ASSERT_TRUE(store);
  CPasswordHasher hasher(CPasswordHasher::Cost::kInteractive, 1);
  CSiteList sites;
  ServerSettings settings;
  settings.port = 0;
  settings.threads = 1;  // one event loop: a hash run there would hold up every client
  CVantrelServer server(*store, hasher, sites, nullptr, settings);
  const int port = server.Start();
  ASSERT_GT(port, 0);
  std::atomic<int> registered{0};
  std::vector<std::thread> flood;
  // As many as one address may register in an hour.
  for (int i = 0; i < CLoginThrottle::kRegistrationsPerAddress; ++i)
    flood.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(60, 0);
      const std::string body = "u=n" + std::to_string(i) + "%40example.com&p=cHc%3D&n=N";
      httplib::Result result =
          client.Post("/api/register.php", body, "application/x-www-form-urlencoded");
      if (result && result->body == "1") ++registered;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  double longest = 0;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    httplib::Client client("127.0.0.1", port);
    httplib::Result history = client.Get("/price_history.php?url=http%3A%2F%2Fs.example%2F1");
    ASSERT_TRUE(history);
    EXPECT_EQ(history->body, "[]");
    longest = std::max(
        longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  for (std::thread& thread : flood) thread.join();
  EXPECT_LT(longest, 0.5);
  EXPECT_EQ(registered, CLoginThrottle::kRegistrationsPerAddress);
}

}  // namespace
