#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/files.h"
#include "support/tempdir.h"

namespace {

// Runs a shell command line and returns its standard output and exit status.
std::string Shell(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Program() {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  return std::string(dir ? dir : ".") + "/vantrelctl";
}

TEST(VantrelctlRegex, PrintsTheMatchArray) {
  TempDir dir(true);
  std::string file = dir.Path() + "page.html";
  ASSERT_TRUE(WriteFileAtomic(file, "<html><TITLE>Shoe</title></html>"));
  int status = -1;
  EXPECT_EQ(Shell(Program() + " regex --flags 9 '<title>(.*?)</title>' " + file, status),
            "1 1 6 25 13 17\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Shell(Program() + " regex '<title>(.*?)</title>' " + file, status), "none\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(Shell("printf 'aXa' | " + Program() + " regex --start 1 a", status), "1 0 2 3\n");
  EXPECT_EQ(status, 0);
}

TEST(VantrelctlRegex, AllPrintsOneLinePerMatchAndEnds) {
  int status = -1;
  EXPECT_EQ(Shell("printf '\"t\":\"1\",\"t\":\"22\"' | " + Program() +
                    " regex --all --flags 9 '\"t\":\"(.*?)\"'",
                status),
            "1 1 0 7 5 6\n1 1 8 16 13 15\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Shell("printf 'axxb' | " + Program() + " regex --all 'x*'", status),
            "1 0 0 0\n1 0 1 3\n1 0 3 3\n1 0 4 4\n");
  EXPECT_EQ(Shell("printf 'axxb' | " + Program() + " regex --all --flags 16 'x+'", status),
            "1 0 1 3\n");
  EXPECT_EQ(Shell(Program() + " regex 2>/dev/null", status), "");
  EXPECT_EQ(status, 2);
}

}  // namespace
