#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "services/updatecheck.h"
#include "support/tempdir.h"
#include "update_folder.h"

namespace {

std::string UpdateIni(const std::string& version, const std::string& siteVersion) {
  return "[Vantrel]\r\nVERSION=" + version + "\r\nSITE_CONFIG_VERSION=" + siteVersion +
         "\r\nFILE1=Vantrel\r\n";
}

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.PointProgramAt();
    SetUpdaterLauncher([this](const std::string& program, const std::vector<std::string>& args) {
      launchedProgram = program;
      launchedArguments = args;
      return launchResult;
    });
    SetMessageHandler([this](unsigned id, int, const std::string&) {
      shown.push_back(id);
      return IDOK;
    });
  }
  void TearDown() override {
    SetUpdaterLauncher(nullptr);
    SetMessageHandler(nullptr);
  }

  TempDir home{true};
  UpdateFolder folder;
  std::string launchedProgram;
  std::vector<std::string> launchedArguments;
  bool launchResult = true;
  std::vector<unsigned> shown;
};

TEST_F(UpdateCheck, ComparesBothVersionsAsDecimalNumbers) {
  struct Case {
    std::string version, siteConfigVersion, siteVersion;
    bool due;
  } cases[] = {
      {"1.069", "20", "20", false},   // both current
      {"1.069", "21", "20", true},    // only the rules are newer
      {"1.1", "20", "20", true},      // 1.1 is newer than 1.069
      {"1.0690", "20", "20", false},  // the same number written longer
      {"1.07", "20.0", "20", true},   // 1.07 is newer than 1.069; 20.0 equals 20
      {"1.068", "19", "20", false},   // both older
      {"2", "100", "99999", true},    // rules without a version: only the program counts
      {"1.069", "100", "99999", false}, {"", "", "20", false},  // empty values read as 0
      {"abc", "xyz", "20", false},                              // so do words
  };
  for (const Case& c : cases) {
    folder.Serve("update.ini", UpdateIni(c.version, c.siteConfigVersion));
    EXPECT_EQ(CheckForUpdate(c.siteVersion), c.due)
        << c.version << " / " << c.siteConfigVersion << " vs " << c.siteVersion;
    // Kept for the updater only when there is something to update.
    EXPECT_EQ(FileExists(home.File("update.ini")), c.due) << c.version;
  }
}

TEST_F(UpdateCheck, MissingKeysReadAsOnePointZero) {
  folder.Serve("update.ini", "[Other]\nVERSION=9\n");
  EXPECT_FALSE(CheckForUpdate("1.0"));
  EXPECT_TRUE(CheckForUpdate("0.9"));
}

TEST_F(UpdateCheck, HigherRulesVersionStartsTheUpdaterWithFourArguments) {
  folder.Serve("update.ini", UpdateIni("1.069", "31"));
  home.Write("update", "#!/bin/sh\n");
  ASSERT_TRUE(UpdateDueAtStartup("30"));
  ASSERT_TRUE(StartUpdater("30"));
  EXPECT_EQ(launchedProgram, home.File("update"));
  EXPECT_EQ(launchedArguments,
            (std::vector<std::string>{"Vantrel", "1.069", "30", folder.Url("update.ini")}));
  EXPECT_TRUE(FileExists(home.File("update.ini")));

  launchResult = false;
  EXPECT_FALSE(StartUpdater("30"));
}

TEST_F(UpdateCheck, UnreachableServerMeansNoUpdateEvenWithAnOldFileLeft) {
  IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl",
                 UnreachableUrl("/update/update.ini"));
  home.Write("update.ini", UpdateIni("9.0", "99999999"));
  EXPECT_FALSE(CheckForUpdate("30"));
  EXPECT_FALSE(FileExists(home.File("update.ini")));

  // A server that answers with an error page counts as no update either.
  folder.PointProgramAt();
  EXPECT_FALSE(CheckForUpdate("30"));  // 404
  EXPECT_EQ(folder.Requests("update.ini"), 1);
}

TEST_F(UpdateCheck, StartUpRuleNeedsTheUpdaterAndAutoUpdateOn) {
  folder.Serve("update.ini", UpdateIni("9.0", "1"));
  // No updater: no check at all.
  EXPECT_FALSE(UpdateDueAtStartup("30"));
  EXPECT_EQ(folder.Requests("update.ini"), 0);

  home.Write("update", "");
  IniWriteString(ProgramFile("config.ini"), "Base", "AutoUpdate", "1");
  EXPECT_FALSE(IsAutoUpdateOn());
  EXPECT_FALSE(UpdateDueAtStartup("30"));
  EXPECT_EQ(folder.Requests("update.ini"), 0);

  IniWriteString(ProgramFile("config.ini"), "Base", "AutoUpdate", "0");
  EXPECT_TRUE(UpdateDueAtStartup("30"));
  EXPECT_EQ(folder.Requests("update.ini"), 1);
}

