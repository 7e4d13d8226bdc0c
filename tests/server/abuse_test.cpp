// Hostile clients on the network: bodies past the limit in any framing,
// slow heads, idle connections. Meanwhile a normal client is answered.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "raw_client.h"
#include "running_server.h"
#include "server/http.h"
#include "server/request_log.h"

namespace {

using Clock = std::chrono::steady_clock;

// The history page of a normal client, and how long it took.
double NormalRequestSeconds(int port, std::string& body) {
  const auto start = Clock::now();
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(5, 0);
  client.set_read_timeout(5, 0);
  httplib::Result result = client.Get("/price_history.php?url=http%3A%2F%2Fs.example%2F1");
  body = result ? result->body : "(no reply)";
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Attack {
  const char* what;
  int connections;
  bool slowHead;  // dribbles a head that never ends; else sends nothing
};

class Abuse : public testing::TestWithParam<Attack> {};

TEST_P(Abuse, ANormalClientIsAnsweredWithinASecond) {
  const Attack attack = GetParam();
  RunningServer server(Backend::kSqlite);
  ASSERT_TRUE(server.Ready());
  std::vector<int> sockets;
  for (int i = 0; i < attack.connections; ++i) {
    const int s = RawConnect(server.port);
    ASSERT_GE(s, 0);
    if (attack.slowHead) RawSend(s, "GET /price_history.php HTTP/1.1\r\nX-Slow: ");
    sockets.push_back(s);
  }
  for (int round = 0; round < 3; ++round) {
    if (attack.slowHead)
      for (int s : sockets) RawSend(s, "a");
    std::string body;
    EXPECT_LT(NormalRequestSeconds(server.port, body), 1.0);
    EXPECT_EQ(body, "[]");
  }
  for (int s : sockets) close(s);
}

INSTANTIATE_TEST_SUITE_P(Attacks, Abuse,
                         testing::Values(Attack{"idle", 500, false}, Attack{"slow", 40, true},
                                         Attack{"both", 540, true}),
                         [](const testing::TestParamInfo<Attack>& info) {
                           return std::string(info.param.what);
                         });

struct Oversized {
  const char* what;
  std::string head;
  size_t bodyBytes;
  bool chunked;
  const char* status;
};

TEST(BodyLimit, AnOversizedBodyIsRefusedWhateverItsFraming) {
  signal(SIGPIPE, SIG_IGN);
  RunningServer server(Backend::kSqlite);
  ASSERT_TRUE(server.Ready());
  const std::string post = "POST /api/login.php HTTP/1.1\r\nHost: x\r\n";
  const Oversized cases[] = {
      {"chunked 2 MB", post + "Transfer-Encoding: chunked\r\n\r\n", 2 << 20, true, " 411 "},
      {"declared 300 KB", post + "Content-Length: 307200\r\n\r\n", 300 << 10, false, " 413 "},
  };
  for (const Oversized& c : cases) {
    SCOPED_TRACE(c.what);
    const int s = RawConnect(server.port);
    ASSERT_GE(s, 0);
    RawSend(s, c.head);
    // The server answers and closes without waiting for the body.
    const std::string chunk(64 << 10, 'u');
    size_t sent = 0;
    while (sent < c.bodyBytes) {
      const std::string piece =
          c.chunked ? "10000\r\n" + chunk + "\r\n" : chunk.substr(0, c.bodyBytes - sent);
      if (!RawSend(s, piece)) break;
      sent += chunk.size();
    }
    if (c.chunked && sent >= c.bodyBytes) RawSend(s, "0\r\n\r\n");
    bool closed = false;
    const std::string reply = RawReadAll(s, 5, &closed);
    close(s);
    EXPECT_TRUE(closed);
    EXPECT_NE(reply.find(c.status), std::string::npos) << reply.substr(0, 200);
  }
  std::string body;
  EXPECT_LT(NormalRequestSeconds(server.port, body), 1.0);
}

HttpReply Hello(const HttpRequest&) { return {200, "text/plain", "hello"}; }

TEST(HttpListener, AHeadThatNeverEndsIsClosedAtItsDeadline) {
  HttpLimits limits;
  limits.headerSeconds = 1;
  CHttpListener listener(Hello, limits);
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  const int s = RawConnect(port);
  RawSend(s, "GET / HTTP/1.1\r\nX-Slow: ");
  // Each byte comes well within the idle timeout; only the deadline ends it.
  bool closed = false;
  for (int i = 0; i < 20 && !closed; ++i) {
    RawSend(s, "a");
    RawReadAll(s, 0.25, &closed);
  }
  close(s);
  EXPECT_TRUE(closed);
}

TEST(HttpListener, OneAddressHoldsNoMoreThanItsShare) {
  HttpLimits limits;
  limits.perAddress = 4;
  CHttpListener listener(Hello, limits);
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  std::vector<int> held;
  for (int i = 0; i < 4; ++i) held.push_back(RawConnect(port, "127.0.0.2"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int extra = RawConnect(port, "127.0.0.2");
  RawSend(extra, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  bool closed = false;
  EXPECT_EQ(RawReadAll(extra, 2, &closed).find("hello"), std::string::npos);
  EXPECT_TRUE(closed);
  // Another address is served.
  const int other = RawConnect(port, "127.0.0.3");
  RawSend(other, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_NE(RawReadAll(other, 2).find("hello"), std::string::npos);
  for (int s : held) close(s);
  close(extra);
  close(other);
}

TEST(HttpListener, AConnectionIsClosedAfterItsHundredthRequest) {
  CHttpListener listener(Hello, HttpLimits{});
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  const int s = RawConnect(port);
  std::string requests;
  for (int i = 0; i < 101; ++i) requests += "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  RawSend(s, requests);
  bool closed = false;
  const std::string replies = RawReadAll(s, 5, &closed);
  close(s);
  size_t count = 0;
  for (size_t at = replies.find("hello"); at != std::string::npos;
       at = replies.find("hello", at + 1))
    ++count;
  EXPECT_EQ(count, 100u);
  EXPECT_TRUE(closed);
}

TEST(RequestLog, LinesCarryNoQueryAndStayOneLine) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"/api/login.php?u=a%40b.cn&p=c2VjcmV0",
       "2013-01-01T00:00:00Z 10.0.0.7 GET /api/login.php 200 12 34"},
      {"/a b\r\nforged 1", "2013-01-01T00:00:00Z 10.0.0.7 GET /a%20b%0D%0Aforged%201 200 12 34"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RequestLogLine(1356998400, "10.0.0.7", "GET", c.path, 200, 12, 34), c.expected);
}

TEST(RequestLog, TheServerLogsEachRequestToAFileOnlyItsOwnerReads) {
  TempDir folder;
  const std::string path = folder.Path() + "/requests.log";
  CRequestLog log;
  std::string error;
  ASSERT_TRUE(log.Open(path, error)) << error;
  ServerSettings settings;
  settings.log = &log;
  RunningServer server(Backend::kSqlite, settings);
  ASSERT_TRUE(server.Ready());
  httplib::Client client("127.0.0.1", server.port);
  ASSERT_TRUE(client.Get("/api/login.php?u=lin%40example.com&p=c2VjcmV0"));
  server.server->Stop();
  std::ifstream in(path);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_NE(line.find(" 127.0.0.1 GET /api/login.php 200 1 "), std::string::npos) << line;
  EXPECT_EQ(line.find("c2VjcmV0"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Whoever may write into the log's folder can't point the log elsewhere,
// and a log that others could read is no longer readable by them.
TEST(RequestLog, TheLogIsARegularFileOfItsOwnerOnlyNeverASymlink) {
  TempDir folder;
  folder.Write("old.log", "an older line\n");
  folder.Write("target", "");
  ASSERT_EQ(chmod(folder.File("old.log").c_str(), 0644) |
                chmod(folder.File("target").c_str(), 0644) |
                symlink(folder.File("target").c_str(), folder.File("link.log").c_str()) |
                mkfifo(folder.File("fifo.log").c_str(), 0600),
            0);
  for (const auto& [name, opens] :
       {std::pair{"old.log", true}, {"new.log", true}, {"link.log", false}, {"fifo.log", false}}) {
    CRequestLog log;
    std::string error;
    EXPECT_EQ(log.Open(folder.File(name), error), opens) << name;
  }
  auto mode = [&](const char* name) {
    struct stat info {};
    return stat(folder.File(name).c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
  };
  EXPECT_EQ(mode("old.log"), 0600u);
  EXPECT_EQ(mode("new.log"), 0600u);
  EXPECT_EQ(mode("target"), 0644u);  // untouched through the link
  EXPECT_EQ(folder.Read("old.log"), "an older line\n");
}

}  // namespace
