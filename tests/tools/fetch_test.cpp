// vantrelctl fetch, download, post and cookies against an in-process server.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/command_line.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

// "价格：￥199 😀" in UTF-8; the last character has no GBK form.
const std::string kPage =
    "<p>\xe4\xbb\xb7\xe6\xa0\xbc\xef\xbc\x9a\xef\xbf\xa5"
    "199 \xf0\x9f\x98\x80</p>";

class VantrelctlFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    m_server.Get("/item", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Content-Encoding", "gzip");
      response.set_content(GzipText(kPage), "text/html; charset=utf-8");
    });
    m_server.Get("/gone", [](const httplib::Request&, httplib::Response& response) {
      response.status = 404;
    });
  }
  TempDir m_home{true};
  TestHttpServer m_server;
};

TEST_F(VantrelctlFetch, GzipUtf8PageBecomesLocalText) {
  int status = -1;
  // Through the local code page and back: the emoji GBK lacked survives.
  EXPECT_EQ(RunShell(VantrelctlPath() + " fetch '" + m_server.Url("/item") + "'", status),
            "<p>\xe4\xbb\xb7\xe6\xa0\xbc\xef\xbc\x9a\xef\xbf\xa5"
            "199 \xF0\x9F\x98\x80</p>");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell(VantrelctlPath() + " fetch --local '" + m_server.Url("/item") + "'", status),
            "<p>\xbc\xdb\xb8\xf1\xa3\xba\xa3\xa4"
            "199 \x94\x39\xFC\x36</p>");
  EXPECT_EQ(status, 0);
}

TEST_F(VantrelctlFetch, SendsOptionsAndFailsOnEmptyPages) {
  int status = -1;
  RunShell(VantrelctlPath() + " fetch --charset utf-8 --referer http://shop/ --header 'X-A: 1' " +
               m_server.Url("/item"),
           status);
  EXPECT_EQ(status, 0);
  httplib::Headers headers = m_server.LastHeaders("/item");
  EXPECT_EQ(headers.find("Referer")->second, "http://shop/");
  EXPECT_EQ(headers.find("X-A")->second, "1");
  EXPECT_EQ(RunShell(VantrelctlPath() + " fetch " + m_server.Url("/gone"), status), "");
  EXPECT_EQ(status, 1);
  RunShell(VantrelctlPath() + " fetch --charset", status);
  EXPECT_EQ(status, 2);
}

TEST_F(VantrelctlFetch, DownloadPostAndCookies) {
  m_server.Post("/form", [](const httplib::Request& request, httplib::Response& response) {
    response.set_header("Set-Cookie", "token=t1; path=/");
    response.set_content("got " + request.body + "\nok\n", "text/plain");
  });
  int status = -1;
  std::string file = m_home.File("page.html");
  RunShell(VantrelctlPath() + " download " + m_server.Url("/item") + " " + file, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(m_home.Read("page.html"), kPage);

  EXPECT_EQ(RunShell(VantrelctlPath() + " post " + m_server.Url("/form") + " 'a=1&b=2'", status),
            "got a=1&b=2ok");
  EXPECT_EQ(status, 0);
  // The reply's cookie went into cookies.txt, where the next run finds it.
  EXPECT_EQ(RunShell(VantrelctlPath() + " cookies " + m_server.Url("/"), status), "token=t1\n");
  EXPECT_EQ(
      RunShell(VantrelctlPath() + " cookies --set region=5 --name region " + m_server.Url("/"),
               status),
      "region=5\n");
  EXPECT_EQ(status, 0);
  std::string https = "https://127.0.0.1:" + std::to_string(m_server.Port()) + "/form";
  EXPECT_EQ(RunShell(VantrelctlPath() + " post " + https + " a=1", status), "");
  EXPECT_EQ(status, 1);
}

}  // namespace
