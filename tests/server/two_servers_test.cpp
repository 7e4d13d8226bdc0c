// Two vantrel-server processes on one PostgreSQL database, the second one
// not tracking, serve the same accounts at once: every account and task
// written through either is there once, deletes through either hold.
#include <gtest/gtest.h>

#include <httplib.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "server_process.h"
#include "support/tempdir.h"

namespace {

constexpr int kAccounts = 8;
constexpr int kTasksPerAccount = 30;

std::string Email(int a) { return "two" + std::to_string(a) + "%40example.com"; }
std::string Link(int a, int t) {
  return "http%3A%2F%2Fshop.example%2F" + std::to_string(a) + "-" + std::to_string(t);
}

std::string Post(httplib::Client& client, const std::string& body) {
  auto reply = client.Post("/api/task.php", body, "application/x-www-form-urlencoded");
  return reply ? reply->body : "<no reply>";
}

TEST(TwoServers, OnePostgresDatabaseLosesAndDuplicatesNothing) {
  PostgresCluster& cluster = PostgresCluster::Get();
  const std::string database = cluster.NewDatabase();
  if (database.empty()) GTEST_SKIP() << "PostgreSQL could not be started: " << cluster.Problem();
  TempDir home(true), dataA, dataB;
  const std::string program = std::string(VANTREL_TEST_PROGRAM_DIR) + "/vantrel-server";
  ServerProcess tracking(
      program, {"--database", database, "--data", dataA.Path(), "--password-cost", "minimum"});
  ServerProcess second(program, {"--database", database, "--data", dataB.Path(), "--password-cost",
                                 "minimum", "--track-minutes", "0"});
  ASSERT_GT(tracking.Port(), 0) << tracking.Output();
  ASSERT_GT(second.Port(), 0) << second.Output();
  const int ports[2] = {tracking.Port(), second.Port()};

  // Each account registers through one server and writes through both: every
  // task is added through one server and added again through the other, and
  // every third is then deleted through the server that did not add it.
  std::vector<std::thread> clients;
  std::vector<std::string> problems(kAccounts);
  for (int a = 0; a < kAccounts; ++a) {
    clients.emplace_back([&, a] {
      httplib::Client mine("127.0.0.1", ports[a % 2]), other("127.0.0.1", ports[1 - a % 2]);
      const std::string credentials = "u=" + Email(a) + "&p=c2VjcmV0";
      auto made =
          mine.Post("/api/register.php", credentials + "&n=N", "application/x-www-form-urlencoded");
      if (!made || made->body != "1") problems[a] += "register failed; ";
      for (int t = 0; t < kTasksPerAccount; ++t) {
        httplib::Client& first = t % 2 ? mine : other;
        httplib::Client& again = t % 2 ? other : mine;
        const std::string add = "act=add&" + credentials + "&url=" + Link(a, t) +
                                "&name=n&tx=%3CTask%3E" + std::to_string(t) + "%3C%2FTask%3E";
        if (Post(first, add) != "00000") problems[a] += "add " + std::to_string(t) + "; ";
        if (Post(again, add) == "00000") problems[a] += "added twice " + std::to_string(t) + "; ";
        if (t % 3 == 0 && Post(again, "act=del&" + credentials + "&url=" + Link(a, t)) != "1")
          problems[a] += "delete " + std::to_string(t) + "; ";
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (int a = 0; a < kAccounts; ++a) EXPECT_EQ(problems[a], "") << "account " << a;

  for (int a = 0; a < kAccounts; ++a) {
    std::multiset<std::string> expected;
    for (int t = 0; t < kTasksPerAccount; ++t)
      if (t % 3 != 0) expected.insert("<Task>" + std::to_string(t) + "</Task>");
    for (int port : ports) {
      httplib::Client client("127.0.0.1", port);
      auto list = client.Get(("/api/task.php?act=get&u=" + Email(a) + "&p=c2VjcmV0").c_str());
      ASSERT_TRUE(list);
      std::multiset<std::string> seen;
      for (size_t at = list->body.find("<Task>"); at != std::string::npos;
           at = list->body.find("<Task>", at + 1))
        seen.insert(list->body.substr(at, list->body.find("</Task>", at) + 7 - at));
      EXPECT_EQ(seen, expected) << "account " << a << " through port " << port;
    }
  }
}

}  // namespace
