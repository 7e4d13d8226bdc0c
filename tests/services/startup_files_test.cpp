#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <utime.h>

#include "base/clock.h"
#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "services/startup.h"
#include "support/spider_timeouts.h"
#include "support/tempdir.h"
#include "update_folder.h"

namespace {

std::time_t Local(int year, int month, int day, int hour, int minute, int second) {
  std::tm when{};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_hour = hour;
  when.tm_min = minute;
  when.tm_sec = second;
  when.tm_isdst = -1;
  return std::mktime(&when);
}

void SetWriteTime(const std::string& path, std::time_t when) {
  utimbuf times{when, when};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

std::string SitesFile(const std::string& version, const std::string& name,
                      const std::string& domain) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<Sites><Version>" + version +
         "</Version><SiteList><Site><Name>" + name + "</Name><Domain>" + domain +
         "</Domain></Site></SiteList></Sites>";
}

class StartupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    folder.PointProgramAt();
  }

  // A sites.xml of the given size, written now.
  void WriteSites(size_t size) { home.Write("sites.xml", std::string(size, ' ')); }

  TempDir home{true};
  UpdateFolder folder;
};

TEST_F(StartupFiles, UpdateFolderIsTheInformationUrlWithoutItsFileName) {
  EXPECT_EQ(UpdateFolderUrl(), folder.Url(""));
  IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl", "");
  EXPECT_EQ(UpdateFolderUrl(), "");
}

// Outdated rules are reported for a refresh, never deleted before one.
TEST_F(StartupFiles, ShortOldOrMissingRulesAskForARefreshAndStay) {
  EXPECT_TRUE(PrepareRuntimeFiles());  // missing

  WriteSites(60899);
  EXPECT_TRUE(PrepareRuntimeFiles());
  EXPECT_EQ(FileSize(home.File("sites.xml")), 60899);

  WriteSites(60900);
  EXPECT_FALSE(PrepareRuntimeFiles());

  WriteSites(70000);
  SetWriteTime(home.File("sites.xml"), Local(2012, 9, 3, 0, 59, 1));
  EXPECT_FALSE(PrepareRuntimeFiles());
  SetWriteTime(home.File("sites.xml"), Local(2012, 9, 3, 0, 59, 0));
  EXPECT_TRUE(PrepareRuntimeFiles());
  EXPECT_EQ(FileSize(home.File("sites.xml")), 70000);
}

