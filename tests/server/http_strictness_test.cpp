// Heads that two parties could read two ways are refused, and a port is
// never shared with another listener.
#include <gtest/gtest.h>

#include "raw_client.h"
#include "server/http.h"
#include "server/run.h"
#include "support/tempdir.h"

namespace {

HttpReply Hello(const HttpRequest&) { return {200, "text/plain", "hello"}; }
HttpReply Echo(const HttpRequest& request) { return {200, "text/plain", "[" + request.path + "]"}; }

TEST(HttpStrictness, AmbiguousHeadsGet400AndNothingInTheirBodyIsServed) {
  CHttpListener listener(Echo, HttpLimits{});
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  // The body of each is a request of its own, which must never be answered.
  const std::string smuggled = "GET /x HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string size = std::to_string(smuggled.size());
  struct Case {
    const char* what;
    std::string head;
    const char* status;
  };
  const Case cases[] = {
      {"two lengths", "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nContent-Length: " + size,
       " 400 "},
      {"no host", "POST / HTTP/1.1\r\nContent-Length: " + size, " 400 "},
      {"the same length twice",
       "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: " + size + "\r\nContent-Length: " + size,
       " 200 "},
      {"HTTP/1.0 without host", "POST / HTTP/1.0\r\nContent-Length: " + size, " 200 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int s = RawConnect(port);
    RawSend(s, c.head + "\r\n\r\n" + smuggled);
    const std::string reply = RawReadAll(s, 1.5);
    close(s);
    EXPECT_EQ(reply.rfind("HTTP/1.1", 0), 0u) << reply;
    EXPECT_NE(reply.find(c.status), std::string::npos) << reply;
    EXPECT_EQ(reply.find("[/x]"), std::string::npos) << reply;
  }
}

TEST(HttpStrictness, ATakenPortIsNeverShared) {
  CHttpListener first(Hello, HttpLimits{});
  const int port = first.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  CHttpListener second(Hello, HttpLimits{});
  EXPECT_EQ(second.Start("127.0.0.1", port), -1);
  EXPECT_NE(second.Error().find("in use"), std::string::npos) << second.Error();
  // The whole server stops with the reason instead of serving half the clients.
  TempDir home(true);
  ServerOptions options;
  options.port = port;
  options.trackMinutes = 0;
  options.dataFolder = home.File("data/");
  options.database = options.dataFolder + "vantrel.db";
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunServer(options, [] {}), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("in use"), std::string::npos);
  // The first is still the one that answers.
  const int s = RawConnect(port);
  RawSend(s, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_NE(RawReadAll(s, 2).find("hello"), std::string::npos);
  close(s);
}

}  // namespace
