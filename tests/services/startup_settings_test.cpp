#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/task.h"
#include "services/startup.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"
#include "update_folder.h"

namespace {

std::string Config() { return ProgramFile("config.ini"); }

TEST(AppSettings, DefaultsWithoutConfigFileAndNoFileIsMade) {
  TempDir home(true);
  const AppSettings settings = ReadAppSettings();
  EXPECT_EQ(settings.sleepTimeMs, 1000);
  EXPECT_EQ(settings.shareIconSize, 0);
  EXPECT_EQ(settings.listTextSize, 16);
  EXPECT_EQ(settings.popMsgAutoClose, 0);
  EXPECT_EQ(settings.msgPop, 0);
  EXPECT_EQ(settings.username, "");
  EXPECT_FALSE(FileExists(Config()));
}

TEST(AppSettings, SleepTimeIsSecondsTimesAThousand) {
  TempDir home(true);
  struct Case {
    const char* value;  // null: key missing
    int ms;
  } cases[] = {
      {nullptr, 1000}, {"", 0},      {"abc", 0}, {"5", 5000},
      {" 7 ", 7000},   {"3x", 3000}, {"-2", 0},  {"2147483647", INT_MAX},
  };
  for (const Case& c : cases) {
    IniDeleteKey(Config(), "Base", "SleepTime");
    if (c.value) IniWriteString(Config(), "Base", "SleepTime", c.value);
    EXPECT_EQ(ReadAppSettings().sleepTimeMs, c.ms) << (c.value ? c.value : "(missing)");
  }
}

TEST(AppSettings, ReadsEveryKey) {
  TempDir home(true);
  home.Write("config.ini",
             "[Base]\nShareIconSize=1\nListTextSize=14\nPopMsgAutoClose=1\nMsgPop=1\n"
             "[User]\nUsername=a@b.example\nPassword=cHc=\nNickname=Ann\n");
  const AppSettings settings = ReadAppSettings();
  EXPECT_EQ(settings.shareIconSize, 1);
  EXPECT_EQ(settings.listTextSize, 14);
  EXPECT_EQ(settings.popMsgAutoClose, 1);
  EXPECT_EQ(settings.msgPop, 1);
  EXPECT_EQ(settings.username, "a@b.example");
  EXPECT_EQ(settings.password, "cHc=");
  EXPECT_EQ(settings.nickname, "Ann");
  // An ordinary account is left as stored.
  EXPECT_EQ(IniGetString(Config(), "User", "Nickname", "?"), "Ann");
}

TEST(AppSettings, TheDemoAccountIsForgottenInMemoryAndInTheFile) {
  TempDir home(true);
  home.Write("config.ini", std::string("[Base]\nMsgPop=1\n[User]\nUsername=") + kDemoUsername +
                               "\nPassword=" + kDemoPassword + "\nNickname=Demo\n");
  const AppSettings settings = ReadAppSettings();
  EXPECT_EQ(settings.username, "");
  EXPECT_EQ(settings.password, "");
  EXPECT_EQ(settings.nickname, "");
  for (const char* key : {"Username", "Password", "Nickname"})
    EXPECT_EQ(IniGetString(Config(), "User", key, "missing"), "") << key;
  EXPECT_EQ(IniGetInt(Config(), "Base", "MsgPop", 0), 1);

  // The demo name with another password is somebody's real account.
  IniWriteString(Config(), "User", "Username", kDemoUsername);
  IniWriteString(Config(), "User", "Password", "b3RoZXI=");
  EXPECT_EQ(ReadAppSettings().username, kDemoUsername);
}

class LoadApp : public ::testing::Test {
 protected:
  void SetUp() override {
    servers.PointProgramAt();
    folder.PointProgramAt();
  }
  TempDir home{true};
  FakeProgramServers servers;
  UpdateFolder folder;
};

TEST_F(LoadApp, FetchesMissingRulesThenLoadsRulesTasksAndSettings) {
  std::string sites =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<Sites><Version>3.5</Version>"
      "<SiteList><Site><Name>Fake</Name><Domain>shop.example</Domain></Site>"
      "</SiteList></Sites>";
  folder.Serve("sites.xml", sites);
  {
    CTaskList tasks;
    CTaskValues v;
    v.url = "http://shop.example/1.html";
    v.productName = "Kettle";
    v.status = 1;
    v.siteName = "Fake";
    v.siteDomain = "shop.example";
    v.currentPrice = "99.00";
    tasks.AddTask(std::make_shared<CTask>(v));
    ASSERT_TRUE(tasks.SaveTasks(home.File("tasks.xml")));
  }
  IniWriteString(ProgramFile("config.ini"), "Base", "SleepTime", "2");

  AppData data;
  LoadAppData(data);
  EXPECT_EQ(data.title, LoadString(IDS_APP_TITLE));
  EXPECT_EQ(data.version, "1.069");
  EXPECT_EQ(folder.Requests("sites.xml"), 1);
  EXPECT_EQ(data.sites.GetVersion(), "3.5");
  EXPECT_EQ(data.sites.GetCount(), 1u);
  EXPECT_TRUE(FileExists(home.File("sites.xml")));
  EXPECT_TRUE(data.tasksLoaded);
  ASSERT_EQ(data.tasks.GetCount(), 1);
  // Loading attaches each task's caches, fetched from the servers here.
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  EXPECT_NE(data.tasks.TaskAt(0)->GetPriceHistory(), nullptr);
  EXPECT_TRUE(FileExists(home.File("productprices")));
  EXPECT_EQ(data.settings.sleepTimeMs, 2000);
}

TEST_F(LoadApp, PresentRulesAreNotFetchedAndAnUnreadableTaskFileIsReported) {
  home.Write("sites.xml", std::string(61000, ' '));  // big enough to stay, not a document
  home.Write("tasks.xml", "<Tasks><Task>");
  AppData data;
  LoadAppData(data);
  EXPECT_EQ(folder.Requests("sites.xml"), 0);
  EXPECT_EQ(data.sites.GetCount(), 0u);
  EXPECT_EQ(data.sites.GetVersion(), "99999");
  EXPECT_FALSE(data.tasksLoaded);
  EXPECT_EQ(data.tasks.GetCount(), 0);
  EXPECT_EQ(data.tasks.SetAsideFile().rfind(home.File("tasks.xml.bad-"), 0), 0u);
  EXPECT_TRUE(FileExists(data.tasks.SetAsideFile()));
}

// A short rule file is replaced only by a fetched file with shops; until
// then the program keeps tracking with it.
TEST_F(LoadApp, ShortRulesStayUntilAFetchReplacesThem) {
  const std::string old =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<Sites><Version>1</Version><SiteList>"
      "<Site><Name>Old</Name><Domain>old.example</Domain></Site></SiteList></Sites>";
  home.Write("sites.xml", old);
  for (const char* reply : {"", "<Sites><Version>2</Version><SiteList/></Sites>"}) {
    if (*reply) folder.Serve("sites.xml", reply);
    AppData data;
    LoadAppData(data);
    EXPECT_EQ(home.Read("sites.xml"), old) << reply;
    EXPECT_NE(data.sites.FindSiteByName("Old"), nullptr) << reply;
  }

  folder.Serve("sites.xml",
               "<Sites><Version>3</Version><SiteList><Site><Name>New</Name>"
               "<Domain>new.example</Domain></Site></SiteList></Sites>");
  AppData data;
  LoadAppData(data);
  EXPECT_EQ(data.sites.GetVersion(), "3");
  EXPECT_EQ(data.sites.GetCount(), 1u);
  EXPECT_NE(data.sites.FindSiteByName("New"), nullptr);
  CSiteList saved;
  ASSERT_TRUE(saved.LoadSites(home.File("sites.xml")));
  EXPECT_EQ(saved.GetVersion(), "3");
}

TEST_F(LoadApp, NoTaskFileIsAnEmptyList) {
  AppData data;
  LoadAppData(data);
  EXPECT_TRUE(data.tasksLoaded);
  EXPECT_EQ(data.tasks.GetCount(), 0);
  // The rules could not be fetched (404): start-up goes on without them.
  EXPECT_EQ(folder.Requests("sites.xml"), 1);
  EXPECT_EQ(data.sites.GetCount(), 0u);
}

}  // namespace
