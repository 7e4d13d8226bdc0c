// Servers that would hurt a user: silence, endless bodies, redirect loops;
// and the rules of PostPage and DownloadFile.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <zlib.h>

#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "support/tempdir.h"

namespace {

class SpiderLimitsTest : public ::testing::Test {
 protected:
  ShortSpiderTimeouts m_timeouts{SpiderTimeouts{2000, 1}};
  TempDir m_home{true};
  TestHttpServer m_server;
  RawHttpServer m_raw;
  CSpider m_spider;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(SpiderLimitsTest, DefaultTimeoutsAreThoseOfADesktop) {
  SetSpiderTimeouts(m_timeouts.Saved());
  SpiderTimeouts defaults = GetSpiderTimeouts();
  EXPECT_EQ(defaults.connectMilliseconds, 60000);
  EXPECT_EQ(defaults.lowSpeedSeconds, 60);
  EXPECT_EQ(defaults.exchangeSeconds, 60);
}

// A shop sending a byte now and then passes the low-speed abort; the whole
// exchange still ends at "FetchTimeout" of config.ini and counts as a
// time-out. A missing or nonsensical setting is the 60 s default.
TEST_F(SpiderLimitsTest, TricklingShopFailsAtTheWholeExchangeDeadline) {
  m_raw.Trickle("/trickle", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<html>");
  for (const char* value : {"", "0", "-5", "soon"}) {
    IniWriteString(ProgramFile("config.ini"), "Base", "FetchTimeout", value);
    LoadFetchTimeout();
    EXPECT_EQ(GetSpiderTimeouts().exchangeSeconds, 60) << value;
  }
  IniWriteString(ProgramFile("config.ini"), "Base", "FetchTimeout", "2");
  LoadFetchTimeout();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/trickle"), "gbk"), "");
  const double seconds = SecondsSince(start);
  EXPECT_GE(seconds, 1.5);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(m_spider.LastFailure().kind, FetchFailure::kTimedOut);
}

// A reply the user waits on: the scope ends a trickle long before the
// program's own deadline, on its thread only and only while it lives.
TEST_F(SpiderLimitsTest, AnExchangeDeadlineScopeEndsTheExchangeSooner) {
  m_raw.Trickle("/trickle", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<html>");
  const auto start = std::chrono::steady_clock::now();
  {
    CDeadlineScope deadline{std::chrono::milliseconds(500)};
    CDeadlineScope looser{std::chrono::milliseconds(30000)};
    EXPECT_LE(CDeadlineScope::Current()->Left().count(), 500);
    EXPECT_EQ(m_spider.GetPage(m_raw.Url("/trickle"), "gbk"), "");
  }
  EXPECT_LT(SecondsSince(start), 10.0);
  EXPECT_EQ(m_spider.LastFailure().kind, FetchFailure::kTimedOut);
  EXPECT_EQ(CDeadlineScope::Current(), nullptr);
}

TEST_F(SpiderLimitsTest, ServerThatNeverAnswersEndsAfterTheTimeout) {
  m_raw.Silent("/hang");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/hang"), "gbk"), "");
  EXPECT_FALSE(m_spider.DownloadFile(m_raw.Url("/hang"), m_home.File("hang.bin")));
  EXPECT_EQ(m_spider.PostPage(m_raw.Url("/hang"), "a=1", ""), "");
  EXPECT_LT(SecondsSince(start), 12.0);
  EXPECT_EQ(m_raw.Requests("/hang"), 3);
  EXPECT_FALSE(FileExists(m_home.File("hang.bin")));
}

TEST_F(SpiderLimitsTest, ServerThatStallsMidBodyGivesNothing) {
  m_server.Get("/stall", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
      if (offset == 0) return sink.write("<html>", 6);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return true;  // nothing more, and no end either
    });
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/stall"), "gbk"), "");
  // The transfer rate is averaged over a few seconds before it counts as stalled.
  EXPECT_LT(SecondsSince(start), 15.0);
}

TEST_F(SpiderLimitsTest, BodiesAboveTheLimitAreRefused) {
  // A length that could never be held...
  m_raw.Reply("/claims", RawHttpServer::Response("Content-Length: 4000000000\r\n", "tiny"));
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/claims"), "gbk"), "");
  EXPECT_FALSE(m_spider.DownloadFile(m_raw.Url("/claims"), m_home.File("claims.bin")));
  // ...and a body without a length that never ends.
  m_server.Get("/endless", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
      static const std::string block(1 << 20, 'x');
      if (offset > kMaxBodyBytes + block.size() * 4) return false;
      return sink.write(block.data(), block.size());
    });
  });
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/endless"), "gbk"), "");
  EXPECT_FALSE(m_spider.DownloadFile(m_server.Url("/endless"), m_home.File("endless.bin")));
  EXPECT_FALSE(FileExists(m_home.File("endless.bin")));
  // A negative length is no length.
  m_raw.Reply("/negative", RawHttpServer::Response("Content-Length: -5\r\n", "abc"));
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/negative"), "gbk"), "");
}

