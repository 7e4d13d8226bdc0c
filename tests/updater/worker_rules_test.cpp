#include <gtest/gtest.h>

#include "base/files.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "worker_fixture.h"

namespace {

std::string Shops(const std::string& path) {
  CSiteList list;
  if (!list.LoadSites(path)) return "unreadable";
  std::string text = list.GetVersion() + ":";
  for (const SiteRef& site : list.Snapshot())
    text += " " + site->GetName() + "@" + site->GetDomain();
  return text;
}

TEST_F(WorkerTest, OnlyTheRuleFileIsRefreshedWhenOnlyItsVersionIsNewer) {
  home.Write("sites.xml", SitesXml("5", {{"Old", "a.com"}, {"Kept", "k.com"}}));
  home.Write("imgs/Del.png", "old picture");
  server.Page("/upd/sites.xml", SitesXml("6", {{"New", "a.com"}, {"Added", "b.com"}}), "text/xml");
  server.Page("/upd/imgs/Del.png", "new picture", "image/png");
  ServeInfo("VERSION=1.069\r\nSITE_CONFIG_VERSION=6\r\nFILE1=imgs/Del.png\r\n");

  Run();

  EXPECT_EQ(Shops(home.File("sites.xml")), "6: New@a.com Kept@k.com Added@b.com");
  EXPECT_EQ(server.Requests("/upd/sites.xml"), 1);
  EXPECT_EQ(server.Requests("/upd/imgs/Del.png"), 0);
  EXPECT_EQ(home.Read("imgs/Del.png"), "old picture");
  EXPECT_FALSE(FileExists(home.File("sites_rt.xml")));
  EXPECT_FALSE(FileExists(home.File("update.ini")));
  EXPECT_TRUE(sink.Saw("没有发现新版本，当前已经是最新版本！"));
  EXPECT_EQ(sink.LastStatus(), "升级完成！");
  EXPECT_EQ(sink.progress, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(sink.finished, 1);
}

TEST_F(WorkerTest, VersionsCompareAsDecimalNumbers) {
  home.Write("sites.xml", SitesXml("5", {{"Old", "a.com"}}));
  server.Page("/upd/sites.xml", SitesXml("6", {{"New", "a.com"}}), "text/xml");
  // 1.10 is 1.1: not newer than an installed 1.1; rules "5.0" equal "5".
  ServeInfo("VERSION=1.10\r\nSITE_CONFIG_VERSION=5.0\r\nFILE1=x.txt\r\n");
  Run(Arguments("1.1", "5"));
  EXPECT_EQ(server.Requests("/upd/sites.xml"), 0);
  EXPECT_EQ(server.Requests("/upd/x.txt"), 0);
  EXPECT_TRUE(sink.Saw("没有发现新版本，当前已经是最新版本！"));
}

TEST_F(WorkerTest, MissingVersionsDefaultToOnePointZero) {
  ServeInfo("FILE1=x.txt\r\n");
  Run(Arguments("0.9", "0.5"));
  // Both installed versions are below the default "1.0".
  EXPECT_EQ(server.Requests("/upd/sites.xml"), 1);
  EXPECT_EQ(server.Requests("/upd/x.txt"), 1);
}

TEST_F(WorkerTest, RuleFileThatDoesNotArriveLeavesTheLocalOneAlone) {
  const std::string local = SitesXml("5", {{"Old", "a.com"}});
  home.Write("sites.xml", local);
  home.Write("sites_rt.xml", SitesXml("7", {{"Stale", "s.com"}}));  // left by a crash
  server.Get("/upd/sites.xml", [](const httplib::Request&, httplib::Response& reply) {
    reply.status = 404;
    reply.set_content("gone", "text/plain");
  });
  ServeInfo("VERSION=1.0\r\nSITE_CONFIG_VERSION=6\r\n");

  Run();

  EXPECT_EQ(home.Read("sites.xml"), local);
  EXPECT_FALSE(FileExists(home.File("sites_rt.xml")));
  EXPECT_EQ(sink.LastStatus(), "sites.xml下载失败！");
}

TEST_F(WorkerTest, MissingLocalRulesAreNotWrittenEmpty) {
  server.Page("/upd/sites.xml", "<html>not a rule file", "text/html");
  ServeInfo("SITE_CONFIG_VERSION=6\r\n");
  Run();
  EXPECT_FALSE(FileExists(home.File("sites.xml")));
  EXPECT_EQ(sink.LastStatus(), "sites.xml下载失败！");
}

TEST_F(WorkerTest, RulesFromAServerWithNoLocalFileBecomeTheRuleFile) {
  server.Page("/upd/sites.xml", SitesXml("6", {{"New", "a.com"}}), "text/xml");
  ServeInfo("SITE_CONFIG_VERSION=6\r\n");
  Run();
  EXPECT_EQ(Shops(home.File("sites.xml")), "6: New@a.com");
}

TEST_F(WorkerTest, UnreachableUpdateInformationEndsWithItsFailure) {
  home.Write("sites.xml", SitesXml("5", {{"Old", "a.com"}}));
  // No update.ini is served: the test server answers 404.
  Run();
  EXPECT_EQ(sink.statuses, (std::vector<std::string>{"正在获取更新信息...", "获取更新信息失败！"}));
  EXPECT_EQ(sink.finished, 1);
  EXPECT_FALSE(FileExists(home.File("update.ini")));
}

TEST_F(WorkerTest, UpdateInformationFromAServerThatIsGone) {
  UpdaterArguments arguments = Arguments();
  {
    TestHttpServer gone;
    arguments.infoUrl = gone.Url("/upd/update.ini");
  }
  Run(arguments);
  EXPECT_EQ(sink.LastStatus(), "获取更新信息失败！");
}

TEST_F(WorkerTest, FetchToFileStoresOnlyStatus200AndInflatesGzip) {
  CUpdateWorker worker(Arguments(), sink);
  server.Page("/plain", "plain body", "text/plain");
  server.Get("/zipped", [](const httplib::Request&, httplib::Response& reply) {
    reply.set_content(GzipText("[S]\r\nVERSION=2\r\n"), "text/plain");
    reply.set_header("Content-Encoding", "gzip");
  });
  server.Get("/missing", [](const httplib::Request&, httplib::Response& reply) {
    reply.status = 404;
    reply.set_content("not here", "text/plain");
  });

  EXPECT_TRUE(worker.FetchToFile(server.Url("/plain"), home.File("a.txt"), "http://ref/"));
  EXPECT_EQ(home.Read("a.txt"), "plain body");
  httplib::Headers headers = server.LastHeaders("/plain");
  auto header = [&](const char* key) {
    auto it = headers.find(key);
    return it == headers.end() ? std::string("<missing>") : it->second;
  };
  EXPECT_EQ(header("Referer"), "http://ref/");
  EXPECT_EQ(header("Accept-Encoding"), "gzip,deflate");
  EXPECT_EQ(header("Accept-Language"), "zh-cn");
  EXPECT_EQ(header("User-Agent"), kBrowserAgent);
  EXPECT_TRUE(worker.FetchToFile(server.Url("/zipped"), home.File("b.ini")));
  EXPECT_EQ(home.Read("b.ini"), "[S]\r\nVERSION=2\r\n");
  EXPECT_TRUE(worker.FetchToFile(server.Url("/missing"), home.File("c.txt")));
  EXPECT_FALSE(FileExists(home.File("c.txt")));
  EXPECT_FALSE(worker.FetchToFile("", home.File("d.txt")));
}

TEST_F(WorkerTest, FetchToFileWritesNothingForABodyCutShort) {
  RawHttpServer raw;
  raw.Reply("/short", RawHttpServer::Response("Content-Length: 100\r\n", "[S]\r\nVERSION=9"));
  CUpdateWorker worker(Arguments(), sink);
  EXPECT_FALSE(worker.FetchToFile(raw.Url("/short"), home.File("update.ini")));
  EXPECT_FALSE(FileExists(home.File("update.ini")));
}

}  // namespace
