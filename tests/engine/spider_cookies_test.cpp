// The shared cookie store: replies that set cookies, FetchCookies, GetCookie
// and SetCookie across threads, and cookies.txt across stores.
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/files.h"
#include "engine/cookies.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

class SpiderCookiesTest : public ::testing::Test {
 protected:
  TempDir m_home{true};
  TestHttpServer m_server;
  CSpider m_spider;

  std::string CookieSent(const std::string& path) {
    httplib::Headers headers = m_server.LastHeaders(path);
    auto it = headers.find("Cookie");
    return it == headers.end() ? std::string() : it->second;
  }
};

TEST_F(SpiderCookiesTest, FetchCookiesJoinsTheLeadingPairs) {
  m_server.Get("/region", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Set-Cookie", "atgregion=310100|Shanghai; path=/");
    response.set_header("Set-Cookie", "visitor=abc; path=/; HttpOnly");
    response.set_content(std::string(100000, 'x'), "text/html");
  });
  m_server.Get("/gone", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
    response.set_header("Set-Cookie", "lost=1; path=/");
  });
  EXPECT_EQ(m_spider.FetchCookies(m_server.Url("/region"), "", ""),
            "atgregion=310100|Shanghai;visitor=abc;");
  EXPECT_EQ(m_spider.FetchCookies(m_server.Url("/gone"), "", ""), "");
  EXPECT_EQ(m_spider.FetchCookies("", "", ""), "");
}

TEST_F(SpiderCookiesTest, CookiesOfOneThreadAreSeenByAnother) {
  m_server.Get("/set", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Set-Cookie", "provinceId=2; path=/");
    response.set_content("ok", "text/html");
  });
  m_server.Page("/check", "checked");
  std::thread worker([&] { EXPECT_EQ(CSpider().GetPage(m_server.Url("/set"), "gbk"), "ok"); });
  worker.join();
  std::string seen;
  std::thread reader([&] { seen = CSpider().GetCookie(m_server.Url("/any/page")); });
  reader.join();
  EXPECT_EQ(seen, "provinceId=2");
  // And the next request carries it.
  m_spider.GetPage(m_server.Url("/check"), "gbk");
  EXPECT_EQ(CookieSent("/check"), "provinceId=2");
}

TEST_F(SpiderCookiesTest, SetCookieIsSentAndReadBack) {
  m_server.Page("/stock/query", "in stock");
  m_server.Page("/other", "other");
  std::string link = m_server.Url("/stock/query?id=5");
  ASSERT_TRUE(m_spider.SetCookie(link, "provinceId", "12"));
  ASSERT_TRUE(m_spider.SetCookie(link, "city", "3"));
  EXPECT_EQ(m_spider.GetCookie(link, "provinceId"), "provinceId=12");
  EXPECT_EQ(m_spider.GetCookie(link, "nothing"), "");
  std::string all = m_spider.GetCookie(link);
  EXPECT_NE(all.find("provinceId=12"), std::string::npos);
  EXPECT_NE(all.find("city=3"), std::string::npos);
  m_spider.GetPage(link, "gbk");
  EXPECT_NE(CookieSent("/stock/query").find("provinceId=12"), std::string::npos);
  // The cookie belongs to the link's folder, not to every page of the host.
  m_spider.GetPage(m_server.Url("/other"), "gbk");
  EXPECT_EQ(CookieSent("/other"), "");
}

TEST_F(SpiderCookiesTest, SetCookieRefusesWhatCannotBeStored) {
  std::string link = m_server.Url("/");
  EXPECT_FALSE(m_spider.SetCookie("", "a", "1"));
  EXPECT_FALSE(m_spider.SetCookie("not a link", "a", "1"));
  EXPECT_FALSE(m_spider.SetCookie(link, "a\tb", "1"));
  EXPECT_FALSE(m_spider.SetCookie(link, "a", "1\n2"));
  EXPECT_FALSE(m_spider.SetCookie(link, "a", "1; domain=other.example"));
  EXPECT_EQ(m_spider.GetCookie(link), "");
  // An expiry in the past removes a cookie.
  ASSERT_TRUE(m_spider.SetCookie(link, "a", "1"));
  ASSERT_TRUE(m_spider.SetCookie(link, "a", "1; expires=Thu, 01 Jan 1998 00:00:00 GMT"));
  EXPECT_EQ(m_spider.GetCookie(link), "");
}

