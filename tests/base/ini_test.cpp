#include "base/ini.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

TEST(Ini, MissingFileSectionOrKeyGivesTheDefault) {
  TempDir dir;
  std::string file = dir.File("config.ini");
  EXPECT_EQ(IniGetString(file, "Base", "SleepTime", "x"), "x");
  EXPECT_EQ(IniGetInt(file, "Base", "SleepTime", 1), 1);
  dir.Write("config.ini", "[Base]\r\nMsgPop=1\r\n");
  EXPECT_EQ(IniGetInt(file, "Base", "SleepTime", 1), 1);
  EXPECT_EQ(IniGetInt(file, "User", "MsgPop", 5), 5);
}

TEST(Ini, NamesCompareWithoutCaseAndValuesAreTrimmed) {
  TempDir dir;
  dir.Write("config.ini", "  [base] \n  msgpop =  1  \nName = \"  quoted  \"\nOther='x'\n");
  std::string file = dir.File("config.ini");
  EXPECT_EQ(IniGetInt(file, "Base", "MsgPop", 0), 1);
  EXPECT_EQ(IniGetString(file, "BASE", "name", ""), "  quoted  ");
  EXPECT_EQ(IniGetString(file, "Base", "Other", ""), "x");
}

TEST(Ini, PresentButEmptyOrNonNumericIntegerIsZero) {
  TempDir dir;
  dir.Write("config.ini", "[Base]\r\nSleepTime=\r\nListTextSize=abc\r\nA=12px\r\nB=-3\r\n");
  std::string file = dir.File("config.ini");
  EXPECT_EQ(IniGetInt(file, "Base", "SleepTime", 1), 0);
  EXPECT_EQ(IniGetInt(file, "Base", "ListTextSize", 16), 0);
  EXPECT_EQ(IniGetInt(file, "Base", "A", 0), 12);
  EXPECT_EQ(IniGetInt(file, "Base", "B", 0), -3);
}

TEST(Ini, WritesKeepEverythingElse) {
  TempDir dir;
  dir.Write("config.ini", "; comment\r\n[Base]\r\nMsgPop=0\r\n\r\n[User]\r\nUsername=a\r\n");
  std::string file = dir.File("config.ini");
  ASSERT_TRUE(IniWriteString(file, "base", "MSGPOP", "1"));
  ASSERT_TRUE(IniWriteString(file, "Base", "SleepTime", "3"));
  ASSERT_TRUE(IniWriteString(file, "Hosts", "Shop", "example.com"));
  EXPECT_EQ(dir.Read("config.ini"),
            "; comment\r\n[Base]\r\nMSGPOP=1\r\nSleepTime=3\r\n\r\n[User]\r\nUsername=a\r\n"
            "[Hosts]\r\nShop=example.com\r\n");
}

TEST(Ini, DeletingKeysAndSectionsRemovesTheirLines) {
  TempDir dir;
  dir.Write("config.ini", "[Base]\nMsgPop=0\n[User]\nUsername=a\nPassword=b\nNickname=c\n");
  std::string file = dir.File("config.ini");
  ASSERT_TRUE(IniDeleteKey(file, "user", "password"));
  ASSERT_TRUE(IniDeleteKey(file, "User", "Missing"));
  EXPECT_EQ(dir.Read("config.ini"), "[Base]\nMsgPop=0\n[User]\nUsername=a\nNickname=c\n");
  ASSERT_TRUE(IniDeleteSection(file, "USER"));
  EXPECT_EQ(dir.Read("config.ini"), "[Base]\nMsgPop=0\n");
}

TEST(Ini, NewFileIsPrivateAndAnExistingModeIsKept) {
  TempDir dir;
  std::string file = dir.File("config.ini");
  ASSERT_TRUE(IniWriteString(file, "User", "Password", "secret"));
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  chmod(file.c_str(), 0640);
  ASSERT_TRUE(IniWriteString(file, "User", "Password", "other"));
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Ini, LineEndsAndNulAreRefusedAndNothingIsWritten) {
  TempDir dir;
  dir.Write("config.ini", "[Hosts]\r\nAccountUrl=http://127.0.0.1/\r\n");
  std::string file = dir.File("config.ini");
  const std::string bad[] = {"a\rb", "a\nb", "x\r\n[Hosts]\r\nAccountUrl=http://203.0.113.9/",
                             std::string("a\0b", 3)};
  for (const std::string& text : bad) {
    EXPECT_FALSE(IniTextWritable(text));
    EXPECT_FALSE(IniWriteString(file, "User", "Nickname", text));
    EXPECT_FALSE(IniWriteString(file, "User", text, "1"));
    EXPECT_FALSE(IniWriteString(file, text, "Nickname", "1"));
  }
  EXPECT_EQ(dir.Read("config.ini"), "[Hosts]\r\nAccountUrl=http://127.0.0.1/\r\n");
  EXPECT_TRUE(IniWriteString(file, "User", "Nickname", "Lin \t|=;[x]"));
  EXPECT_EQ(IniGetString(file, "User", "Nickname", ""), "Lin \t|=;[x]");
}

TEST(Ini, WriteFailsWhenTheFolderIsMissing) {
  EXPECT_FALSE(IniWriteString("/nonexistent-folder/config.ini", "Base", "A", "1"));
}

}  // namespace
