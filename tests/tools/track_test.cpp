// vantrelctl track against the fake shop: one round with --once, and the
// endless run ended by SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "services/history.h"
#include "support/command_line.h"
#include "support/fakeshop.h"
#include "support/lockholder.h"
#include "support/tempdir.h"

namespace {

std::string Page(const std::string& price) {
  return "<h1 id=\"name\">Kettle</h1><span id=\"sku\">1001</span><em id=\"price\">" + price +
         "</em><div id=\"stock\">in stock</div><!--" + std::string(1600, '.') + "-->";
}

class VantrelctlTrack : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = home.File("config.ini");
    IniWriteString(config, "Base", "SleepTime", "0");
    // No program servers: loading the tasks must not reach out.
    IniWriteString(config, "Hosts", "HistoryUrl", "");
    IniWriteString(config, "Hosts", "ComparisonUrl", "");
    MakeDirectories(home.File("productprices"));
    MakeDirectories(home.File("productitems"));

    CSiteList sites;
    auto site = std::make_shared<CSite>();
    site->SetName("Fake");
    site->SetDomain(shop.Host());
    site->SetEncode("utf-8");
    site->SetIDRegex("id=\"sku\">(\\d+)<");
    site->SetPriceRegex("id=\"price\">([0-9.,]+)<");
    site->SetStockRegex("id=\"stock\">(.*?)<");
    site->SetOutOfStockFlag("sold out");
    sites.AddSite(site);
    ASSERT_TRUE(sites.SaveSites(home.File("sites.xml")));

    CTaskList tasks;
    for (const char* path : {"/item.html", "/paused.html"}) {
      CTaskValues v;
      v.url = shop.Link(path);
      v.productName = "Kettle";
      v.productId = "1001";
      v.frequencyHour = "1";
      v.frequencyMinute = "0";
      v.status = std::string(path) == "/item.html" ? 1 : 0;
      v.siteName = "Fake";
      v.siteDomain = shop.Host();
      v.trackStock = v.trackPrice = v.priceDown = true;
      v.currentPrice = "99.00";
      v.currentStock = 1;
      tasks.AddTask(std::make_shared<CTask>(v));
    }
    ASSERT_TRUE(tasks.SaveTasks(home.File("tasks.xml")));
    shop.Page("/item.html", Page("89.00"));
    shop.Page("/paused.html", Page("9.00"));
  }

  TempDir home{true};
  FakeShop shop;
};

TEST_F(VantrelctlTrack, OnceReportsTheDropAndRecordsIt) {
  int status = -1;
  const std::string out = RunShell(VantrelctlPath() + " track --once 2>&1", status);
  EXPECT_EQ(status, 0);
  const std::string link = shop.Link("/item.html");
  EXPECT_NE(out.find("\tUpdateData\t" + link + "\tdown\tnochange\t89.00\t1\tKettle价格变为89.00\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\tUpdateChangeData\t" + link + "\tdown\t"), std::string::npos) << out;
  EXPECT_NE(out.find("\tPopup\t" + link + "\t-\t-\t-\t-\tKettle价格变为89.00\n"),
            std::string::npos);
  EXPECT_NE(out.find("\tSound\t-\t-\t-\t-\t-\t" + home.File("ding.wav") + "\n"), std::string::npos);
  // The paused task was left alone.
  EXPECT_EQ(out.find(shop.Link("/paused.html")), std::string::npos);
  EXPECT_EQ(shop.Requests("/paused.html"), 0);

  CPriceInfo history;
  ASSERT_TRUE(history.LoadCache(home.File("productprices/" + shop.Host() + "_1001.xml")));
  // Loading the task dated its stored price now; the pass added the new one.
  bool recorded = false;
  for (const CPriceInfoItem& item : history.Items()) recorded |= item.price == "89.00";
  EXPECT_TRUE(recorded);
  EXPECT_EQ(history.GetLowestPrice(), "89.00");
  EXPECT_NE(home.Read("tasks.xml").find("<CurrentPrice>89.00</CurrentPrice>"), std::string::npos);
}

