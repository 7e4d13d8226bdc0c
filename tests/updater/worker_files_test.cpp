#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "base/files.h"
#include "support/http_server.h"
#include "worker_fixture.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST_F(WorkerTest, AListedFileIsReplacedThroughItsUpgCopy) {
  home.Write("imgs/Del.png", "old picture");
  std::atomic<bool> upgDuringDownload{false};
  server.Get("/upd/imgs/Del.png", [&](const httplib::Request& request, httplib::Response& reply) {
    upgDuringDownload = FileExists(home.File("imgs/Del.png.upg"));
    EXPECT_TRUE(request.has_param("t"));
    reply.set_content("new picture", "image/png");
  });
  ServeInfo("VERSION=1.1\r\nSITE_CONFIG_VERSION=1\r\nFILE1=imgs/Del.png\r\n");

  Run();

  EXPECT_EQ(home.Read("imgs/Del.png"), "new picture");
  EXPECT_TRUE(upgDuringDownload);
  EXPECT_FALSE(FileExists(home.File("imgs/Del.png.upg")));
  EXPECT_FALSE(FileExists(home.File("update.ini")));
  EXPECT_EQ(server.Requests("/upd/sites.xml"), 0);
  EXPECT_EQ(sink.statuses,
            (std::vector<std::string>{"正在获取更新信息...", "正在检查网站设置文件是否有新版本...",
                                      "正在检查主程序是否有新版本...", "发现新版本，正在升级中...",
                                      "正在下载文件imgs/Del.png", "imgs/Del.png下载完成！",
                                      "升级完成！", "升级完成！"}));
  EXPECT_EQ(sink.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WorkerTest, FilesAreReadUpToTheFirstEmptyKey) {
  server.Page("/upd/a.txt", "A", "text/plain");
  server.Page("/upd/b.txt", "B", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=\r\nFILE2=a.txt\r\n");
  Run();
  EXPECT_EQ(server.Requests("/upd/a.txt"), 0);
  EXPECT_FALSE(FileExists(home.File("a.txt")));

  ServeInfo("VERSION=2\r\nFILE1=a.txt\r\nFILE2=b.txt\r\nFILE4=c.txt\r\n");
  Run();
  EXPECT_EQ(home.Read("a.txt"), "A");
  EXPECT_EQ(home.Read("b.txt"), "B");
  EXPECT_EQ(server.Requests("/upd/c.txt"), 0);
}

TEST_F(WorkerTest, ARefusedFileLeavesTheOldOneAndStopsTheRest) {
  home.Write("imgs/Del.png", "old picture");
  server.Get("/upd/imgs/Del.png", [](const httplib::Request&, httplib::Response& reply) {
    reply.status = 404;
    reply.set_content("<html>Not Found</html>", "text/html");
  });
  server.Page("/upd/later.txt", "later", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=imgs/Del.png\r\nFILE2=later.txt\r\n");

  Run();

  EXPECT_EQ(home.Read("imgs/Del.png"), "old picture");
  EXPECT_FALSE(FileExists(home.File("imgs/Del.png.upg")));
  EXPECT_EQ(server.Requests("/upd/later.txt"), 0);
  EXPECT_EQ(sink.LastStatus(), "imgs/Del.png下载失败！");
  EXPECT_FALSE(FileExists(home.File("update.ini")));
  EXPECT_EQ(sink.finished, 1);
}

TEST_F(WorkerTest, ABodyCutShortNeverReplacesTheFile) {
  RawHttpServer raw;
  std::string info = "[" + name + "]\r\nVERSION=2\r\nFILE1=Prog\r\n";
  raw.Reply(
      "/upd/update.ini",
      RawHttpServer::Response("Content-Length: " + std::to_string(info.size()) + "\r\n", info));
  raw.Reply("/upd/Prog",
            RawHttpServer::Response("Content-Length: 5000\r\n", "#!/bin/sh\nexit 0\n"));
  home.Write("Prog", "the old program");
  chmod(home.File("Prog").c_str(), 0755);

  Run(UpdaterArguments{name, "1", "99", raw.Url("/upd/update.ini")});

  EXPECT_EQ(home.Read("Prog"), "the old program");
  EXPECT_EQ(ModeOf(home.File("Prog")), 0755u);
  EXPECT_FALSE(FileExists(home.File("Prog.upg")));
  EXPECT_EQ(sink.LastStatus(), "Prog下载失败！");
  ASSERT_EQ(messages.size(), 1u);  // the transfer's error text
  EXPECT_FALSE(messages[0].empty());
}

TEST_F(WorkerTest, AReplacedFileKeepsItsPermissions) {
  std::string body(10000, 'x');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  server.Page("/upd/Vantrel", body, "application/octet-stream");
  server.Page("/upd/data/new.txt", "fresh", "text/plain");
  home.Write("Vantrel", "old");
  chmod(home.File("Vantrel").c_str(), 0750);
  MakeDirectories(home.File("data"));
  ServeInfo("VERSION=2\r\nFILE1=Vantrel\r\nFILE2=data/new.txt\r\n");

  Run();

  EXPECT_EQ(home.Read("Vantrel"), body);
  EXPECT_EQ(ModeOf(home.File("Vantrel")), 0750u);
  EXPECT_EQ(home.Read("data/new.txt"), "fresh");
  EXPECT_EQ(ModeOf(home.File("data/new.txt")) & 0600u, 0600u);
  // Progress of the 10000-byte file: never backwards, ends at 100.
  ASSERT_FALSE(sink.progress.empty());
  for (size_t i = 1; i < sink.progress.size(); ++i)
    EXPECT_LE(sink.progress[i - 1], sink.progress[i]);
  EXPECT_EQ(sink.progress.back(), 100);
  EXPECT_GE(sink.progress.size(), 5u);  // 2048-byte blocks, not one jump
}

TEST_F(WorkerTest, PathsThatLeaveTheProgramDirectoryAreRefused) {
  TempDir outside;
  const std::string paths[] = {"../escape.txt", "a/../../escape.txt", "/tmp/escape.txt",
                               "..\\escape.txt", outside.File("x")};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    sink.statuses.clear();
    ServeInfo("VERSION=2\r\nFILE1=" + path + "\r\n");
    Run();
    EXPECT_EQ(sink.LastStatus(), path + "下载失败！");
  }
  EXPECT_FALSE(FileExists(home.File("../escape.txt")));
  EXPECT_FALSE(FileExists(outside.File("x")));
  EXPECT_TRUE(IsSafeUpdatePath("imgs/Del.png"));
  EXPECT_TRUE(IsSafeUpdatePath("a..b/c"));
  EXPECT_FALSE(IsSafeUpdatePath(""));
}

TEST_F(WorkerTest, AFileThatCannotBeWrittenShowsTheInUseMessage) {
  server.Page("/upd/x.txt", "x", "text/plain");
  server.Page("/upd/y.txt", "y", "text/plain");
  // A folder where the ".upg" copy should go: the copy can't be opened.
  std::filesystem::create_directories(home.File("x.txt.upg"));
  ServeInfo("VERSION=2\r\nFILE1=x.txt\r\nFILE2=y.txt\r\n");
  Run();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "写文件" + home.File("x.txt") + "错误！\n文件正在使用中，请先关闭程序！");
  EXPECT_EQ(server.Requests("/upd/y.txt"), 0);
  EXPECT_FALSE(FileExists(home.File("update.ini")));
}

TEST_F(WorkerTest, NamesWithBlanksAreRequestedEscaped) {
  server.Page("/upd/my file.txt", "spaced", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=my file.txt\r\n");
  Run();
  EXPECT_EQ(home.Read("my file.txt"), "spaced");
}

TEST_F(WorkerTest, ACancelledWorkerReplacesNothingAndAsksNothing) {
  home.Write("a.txt", "old");
  server.Page("/upd/a.txt", "new", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=a.txt\r\n");
  CUpdateWorker worker(Arguments(), sink);
  worker.Cancel();
  worker.Run();
  EXPECT_EQ(home.Read("a.txt"), "old");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(sink.finished, 1);
}

}  // namespace
