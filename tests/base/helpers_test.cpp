#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/clock.h"
#include "base/codepage.h"
#include "base/files.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "support/tempdir.h"

namespace {

TEST(ProgramDirectory, FollowsVantrelHomeWithATrailingSlash) {
  TempDir dir(true);
  EXPECT_EQ(ProgramDirectory(), dir.Path());
  setenv("VANTREL_HOME", "/some/where", 1);
  EXPECT_EQ(ProgramDirectory(), "/some/where/");
  EXPECT_EQ(ProgramFile("productimgs\\blank.jpg"), "/some/where/productimgs/blank.jpg");
}

TEST(ProgramDirectory, WithoutVantrelHomeIsTheExecutablesFolder) {
  const char* old = std::getenv("VANTREL_HOME");
  std::string saved = old ? old : "";
  unsetenv("VANTREL_HOME");
  std::string dir = ProgramDirectory();
  if (old) setenv("VANTREL_HOME", saved.c_str(), 1);
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(FileExists(dir + "base_tests"));
}

TEST(TimeText, PadsEverythingButTheYear) {
  setenv("TZ", "UTC", 1);
  tzset();
  SetClockForTesting([] { return std::time_t{1362272707}; });  // 2013-03-03 01:05:07 UTC
  EXPECT_EQ(FormatNowText(), "2013-03-03 01:05:07");
  EXPECT_EQ(NowStamp(), "1362272707");
  std::time_t back = 0;
  ASSERT_TRUE(ParseTimeText("2013-03-03 01:05:07", back));
  EXPECT_EQ(back, 1362272707);
  EXPECT_FALSE(ParseTimeText("yesterday", back));
  SetClockForTesting(nullptr);
}

TEST(StringTable, HoldsTheTextsInTheLocalCodePage) {
  EXPECT_EQ(LoadStringUtf8(IDS_SAVE_TASKS_FAILED), "保存任务文件失败！");
  EXPECT_EQ(LocalToUtf8(LoadString(IDS_NO_NETWORK)), "网络不通，程序退出！");
  EXPECT_EQ(LoadString(IDS_VERSION), "1.069");
  EXPECT_EQ(IDS_ADD_DUPLICATE, 57721u);
  EXPECT_EQ(LoadString(12345), "");
}

TEST(ShowMessage, KindsAndHandler) {
  std::string shown;
  SetMessageHandler([&](unsigned, int kind, const std::string& text) {
    shown = text;
    return kind == kMessageInfo ? IDOK : IDYES;
  });
  EXPECT_EQ(ShowMessage(IDS_NO_NETWORK, 3), 0);
  EXPECT_EQ(shown, "");
  EXPECT_EQ(ShowMessage(IDS_NO_NETWORK, kMessageInfo), IDOK);
  EXPECT_EQ(shown, LoadString(IDS_NO_NETWORK));
  EXPECT_EQ(ShowMessage(IDS_AUTOSTART_OFFER, kMessageQuestion), IDYES);
  SetMessageHandler(nullptr);
  EXPECT_EQ(ShowMessage(IDS_NO_NETWORK, kMessageInfo), IDOK);
  EXPECT_EQ(ShowMessage(IDS_AUTOSTART_OFFER, kMessageQuestion), IDNO);
}

TEST(Files, AtomicWriteReplacesAndKeepAsideCopiesOnce) {
  TempDir dir;
  std::string file = dir.File("tasks.xml");
  ASSERT_TRUE(WriteFileAtomic(file, "one"));
  ASSERT_TRUE(WriteFileAtomic(file, "two"));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, "two");
  EXPECT_EQ(FileSize(file), 3);
  KeepAside(file);
  WriteFileAtomic(file, "three");
  KeepAside(file);
  EXPECT_EQ(dir.Read("tasks.xml.bad"), "two");
  EXPECT_FALSE(WriteFileAtomic(dir.File("missing/tasks.xml"), "x"));
  EXPECT_EQ(FileSize(dir.File("missing/tasks.xml")), -1);
}

// Only regular files are read: devices and FIFOs have no end (or block),
// folders are no files; nothing is returned for them, at once.
TEST(Files, WholeFileReaderRefusesWhatIsNotARegularFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/zero"), dir.File("pipe"), dir.Path()}) {
    std::string bytes = "old";
    EXPECT_FALSE(ReadWholeFile(path, bytes)) << path;
    EXPECT_EQ(bytes, "") << path;
  }
}

}  // namespace
