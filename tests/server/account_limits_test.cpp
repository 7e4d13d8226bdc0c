// One account can't exhaust the server: its tasks and their size are
// limited, and its task list is sent a piece at a time, read from the
// database only as fast as the client takes it.
#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "raw_client.h"
#include "running_server.h"
#include "services/account.h"

namespace {

class AccountLimitsTest : public testing::TestWithParam<Backend> {};

TEST_P(AccountLimitsTest, TasksAndRecordsAreLimitedAndLongListsComeWhole) {
  ServerSettings settings;
  settings.accountLimits = {3, 1024};
  RunningServer server(GetParam(), settings);
  ASSERT_TRUE(server.Ready());
  ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
  httplib::Client client("127.0.0.1", server.port);
  auto add = [&](int n, size_t bytes) {
    const std::string body = "act=add&u=lin%40example.com&p=" + EncodePassword("secret") +
                             "&url=http%3A%2F%2Fs.example%2F" + std::to_string(n) +
                             "&name=n&tx=%3CTask%3E" + std::string(bytes - 13, 'x') +
                             "%3C%2FTask%3E";
    auto reply = client.Post("/api/task.php", body, "application/x-www-form-urlencoded");
    return reply ? reply->body : "<no reply>";
  };
  EXPECT_EQ(add(1, 1025), "10002");  // a record over the limit
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(add(n, 1024), "00000");
  EXPECT_EQ(add(1, 20), "23000");
  EXPECT_EQ(add(4, 20), "10003");  // the account is full
  // A list of many pieces (added past the limit) comes whole, in order.
  for (int n = 4; n < 300; ++n)
    ASSERT_EQ(server.store->AddTask("lin@example.com", "http://s.example/" + std::to_string(n), "n",
                                    "<Task>" + std::to_string(n) + "</Task>"),
              TaskAddOutcome::kAdded);
  const std::string list = ServerGetTasks({"lin@example.com", EncodePassword("secret"), "Lin"});
  EXPECT_EQ(CountServerTasks(list), 299);
  EXPECT_NE(list.find("<Task>298</Task><Task>299</Task></TaskList>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, AccountLimitsTest,
                         testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

// 256 MB to a client that reads nothing: the pieces that fill the sockets
// are made, no more.
TEST(StreamedReply, PiecesAreMadeOnlyAsTheClientTakesThem) {
  std::atomic<int> made{0};
  CHttpListener listener(
      [&](const HttpRequest&) {
        HttpReply reply{200, "text/plain", "head;"};
        reply.more = [&made](std::string& piece) {
          piece.assign(1 << 20, 'x');
          return ++made == 256 ? StreamStep::kEnd : StreamStep::kPiece;
        };
        return reply;
      },
      HttpLimits{});
  const int s = RawConnect(listener.Start("127.0.0.1", 0));
  RawSend(s, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GT(made, 0);
  EXPECT_LT(made, 32);
  close(s);
}

}  // namespace
