#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/autostart.h"
#include "base/files.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "support/tempdir.h"

namespace {

// Keeps an environment variable for the test's duration.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : m_name(name) {
    if (const char* value = std::getenv(name)) m_value = value, m_had = true;
  }
  ~SavedVariable() {
    if (m_had)
      setenv(m_name, m_value.c_str(), 1);
    else
      unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::string m_value;
  bool m_had = false;
};

class AutoStart : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    SetMessageHandler([this](unsigned id, int kind, const std::string&) {
      shown.push_back(id);
      return kind == kMessageQuestion ? answer : IDOK;
    });
  }
  void TearDown() override { SetMessageHandler(nullptr); }

  std::string DesktopFile() const { return config.File("autostart/Vantrel.desktop"); }

  SavedVariable savedConfig{"XDG_CONFIG_HOME"};
  SavedVariable savedHome{"HOME"};
  TempDir home{true};
  TempDir config;
  std::vector<unsigned> shown;
  int answer = IDYES;
};

TEST_F(AutoStart, OnWritesTheFileAfterTheNoticeAndOffRemovesIt) {
  EXPECT_FALSE(IsAutoStartEnabled());
  EXPECT_EQ(AutoStartFilePath(), DesktopFile());

  EXPECT_EQ(SetAutoStart(true), IDS_AUTOSTART_ON_OK);
  EXPECT_EQ(shown, std::vector<unsigned>{IDS_AUTOSTART_WARNING});
  EXPECT_TRUE(IsAutoStartEnabled());
  const std::string text = config.Read("autostart/Vantrel.desktop");
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(text.find("\nExec=" + AutoStartExec(RunningProgramPath()) + "\n"), std::string::npos);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);

  shown.clear();
  EXPECT_EQ(SetAutoStart(false), IDS_AUTOSTART_OFF_OK);
  EXPECT_TRUE(shown.empty());  // only switching on warns
  EXPECT_FALSE(FileExists(DesktopFile()));
  EXPECT_FALSE(IsAutoStartEnabled());
  // Off when it is already off is what was asked for.
  EXPECT_EQ(SetAutoStart(false), IDS_AUTOSTART_OFF_OK);
}

TEST_F(AutoStart, FallsBackToHomeWhenTheConfigFolderIsNotAbsolute) {
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  setenv("HOME", config.Path().c_str(), 1);
  EXPECT_EQ(AutoStartFilePath(), config.Path() + ".config/autostart/Vantrel.desktop");
  EXPECT_EQ(SetAutoStart(true), IDS_AUTOSTART_ON_OK);
  EXPECT_TRUE(IsAutoStartEnabled());
}

TEST_F(AutoStart, AnUnusableFolderGivesNoMessageId) {
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(AutoStartFilePath(), "");
  EXPECT_EQ(SetAutoStart(true), 0u);
  EXPECT_EQ(SetAutoStart(false), 0u);
  EXPECT_FALSE(IsAutoStartEnabled());

  // A file where the folder should be: the folder cannot be made.
  config.Write("blocker", "x");
  setenv("XDG_CONFIG_HOME", config.File("blocker").c_str(), 1);
  EXPECT_EQ(SetAutoStart(true), 0u);
}

TEST_F(AutoStart, WriteAndDeleteFailuresGiveTheirMessages) {
  // A folder in the file's place can neither be replaced nor unlinked.
  std::filesystem::create_directories(DesktopFile() + "/inside");
  EXPECT_EQ(SetAutoStart(true), IDS_AUTOSTART_ON_FAILED);
  EXPECT_EQ(SetAutoStart(false), IDS_AUTOSTART_OFF_FAILED);
  EXPECT_FALSE(IsAutoStartEnabled());
}

TEST_F(AutoStart, EnabledOnlyWhenTheFileStartsThisProgram) {
  const std::string program = RunningProgramPath();
  ASSERT_FALSE(program.empty());
  struct Case {
    std::string file;
    bool enabled;
  } cases[] = {
      {"[Desktop Entry]\nExec=" + AutoStartExec(program) + "\n", true},
      {"[Desktop Entry]\nExec = " + AutoStartExec(program) + "\n", true},
      {"[Desktop Entry]\r\nExec=" + program + " hidewnd\r\n", true},
      {"[Desktop Entry]\nExec=\"/usr/bin/other\" hidewnd\n", false},
      {"[Desktop Entry]\nHidden=true\nExec=" + AutoStartExec(program) + "\n", false},
      {"[Desktop Action x]\nExec=" + AutoStartExec(program) + "\n", false},
      {"[Desktop Entry]\nExecutable=" + AutoStartExec(program) + "\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    config.Write("autostart/Vantrel.desktop", c.file);
    EXPECT_EQ(IsAutoStartEnabled(), c.enabled) << c.file;
  }
}

TEST(AutoStartExec, QuotesAndEscapesByTheDesktopEntryRules) {
  struct Case {
    std::string path;
    std::string exec;
  } cases[] = {
      {"/opt/vantrel/Vantrel", "\"/opt/vantrel/Vantrel\" hidewnd"},
      {"/home/a b/Vantrel", "\"/home/a b/Vantrel\" hidewnd"},
      {"/x/\"q\"/V", "\"/x/\\\\\"q\\\\\"/V\" hidewnd"},
      {"/x/$HOME/`id`/V", "\"/x/\\\\$HOME/\\\\`id\\\\`/V\" hidewnd"},
      {"/x/back\\slash/V", "\"/x/back\\\\\\\\slash/V\" hidewnd"},
      {"/x/100%u/V", "\"/x/100%%u/V\" hidewnd"},
      {"/x/new\nline/V", "\"/x/new\\nline/V\" hidewnd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AutoStartExec(c.path), c.exec) << c.path;
    EXPECT_EQ(ParseExec(AutoStartExec(c.path)), (std::vector<std::string>{c.path, "hidewnd"}))
        << c.path;
  }
}

TEST(AutoStartExec, ReadsUnquotedAndMixedArguments) {
  EXPECT_EQ(ParseExec("prog  a\\sb \"c d\"e"),
            (std::vector<std::string>{"prog", "a", "b", "c de"}));
  EXPECT_EQ(ParseExec(""), std::vector<std::string>{});
  EXPECT_EQ(ParseExec("\"unterminated \\"), std::vector<std::string>{"unterminated \\"});
}

TEST_F(AutoStart, TheOfferAsksUntilAutostartIsOnAndShowsNoResult) {
  answer = IDNO;
  OfferAutoStart();
  EXPECT_EQ(shown, std::vector<unsigned>{IDS_AUTOSTART_OFFER});
  EXPECT_FALSE(IsAutoStartEnabled());

  shown.clear();
  answer = IDCANCEL;
  OfferAutoStart();
  EXPECT_FALSE(IsAutoStartEnabled());

  shown.clear();
  answer = IDYES;
  OfferAutoStart();
  EXPECT_EQ(shown, (std::vector<unsigned>{IDS_AUTOSTART_OFFER, IDS_AUTOSTART_WARNING}));
  EXPECT_TRUE(IsAutoStartEnabled());

  shown.clear();
  OfferAutoStart();
  EXPECT_TRUE(shown.empty());
}

}  // namespace