TEST_F(UpdateCheck, CommandSaysWhenThereIsNothingNew) {
  folder.Serve("update.ini", UpdateIni("1.069", "30"));
  home.Write("update", "");
  EXPECT_FALSE(RunUpdateCommand("30"));
  EXPECT_EQ(shown, std::vector<unsigned>{IDS_NO_NEW_VERSION});
  EXPECT_TRUE(launchedProgram.empty());

  // Without the updater there is nothing to hand over to, whatever is new.
  shown.clear();
  folder.Serve("update.ini", UpdateIni("2.0", "30"));
  DeleteFile(home.File("update"));
  EXPECT_FALSE(RunUpdateCommand("30"));
  EXPECT_EQ(shown, std::vector<unsigned>{IDS_NO_NEW_VERSION});

  shown.clear();
  home.Write("update", "");
  EXPECT_TRUE(RunUpdateCommand("30"));
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(launchedArguments.at(0), "Vantrel");
}

// Installed as a package, a new program comes through the package manager;
// the updater runs for newer shop rules only.
TEST_F(UpdateCheck, InstalledANewProgramIsOnlyTold) {
  home.Write("update", "");
  const struct {
    const char* version;
    const char* rules;
    bool command;  // the command starts the updater
    bool startUp;  // start-up hands over to it
  } cases[] = {
      {"2.0", "30", false, false}, {"1.069", "31", true, true}, {"2.0", "31", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.rules);
    folder.Serve("update.ini", UpdateIni(c.version, c.rules));
    shown.clear();
    EXPECT_EQ(RunUpdateCommand("30", true), c.command);
    EXPECT_EQ(shown, std::vector<unsigned>(c.command ? 0 : 1, IDS_UPD_NEW_PACKAGE));
    EXPECT_EQ(FileExists(home.File("update.ini")), c.command);
    EXPECT_EQ(UpdateDueAtStartup("30", true), c.startUp);
    EXPECT_EQ(FileExists(home.File("update.ini")), c.startUp);
  }
}

TEST_F(UpdateCheck, AutoUpdateSwitchWritesItsKeyAndReportsIt) {
  EXPECT_TRUE(IsAutoUpdateOn());  // missing key: on
  EXPECT_EQ(SetAutoUpdate(false), IDS_AUTOUPDATE_OFF_OK);
  EXPECT_EQ(IniGetString(ProgramFile("config.ini"), "Base", "AutoUpdate", ""), "1");
  EXPECT_FALSE(IsAutoUpdateOn());
  EXPECT_EQ(SetAutoUpdate(true), IDS_AUTOUPDATE_ON_OK);
  EXPECT_EQ(IniGetString(ProgramFile("config.ini"), "Base", "AutoUpdate", ""), "0");

  // config.ini that cannot be written: a folder in its place.
  TempDir other(true);
  MakeDirectories(other.File("config.ini"));
  EXPECT_EQ(SetAutoUpdate(true), IDS_AUTOUPDATE_ON_FAILED);
  EXPECT_EQ(SetAutoUpdate(false), IDS_AUTOUPDATE_OFF_FAILED);
}

TEST_F(UpdateCheck, DefaultLauncherRunsTheProgramWithoutAShell) {
  SetUpdaterLauncher(nullptr);
  // The script records its arguments one a line; a shell would have split
  // or expanded the URL.
  home.Write("update",
             "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args.tmp\"\n"
             "mv \"$0.args.tmp\" \"$0.args\"\n");
  chmod(home.File("update").c_str(), 0755);
  IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl",
                 "http://127.0.0.1:1/a b/$(id)/update.ini");
  ASSERT_TRUE(StartUpdater("3.5"));
  for (int i = 0; i < 500 && !FileExists(home.File("update.args")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(home.Read("update.args"),
            "Vantrel\n1.069\n3.5\nhttp://127.0.0.1:1/a b/$(id)/update.ini\n");

  DeleteFile(home.File("update"));
  EXPECT_FALSE(StartUpdater("3.5"));
}

}  // namespace
