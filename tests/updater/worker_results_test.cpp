// The updater never passes off a stale or broken result as a success.
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "base/stringtable.h"
#include "running_program.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "worker_fixture.h"

namespace {

TEST_F(WorkerTest, UpdateInformationLeftByAnEarlierRunIsNotUsed) {
  home.Write("update.ini", "[" + name + "]\r\nVERSION=9\r\nFILE1=a.txt\r\n");
  server.Page("/upd/a.txt", "A", "text/plain");
  Run();  // the server has no update.ini
  EXPECT_EQ(sink.LastStatus(), "获取更新信息失败！");
  EXPECT_EQ(server.Requests("/upd/a.txt"), 0);
  EXPECT_FALSE(FileExists(home.File("a.txt")));
}

// A server trickling update.ini a byte at a time passes the low-speed abort;
// FetchTimeout still ends the request.
TEST_F(WorkerTest, ATricklingServerEndsAtFetchTimeout) {
  ShortSpiderTimeouts whole{SpiderTimeouts{2000, 60, 1}};
  RawHttpServer raw;
  raw.Trickle("/update.ini", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n[");
  UpdaterArguments arguments = Arguments();
  arguments.infoUrl = raw.Url("/update.ini");
  Run(arguments);
  EXPECT_EQ(sink.LastStatus(), "获取更新信息失败！");
}

TEST_F(WorkerTest, RuleFileWithoutShopsIsAFailedDownload) {
  const std::string local = SitesXml("5", {{"Old", "a.com"}});
  home.Write("sites.xml", local);
  server.Page("/upd/sites.xml", SitesXml("6", {}), "text/xml");
  ServeInfo("SITE_CONFIG_VERSION=6\r\n");
  Run();
  EXPECT_EQ(home.Read("sites.xml"), local);
  EXPECT_EQ(sink.LastStatus(), "sites.xml下载失败！");
}

// Program files sent gzip-encoded are stored decoded, in folders the old
// version did not have; a body that does not decode to its end replaces
// nothing.
TEST_F(WorkerTest, GzipFilesAreStoredDecodedAndBrokenOnesReplaceNothing) {
  const std::string whole = GzipText(std::string(50000, 'x') + "end");
  server.Get("/upd/new/deep/a.bin", [&](const httplib::Request&, httplib::Response& reply) {
    reply.set_content(whole, "application/octet-stream");
    reply.set_header("content-encoding", "gzip");
  });
  server.Get("/upd/b.bin", [&](const httplib::Request&, httplib::Response& reply) {
    reply.set_content(whole.substr(0, whole.size() / 2), "application/octet-stream");
    reply.set_header("Content-Encoding", "gzip");
  });
  home.Write("b.bin", "old b");
  ServeInfo("VERSION=2\r\nFILE1=new/deep/a.bin\r\nFILE2=b.bin\r\n");

  Run();

  EXPECT_EQ(home.Read("new/deep/a.bin"), std::string(50000, 'x') + "end");
  EXPECT_EQ(home.Read("b.bin"), "old b");
  EXPECT_FALSE(FileExists(home.File("b.bin.upg")));
  EXPECT_EQ(sink.LastStatus(), "b.bin下载失败！");
}

// Only the main program of the updater's own folder is asked about and
// ended; a same-named program of another installation runs on.
TEST_F(WorkerTest, OnlyTheProgramOfThisFolderIsEnded) {
  TempDir elsewhere;
  RunningCopy other(elsewhere, name, "/bin/sleep", {"30"});
  ASSERT_GT(other.Pid(), 0);
  server.Page("/upd/a.txt", "A", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=a.txt\r\n");
  Run();
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(other.Running());
  EXPECT_EQ(home.Read("a.txt"), "A");

  RunningCopy mine(home, name, "/bin/sleep", {"30"});
  ASSERT_GT(mine.Pid(), 0);
  Run();
  EXPECT_EQ(messageIds, (std::vector<unsigned>{IDS_UPD_PROGRAM_RUNNING}));
  EXPECT_FALSE(mine.Running());
  EXPECT_TRUE(other.Running());
}

}  // namespace