TEST_F(StartupFiles, UpdaterADayOlderThanTheCutOffIsReplacedAndTheRulesWithIt) {
  folder.Serve("update", "#!/bin/sh\n");
  home.Write("update", "old");
  WriteSites(70000);
  SetWriteTime(home.File("update"), Local(2014, 11, 22, 0, 0, 1));
  EXPECT_FALSE(PrepareRuntimeFiles());
  EXPECT_EQ(home.Read("update"), "old");

  SetWriteTime(home.File("update"), Local(2014, 11, 22, 0, 0, 0));
  EXPECT_TRUE(PrepareRuntimeFiles());
  EXPECT_EQ(home.Read("update"), "#!/bin/sh\n");
  struct stat st;
  ASSERT_EQ(stat(home.File("update").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_TRUE(FileExists(home.File("sites.xml")));
}

TEST_F(StartupFiles, MissingFilesAreFetchedAndPresentOnesLeftAlone) {
  folder.Serve("ding.wav", "RIFF");
  folder.Serve("imgs/Del.png", "del");
  folder.Serve("imgs/SpinDownHot.png", "spin");
  folder.Serve("priceimg/newegg/0.gif", "zero");
  folder.Serve("priceimg/newegg/9.gif", "nine");
  folder.Serve("priceimg/newegg/pot.gif", "pot");
  home.Write("imgs/SpinDownHot.png", "mine");

  PrepareRuntimeFiles();
  EXPECT_EQ(home.Read("ding.wav"), "RIFF");
  EXPECT_EQ(home.Read("imgs/Del.png"), "del");
  EXPECT_EQ(home.Read("imgs/SpinDownHot.png"), "mine");
  EXPECT_EQ(folder.Requests("imgs/SpinDownHot.png"), 0);
  EXPECT_EQ(home.Read("priceimg/newegg/0.gif"), "zero");
  EXPECT_EQ(home.Read("priceimg/newegg/9.gif"), "nine");
  EXPECT_EQ(home.Read("priceimg/newegg/pot.gif"), "pot");
  // A file the folder does not have is asked for and stays missing.
  EXPECT_EQ(folder.Requests("imgs/Search.png"), 1);
  EXPECT_FALSE(FileExists(home.File("imgs/Search.png")));
  EXPECT_EQ(folder.Requests("priceimg/newegg/5.gif"), 1);
  // Folders the start-up makes in the program directory are the user's alone.
  for (const char* name :
       {"temp", "productimgs", "productitems", "productprices", "priceimg/newegg"}) {
    EXPECT_TRUE(std::filesystem::is_directory(home.File(name))) << name;
    struct stat st {};
    ASSERT_EQ(stat(home.File(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << name;
  }
  EXPECT_FALSE(FileExists(home.File("config.ini.new")));

  PrepareRuntimeFiles();
  EXPECT_EQ(folder.Requests("ding.wav"), 1);
}

TEST_F(StartupFiles, ShortBlankPictureIsFetchedAgain) {
  folder.Serve("productimgs/blank.jpg", std::string(2000, 'b'));
  home.Write("productimgs/blank.jpg", std::string(1266, 'x'));
  PrepareRuntimeFiles();
  EXPECT_EQ(FileSize(home.File("productimgs/blank.jpg")), 1266);

  home.Write("productimgs/blank.jpg", std::string(1265, 'x'));
  PrepareRuntimeFiles();
  EXPECT_EQ(FileSize(home.File("productimgs/blank.jpg")), 2000);
}

TEST_F(StartupFiles, UnreachableFolderLeavesFilesMissingAndGoesOn) {
  IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl",
                 UnreachableUrl("/update/update.ini"));
  home.Write("productimgs/blank.jpg", "short");
  PrepareRuntimeFiles();
  EXPECT_FALSE(FileExists(home.File("ding.wav")));
  EXPECT_EQ(home.Read("productimgs/blank.jpg"), "short");
  EXPECT_TRUE(std::filesystem::is_directory(home.File("priceimg/newegg")));
}

TEST_F(StartupFiles, SilentFolderIsAskedOnceNotOncePerFile) {
  RawHttpServer silent;  // accepts and never answers
  IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl",
                 silent.Url("/update/update.ini"));
  {
    ShortSpiderTimeouts shortened(SpiderTimeouts{1000, 1});
    PrepareRuntimeFiles();
  }
  EXPECT_EQ(silent.Requests("/update/ding.wav"), 1);
  EXPECT_EQ(silent.Requests("/update/imgs/Del.png"), 0);
  EXPECT_EQ(silent.Requests("/update/priceimg/newegg/pot.gif"), 0);
  EXPECT_TRUE(std::filesystem::is_directory(home.File("priceimg/newegg")));
}

TEST_F(StartupFiles, RefreshMergesTheFetchedRulesAndSavesThem) {
  SetClockForTesting([] { return std::time_t{1400000000}; });
  folder.Serve("sites.xml", SitesFile("7", "Fresh", "fresh.example"));
  CSiteList sites;
  ASSERT_TRUE(RefreshSiteRules(sites));
  SetClockForTesting(nullptr);
  EXPECT_EQ(folder.LastStamp("sites.xml"), "1400000000");
  EXPECT_EQ(sites.GetVersion(), "7");
  ASSERT_NE(sites.FindSiteByName("Fresh"), nullptr);
  EXPECT_FALSE(FileExists(home.File("sites_rt.xml")));
  CSiteList saved;
  ASSERT_TRUE(saved.LoadSites(home.File("sites.xml")));
  EXPECT_EQ(saved.GetVersion(), "7");
  EXPECT_NE(saved.FindSiteByDomain("fresh.example"), nullptr);
}

TEST_F(StartupFiles, TheStartUpRefreshKeepsLearnedShops) {
  CSiteList learned;
  auto shop = std::make_shared<CSite>();
  shop->SetName("learned");
  shop->SetDomain("learned.example");
  shop->SetLearned("2024-05-01 10:00:00");
  learned.AddSite(shop);
  ASSERT_TRUE(learned.SaveSites(home.File("sites.xml")));
  folder.Serve("sites.xml", SitesFile("7", "Fresh", "fresh.example"));
  CSiteList sites;  // as at start-up: nothing loaded yet
  ASSERT_TRUE(RefreshSiteRules(sites));
  CSiteList saved;
  ASSERT_TRUE(saved.LoadSites(home.File("sites.xml")));
  EXPECT_NE(saved.FindSiteByDomain("fresh.example"), nullptr);
  ASSERT_NE(saved.FindSiteByDomain("learned.example"), nullptr);
  EXPECT_TRUE(saved.FindSiteByDomain("learned.example")->IsLearned());
}

TEST_F(StartupFiles, FailedRefreshKeepsTheRulesFile) {
  home.Write("sites.xml", SitesFile("5", "Old", "old.example"));
  // Left by an earlier run: must not pass for what the server sent.
  home.Write("sites_rt.xml", SitesFile("6", "Stale", "stale.example"));
  CSiteList sites;
  ASSERT_TRUE(sites.LoadSites(home.File("sites.xml")));
  const std::string before = home.Read("sites.xml");

  EXPECT_FALSE(RefreshSiteRules(sites));  // 404
  folder.Serve("sites.xml", "<html>maintenance</html");
  EXPECT_FALSE(RefreshSiteRules(sites));  // not a document
  folder.Serve("sites.xml", "<?xml version=\"1.0\" ?><Sites><Version>9</Version></Sites>");
  EXPECT_FALSE(RefreshSiteRules(sites));  // a document without a shop
  EXPECT_EQ(home.Read("sites.xml"), before);
  EXPECT_EQ(sites.GetVersion(), "5");
  EXPECT_EQ(sites.FindSiteByName("Stale"), nullptr);
  EXPECT_FALSE(FileExists(home.File("sites_rt.xml")));

  IniWriteString(ProgramFile("config.ini"), "Hosts", "SiteRulesUrl", "");
  EXPECT_FALSE(RefreshSiteRules(sites));
}

}  // namespace