TEST_F(SpiderCookiesTest, CookiesSurviveInCookiesTxt) {
  m_server.Get("/login", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Set-Cookie", "session=s1; path=/");
    response.set_header("Set-Cookie", "region=310; path=/; Max-Age=86400");
    response.set_content("ok", "text/html");
  });
  // A cookie file from an older run that everybody could read.
  m_home.Write("cookies.txt", "# Netscape HTTP Cookie File\n");
  chmod(m_home.File("cookies.txt").c_str(), 0644);
  ASSERT_EQ(m_spider.GetPage(m_server.Url("/login"), "gbk"), "ok");
  ASSERT_TRUE(FileExists(m_home.File("cookies.txt")));
  struct stat st {};
  ASSERT_EQ(stat(m_home.File("cookies.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A new store on the same file (as a new run of the program would make).
  CCookieStore store(m_home.File("cookies.txt"));
  std::vector<CookieRecord> cookies = store.Matching(m_server.Url("/"));
  ASSERT_EQ(cookies.size(), 2u);
  std::sort(cookies.begin(), cookies.end(),
            [](const CookieRecord& a, const CookieRecord& b) { return a.name > b.name; });
  EXPECT_EQ(cookies[0].name + "=" + cookies[0].value, "session=s1");
  EXPECT_EQ(cookies[1].name + "=" + cookies[1].value, "region=310");
  EXPECT_EQ(cookies[0].expires, 0);
  EXPECT_GT(cookies[1].expires, 0);
  EXPECT_TRUE(store.Matching("http://other.example/").empty());

  // A second program directory has its own store, and coming back reloads the file.
  {
    TempDir other(true);
    EXPECT_EQ(m_spider.GetCookie(m_server.Url("/")), "");
  }
  EXPECT_EQ(m_spider.GetCookie(m_server.Url("/"), "region"), "region=310");
}

TEST_F(SpiderCookiesTest, DamagedCookieFileIsIgnoredLineByLine) {
  TempDir dir;
  dir.Write("cookies.txt",
            "# Netscape HTTP Cookie File\n"
            "garbage line\n"
            "127.0.0.1\tFALSE\t/\tFALSE\t0\tgood\tyes\n"
            "\t\t\t\n"
            "127.0.0.1\tFALSE\t/\tFALSE\t0\tempty\n");
  CCookieStore store(dir.File("cookies.txt"));
  std::vector<CookieRecord> cookies = store.List();
  ASSERT_EQ(cookies.size(), 2u);
  std::sort(cookies.begin(), cookies.end(),
            [](const CookieRecord& a, const CookieRecord& b) { return a.name > b.name; });
  EXPECT_EQ(cookies[0].name, "good");
  EXPECT_EQ(cookies[1].name, "empty");
  EXPECT_EQ(cookies[1].value, "");
}

// Two stores on one cookies.txt stand for two processes saving at once.
TEST_F(SpiderCookiesTest, StoresSharingAFileLoseNoCookieAndKeepRemovals) {
  const std::string path = m_home.File("shared.txt");
  CCookieStore first(path), second(path);
  for (int i = 0; i < 20; ++i) {
    CCookieStore& store = i % 2 ? second : first;
    ASSERT_TRUE(store.Add({"shop.example", false, "/", false, 0, "c" + std::to_string(i), "v"}));
    ASSERT_TRUE(store.Save());
  }
  // A removal made by one store is not brought back by the other.
  ASSERT_TRUE(first.Add({"shop.example", false, "/", false, 1, "c0", "v"}));
  ASSERT_TRUE(first.Save());
  ASSERT_TRUE(second.Add({"shop.example", false, "/", false, 0, "last", "v"}));
  ASSERT_TRUE(second.Save());
  EXPECT_EQ(CCookieStore(path).List().size(), 20u);
  EXPECT_TRUE(CCookieStore(path).Matching("http://shop.example/").size() == 20u);
}

// A worker's requests to one shop go over one kept connection.
TEST(SpiderConnections, OneThreadReusesItsConnectionToAShop) {
  TempDir home(true);
  TestHttpServer server;
  server.Server().set_keep_alive_timeout(1);
  std::vector<int> ports;
  std::mutex lock;
  server.Get("/page", [&](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard hold(lock);
    ports.push_back(request.remote_port);
    response.set_content("page", "text/html");
  });
  CSpider spider;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(spider.GetPage(server.Url("/page"), "utf-8"), "page");
  std::lock_guard hold(lock);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(std::set<int>(ports.begin(), ports.end()).size(), 1u);
}

}  // namespace
