#include "base/proclist.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "running_program.h"
#include "support/tempdir.h"

namespace {

const std::string kName = "VantrelProc" + std::to_string(getpid());

TEST(ProcessList, FindsAProgramByItsExecutableNameWithoutRegardToCase) {
  TempDir dir;
  EXPECT_EQ(FindRunningProgram(kName), -1);
  RunningCopy copy(dir, kName, "/bin/sleep", {"30"});
  ASSERT_GT(copy.Pid(), 0);
  EXPECT_EQ(FindRunningProgram(kName), copy.Pid());
  std::string upper = kName;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(FindRunningProgram(upper), copy.Pid());
  EXPECT_EQ(FindRunningProgram(kName.substr(0, kName.size() - 1)), -1);
  EXPECT_EQ(FindRunningProgram(""), -1);
}

TEST(ProcessList, AProgramReplacedOnDiskIsStillFound) {
  TempDir dir;
  RunningCopy copy(dir, kName, "/bin/sleep", {"30"});
  ASSERT_GT(copy.Pid(), 0);
  // An update renames a new file over the running one.
  dir.Write("new", "new program");
  ASSERT_EQ(std::rename(dir.File("new").c_str(), dir.File(kName).c_str()), 0);
  EXPECT_EQ(FindRunningProgram(kName), copy.Pid());
}

TEST(ProcessList, EndProgramAsksFirst) {
  TempDir dir;
  RunningCopy copy(dir, kName, "/bin/sleep", {"30"});
  ASSERT_GT(copy.Pid(), 0);
  EXPECT_TRUE(EndProgram(copy.Pid()));
  EXPECT_FALSE(copy.Running());
  EXPECT_EQ(copy.EndSignal(), SIGTERM);
}

TEST(ProcessList, EndProgramKillsWhatIgnoresTheRequest) {
  TempDir dir;
  RunningCopy copy(dir, kName, "/bin/sh", {"-c", "trap '' TERM; while :; do sleep 1; done"});
  ASSERT_GT(copy.Pid(), 0);
  usleep(200 * 1000);  // let the shell set its trap
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(EndProgram(copy.Pid(), 300));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_FALSE(copy.Running());
  EXPECT_EQ(copy.EndSignal(), SIGKILL);
}

TEST(ProcessList, EndProgramOfNothing) {
  EXPECT_FALSE(EndProgram(0));
  EXPECT_FALSE(EndProgram(-1));
}

}  // namespace
