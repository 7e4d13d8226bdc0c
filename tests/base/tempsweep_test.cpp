#include "base/tempsweep.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "base/files.h"
#include "support/tempdir.h"

namespace {

pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

TEST(TempSweep, OnlyTemporariesOfEndedProcessesGo) {
  TempDir dir;
  const std::string dead = std::to_string(EndedProcess());
  const std::string self = std::to_string(getpid());
  const struct {
    std::string name;
    bool removed;
  } files[] = {
      {"tasks.xml.tmp" + dead + "_1", true},
      {"x.tmp" + dead + "_12", true},
      {"tasks.xml.tmp" + self + "_2", false},
      {"tasks.xml.tmp1_3", false},  // init runs
      {"tasks.xml", false},
      {"notes.tmp", false},
      {"a.tmp" + dead + "_x", false},
      {"a.tmpx_1", false},
  };
  for (const auto& f : files) dir.Write(f.name, "x");
  EXPECT_EQ(SweepStaleTemporaries(dir.Path()), 2);
  for (const auto& f : files) EXPECT_EQ(FileExists(dir.File(f.name)), !f.removed) << f.name;
}

TEST(TempSweep, OnlyOldFilesOfNoTaskGo) {
  TempDir dir;
  const std::time_t now = std::time(nullptr);
  const struct {
    std::string name;
    std::time_t written;
    bool removed;
  } files[] = {
      {"shop_1.xml", now - 7200, false},        // a task's file
      {"shop_2.xml", now - 7200, true},         // left by a killed add
      {"shop_3.xml", now - 10, false},          // an add under way
      {"shop_2.xml.bad-1", now - 7200, false},  // set aside, kept
      {"blank.jpg", now - 7200, false},
  };
  for (const auto& f : files) {
    dir.Write(f.name, "x");
    const timespec times[2] = {{f.written, 0}, {f.written, 0}};
    utimensat(AT_FDCWD, dir.File(f.name).c_str(), times, 0);
  }
  EXPECT_EQ(SweepOrphans(dir.Path(), ".xml", {"shop_1"}, now - 3600), 1);
  for (const auto& f : files) EXPECT_EQ(FileExists(dir.File(f.name)), !f.removed) << f.name;
}

}  // namespace
