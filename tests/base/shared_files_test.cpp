// Files several processes write: lock waits that end and name the holder,
// swapped writes that need no new file, a log no writer cuts short.
#include <sys/stat.h>

#include <chrono>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/filelock.h"
#include "base/files.h"
#include "base/logfile.h"
#include "base/stoprequest.h"
#include "support/lockholder.h"
#include "support/tempdir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SharedFiles : public testing::Test {
 protected:
  ~SharedFiles() override {
    SetFileLockPatience(10s);
    ClearStopRequest();
  }
  TempDir dir;
};

TEST_F(SharedFiles, ALockHeldElsewhereIsWaitedForBoundedlyAndItsHolderNamed) {
  const std::string path = dir.File("x.lock");
  LockHolder other(path);
  ASSERT_TRUE(other.Holding());
  const struct {
    const char* what;
    FileLock::Wait wait;
    std::chrono::milliseconds patience;
    bool stopping;
    Clock::duration atMost;
  } cases[] = {
      {"patient", FileLock::Wait::kPatiently, 300ms, false, 3s},
      {"one try", FileLock::Wait::kNotAtAll, 10s, false, 1s},
      {"ending process", FileLock::Wait::kPatiently, 10s, true, 3s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetFileLockPatience(c.patience);
    if (c.stopping) RequestStop();
    const Clock::time_point start = Clock::now();
    FileLock lock(path, c.wait);
    EXPECT_LT(Clock::now() - start, c.atMost);
    EXPECT_TRUE(lock.Busy());
    EXPECT_EQ(lock.Holder(), other.Pid());
    EXPECT_NE(FileHeldText(lock.Holder()).find(std::to_string(other.Pid())), std::string::npos);
  }
  other.Release();
  EXPECT_TRUE(FileLock(path).Acquired());
}

TEST_F(SharedFiles, SwappedWritesReuseTwoFilesAndKeepTheMode) {
  const std::string path = dir.File("h.xml");
  std::set<ino_t> inodes;
  for (int i = 0; i < 6; ++i) {
    // Each version shorter than the one before: nothing of an older one stays.
    const std::string bytes = "version " + std::to_string(i) + std::string(10 - i, '.');
    ASSERT_TRUE(WriteFileSwapped(path, bytes));
    if (i == 0) chmod(path.c_str(), 0640);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    inodes.insert(st.st_ino);
    EXPECT_EQ(dir.Read("h.xml"), bytes);
    if (i > 0) {
      EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
  }
  EXPECT_EQ(inodes.size(), 2u);
}

TEST_F(SharedFiles, ALogStartsAgainOnlyUnderItsLock) {
  const std::string path = dir.File("notify.log");
  const std::string old(100, 'x');
  dir.Write("notify.log", old + "\n");
  {
    LockHolder other(path + ".lock");
    SetFileLockPatience(100ms);
    EXPECT_TRUE(AppendLogLine(path, "a", 50));
    EXPECT_EQ(dir.Read("notify.log"), old + "\na\n");
  }
  EXPECT_TRUE(AppendLogLine(path, "b", 50));
  EXPECT_EQ(dir.Read("notify.log"), "b\n");
}

}  // namespace