// A body small on the wire that inflates past the limit: one compressed
// megabyte, flushed so that it stands alone, repeated after a gzip header.
// The decoder gives up at the limit, long before the missing trailer.
TEST_F(SpiderLimitsTest, InflatedBodyAboveTheLimitIsRefused) {
  std::string chunk(1 << 20, 'a');
  unsigned seed = 3;
  for (char& c : chunk) c = static_cast<char>('a' + ((seed = seed * 1103515245 + 12345) >> 31));
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, chunk.size()) + 64, '\0');
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);  // the gzip header alone
  std::string gzip = out.substr(0, z.total_out);
  size_t header = z.total_out;
  z.next_in = reinterpret_cast<Bytef*>(chunk.data());
  z.avail_in = static_cast<uInt>(chunk.size());
  ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  std::string block = out.substr(header, z.total_out - header);
  deflateEnd(&z);
  for (size_t inflated = 0; inflated <= kMaxBodyBytes; inflated += chunk.size()) gzip += block;
  ASSERT_LT(gzip.size(), kMaxBodyBytes / 4);
  m_server.Get("/bomb", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(gzip, "text/html");
  });
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/bomb"), "gbk"), "");
  EXPECT_FALSE(m_spider.DownloadFile(m_server.Url("/bomb"), m_home.File("bomb.html")));
  EXPECT_FALSE(FileExists(m_home.File("bomb.html")));
}

TEST_F(SpiderLimitsTest, RedirectLoopEnds) {
  m_server.Get("/loop", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(m_server.Url("/loop"));
  });
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/loop"), "gbk"), "");
  EXPECT_LE(m_server.Requests("/loop"), 12);
  EXPECT_GE(m_server.Requests("/loop"), 2);
}

TEST_F(SpiderLimitsTest, UnreachableServerGivesNothing) {
  int port = 0;
  {
    RawHttpServer closed;
    port = closed.Port();
  }
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  EXPECT_EQ(m_spider.GetPage(url, "gbk"), "");
  EXPECT_FALSE(m_spider.DownloadFile(url, m_home.File("x")));
  EXPECT_EQ(m_spider.FetchCookies(url, "", ""), "");
  EXPECT_EQ(m_spider.GetPage("ftp://127.0.0.1/file", "gbk"), "");
}

TEST_F(SpiderLimitsTest, PostPageOnlyPostsHttpLinks) {
  m_server.Post("/login", [](const httplib::Request& request, httplib::Response& response) {
    response.status = 403;  // the status plays no part
    response.set_content("user=" + request.get_param_value("user") + "\r\nline two\nend\n",
                         "text/plain");
  });
  std::string https = "https://127.0.0.1:" + std::to_string(m_server.Port()) + "/login";
  std::string post = "Content-Type: application/x-www-form-urlencoded";
  EXPECT_EQ(m_spider.PostPage(https, "user=a", post), "");
  EXPECT_EQ(m_spider.PostPage("http://", "user=a", post), "");
  EXPECT_EQ(m_spider.PostPage("", "user=a", post), "");
  EXPECT_EQ(m_server.Requests("/login"), 0);

  std::string upper = "HTTP://127.0.0.1:" + std::to_string(m_server.Port()) + "/login";
  EXPECT_EQ(m_spider.PostPage(upper, "user=%E4%BB%B7", post), "user=\xe4\xbb\xb7\rline twoend");
  EXPECT_EQ(m_server.LastBody("/login"), "user=%E4%BB%B7");
  httplib::Headers headers = m_server.LastHeaders("/login");
  EXPECT_EQ(headers.find("Content-Type")->second, "application/x-www-form-urlencoded");
  EXPECT_EQ(headers.find("User-Agent")->second, kBrowserAgent);
}

TEST_F(SpiderLimitsTest, DownloadFileDecodesGzipOnly) {
  std::string picture(20000, '\0');
  unsigned seed = 5;
  for (char& c : picture) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  m_server.Get("/pic.gif", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(picture, "image/gif");
  });
  m_server.Get("/rules.xml", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(GzipText(picture), "text/xml");
  });
  std::string deflated = ZlibText(picture);
  m_server.Get("/deflate", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "deflate");
    response.set_content(deflated, "text/xml");
  });
  std::string broken = GzipText(picture);
  broken.resize(broken.size() / 2);
  m_server.Get("/broken", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(broken, "text/xml");
  });
  struct Case {
    const char* path;
    std::string content;
  } cases[] = {{"/pic.gif", picture}, {"/rules.xml", picture}, {"/deflate", deflated}};
  for (const Case& c : cases) {
    std::string file = m_home.File("download.bin");
    ASSERT_TRUE(m_spider.DownloadFile(m_server.Url(c.path), file, "http://referer/")) << c.path;
    EXPECT_EQ(m_home.Read("download.bin"), c.content) << c.path;
  }
  // A broken stream is no file: the download fails and writes nothing.
  EXPECT_FALSE(m_spider.DownloadFile(m_server.Url("/broken"), m_home.File("broken.bin")));
  EXPECT_FALSE(FileExists(m_home.File("broken.bin")));

  EXPECT_FALSE(m_spider.DownloadFile("", m_home.File("none")));
  EXPECT_FALSE(
      m_spider.DownloadFile(m_server.Url("/pic.gif"), m_home.File("no/such/folder/pic.gif")));
}

}  // namespace