TEST_F(VantrelctlTrack, AFailedPassIsPrintedAndListed) {
  IniWriteString(home.File("config.ini"), "Base", "FailAlert", "1");
  shop.Reply("/item.html", MakeReply("busy", "text/html", 503));
  int status = -1;
  const std::string out = RunShell(VantrelctlPath() + " track --once", status);
  EXPECT_EQ(status, 0);
  const std::string link = shop.Link("/item.html");
  EXPECT_NE(out.find("\tfailed\t" + link + "\tHTTP 503\t1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\tFailAlert\t" + link + "\t-\t-\t-\t-\tKettle连续1次抓取失败\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\tPopup\t" + link + "\t-\t-\t-\t-\tKettle连续1次抓取失败\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("\tUpdateChangeData\t"), std::string::npos) << out;

  const std::string listed = RunShell(VantrelctlPath() + " tasks", status);
  EXPECT_NE(listed.find(link + "\tKettle\t99.00\t1\ttracked\t1\tHTTP 503\t-\n"), std::string::npos)
      << listed;
  // The paused task that never failed keeps its six columns.
  EXPECT_NE(listed.find(shop.Link("/paused.html") + "\tKettle\t99.00\t1\tpaused\t-\n"),
            std::string::npos)
      << listed;
}

TEST_F(VantrelctlTrack, MsgPopLeavesOutThePopup) {
  IniWriteString(home.File("config.ini"), "Base", "MsgPop", "1");
  int status = -1;
  const std::string out = RunShell(VantrelctlPath() + " track --once", status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("\tUpdateChangeData\t"), std::string::npos) << out;
  EXPECT_EQ(out.find("\tPopup\t"), std::string::npos) << out;
}

TEST_F(VantrelctlTrack, RunsUntilSigterm) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const std::string program = VantrelctlPath();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    execl(program.c_str(), program.c_str(), "track", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  // The first pass reports at once (SleepTime 0); then the program waits.
  std::string out;
  char buffer[1024];
  while (out.find("\tSound\t") == std::string::npos) {
    ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_NE(out.find("\tUpdateChangeData\t"), std::string::npos) << out;
  kill(child, SIGTERM);
  int raw = 0;
  ASSERT_EQ(waitpid(child, &raw, 0), child);
  close(pipeEnds[0]);
  EXPECT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 0);
}

TEST_F(VantrelctlTrack, AFailedSaveEndsNonZero) {
  int status = -1;
  // No file can grow: every save fails, standard output (a pipe) still works.
  const std::string out = RunShell(
      "trap '' XFSZ; ulimit -f 0; exec " + VantrelctlPath() + " track --once 2>&1", status);
  EXPECT_NE(out.find("保存任务文件失败！"), std::string::npos) << out;
  EXPECT_EQ(status, 1);
}

TEST_F(VantrelctlTrack, UsageAndMissingFiles) {
  int status = -1;
  RunShell(VantrelctlPath() + " track --every 5 2>/dev/null", status);
  EXPECT_EQ(status, 2);
  DeleteFile(home.File("sites.xml"));
  RunShell(VantrelctlPath() + " track --once 2>/dev/null", status);
  EXPECT_EQ(status, 1);
}

// SIGTERM ends track --once within two seconds wherever it waits: on a shop
// that does not answer, or on a lock a stopped process holds.
TEST_F(VantrelctlTrack, SigtermEndsItWithinTwoSecondsWhereverItWaits) {
  std::promise<void> answer;
  std::shared_future<void> answered = answer.get_future().share();
  shop.Serve("/item.html", [answered](const ShopRequest&) {
    answered.wait();
    return MakeReply(Page("89.00"));
  });
  const struct {
    const char* what;
    bool shopAnswers;
  } cases[] = {{"a pass waiting on its shop", false}, {"a save waiting on a lock", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<LockHolder> other;
    if (c.shopAnswers) other.emplace(home.File("tasks.xml.lock"));
    const int before = shop.Requests("/item.html");
    const pid_t child = SpawnProgram({VantrelctlPath(), "track", "--once"});
    ASSERT_GT(child, 0);
    if (c.shopAnswers) answer.set_value();
    for (int i = 0; i < 2000 && shop.Requests("/item.html") == before; ++i) usleep(5000);
    usleep(300000);  // into the pass, or into the save after it
    const auto start = std::chrono::steady_clock::now();
    kill(child, SIGTERM);
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

}  // namespace
