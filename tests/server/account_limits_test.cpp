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

class AccountLimitsTest : public testing::TestWithParam<Backend> {
 protected:
  static ServerSettings Limited() {
    ServerSettings settings;
    settings.accountLimits = {3, 1024};
    return settings;
  }
  std::string Add(int n, const std::string& record) {
    httplib::Client client("127.0.0.1", server.port);
    const std::string body = "act=add&u=lin%40example.com&p=" + EncodePassword("secret") +
                             "&url=http%3A%2F%2Fs.example%2F" + std::to_string(n) +
                             "&name=n&tx=" + record;
    auto reply = client.Post("/api/task.php", body, "application/x-www-form-urlencoded");
    return reply ? reply->body : "<no reply>";
  }
  RunningServer server{GetParam(), Limited()};
};

TEST_P(AccountLimitsTest, TasksAndRecordsAreLimitedAndLongListsComeWhole) {
  ASSERT_TRUE(server.Ready());
  ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
  const std::string small = "%3CTask%3E1%3C%2FTask%3E";
  const std::string large = "%3CTask%3E" + std::string(1020, 'x') + "%3C%2FTask%3E";
  EXPECT_EQ(Add(1, large), "10002");  // 1,033 bytes: over the limit
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(Add(n, small), "00000");
  EXPECT_EQ(Add(1, small), "23000");
  EXPECT_EQ(Add(4, small), "10003");  // the account is full
  EXPECT_EQ(server.store->TaskRecords("lin@example.com").size(), 3u);

  // A list longer than a piece (added around the limit) comes whole, in order.
  for (int n = 4; n < 300; ++n)
    ASSERT_EQ(server.store->AddTask("lin@example.com", "http://s.example/" + std::to_string(n), "n",
                                    "<Task>" + std::to_string(n) + "</Task>"),
              TaskAddOutcome::kAdded);
  CAccount lin{"lin@example.com", EncodePassword("secret"), "Lin"};
  const std::string list = ServerGetTasks(lin);
  EXPECT_EQ(CountServerTasks(list), 299);
  EXPECT_NE(list.find("<Task>298</Task><Task>299</Task></TaskList>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, AccountLimitsTest,
                         testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

TEST(StreamedReply, PiecesAreMadeAsTheClientTakesThemAndAFailureCutsTheReply) {
  std::atomic<int> made{0};
  CHttpListener listener(
      [&](const HttpRequest& request) {
        HttpReply reply{200, "text/plain", "head;"};
        const bool fails = request.path == "/fails";
        reply.more = [&made, fails, count = 0](std::string& piece) mutable {
          if (count == (fails ? 2 : 256)) return fails ? StreamStep::kFailed : StreamStep::kEnd;
          piece.assign(1 << 20, 'x');
          ++count;
          ++made;
          return StreamStep::kPiece;
        };
        return reply;
      },
      HttpLimits{});
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  // 256 MB to a client that reads nothing: a few pieces fill the sockets.
  const int s = RawConnect(port);
  RawSend(s, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_LT(made, 32);
  close(s);
  // A reply whose source fails ends without the chunked reply's last chunk.
  const int f = RawConnect(port);
  RawSend(f, "GET /fails HTTP/1.1\r\nHost: x\r\n\r\n");
  bool closed = false;
  const std::string reply = RawReadAll(f, 5, &closed);
  close(f);
  EXPECT_TRUE(closed);
  EXPECT_NE(reply.find("head;"), std::string::npos);
  EXPECT_EQ(reply.find("\r\n0\r\n\r\n"), std::string::npos);
}

}  // namespace
