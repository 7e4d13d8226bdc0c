// Heads that two parties could read two ways are refused, and a port is
// never shared with another listener.
#include <gtest/gtest.h>

#include "raw_client.h"
#include "server/http.h"
#include "server/run.h"
#include "support/tempdir.h"

namespace {

HttpReply Echo(const HttpRequest& request) { return {200, "text/plain", "[" + request.path + "]"}; }

TEST(HttpStrictness, AmbiguousHeadsGet400AndNothingInTheirBodyIsServed) {
  CHttpListener listener(Echo, HttpLimits{});
  const int port = listener.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  // The body of each is a request of its own, which must never be answered.
  const std::string smuggled = "GET /x HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string size = std::to_string(smuggled.size());
  const std::pair<std::string, const char*> cases[] = {
      {"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nContent-Length: " + size, " 400 "},
      {"POST / HTTP/1.1\r\nContent-Length: " + size, " 400 "},  // no Host
      {"POST / HTTP/1.0\r\nContent-Length: " + size, " 200 "},  // HTTP/1.0 needs none
  };
  for (const auto& [head, status] : cases) {
    const int s = RawConnect(port);
    RawSend(s, head + "\r\n\r\n" + smuggled);
    const std::string reply = RawReadAll(s, 1.5);
    close(s);
    EXPECT_NE(reply.find(status), std::string::npos) << reply;
    EXPECT_EQ(reply.find("[/x]"), std::string::npos) << reply;
  }
}

// A second server on a taken port stops with the reason instead of taking
// half of the clients.
TEST(HttpStrictness, ATakenPortIsNeverShared) {
  CHttpListener first(Echo, HttpLimits{});
  TempDir home(true);
  ServerOptions options;
  options.port = first.Start("127.0.0.1", 0);
  options.trackMinutes = 0;
  options.dataFolder = home.File("data/");
  options.database = options.dataFolder + "vantrel.db";
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunServer(options, [] {}), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Address already in use"),
            std::string::npos);
}

}  // namespace
