#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/files.h"
#include "support/command_line.h"
#include "support/tempdir.h"

namespace {

TEST(VantrelctlRegex, PrintsTheMatchArray) {
  TempDir dir(true);
  std::string file = dir.Path() + "page.html";
  ASSERT_TRUE(WriteFileAtomic(file, "<html><TITLE>Shoe</title></html>"));
  int status = -1;
  EXPECT_EQ(RunShell(VantrelctlPath() + " regex --flags 9 '<title>(.*?)</title>' " + file, status),
            "1 1 6 25 13 17\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell(VantrelctlPath() + " regex '<title>(.*?)</title>' " + file, status), "none\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunShell("printf 'aXa' | " + VantrelctlPath() + " regex --start 1 a", status),
            "1 0 2 3\n");
  EXPECT_EQ(status, 0);
}

TEST(VantrelctlRegex, ARunawaySearchSaysItGaveUp) {
  const std::string as(30, 'a');
  struct Case {
    const char* flags;
    const char* pattern;
    std::string text;
  } const cases[] = {{"0", "(a+)+b", as + "cb"}, {"16", "c(a+)+b", "d" + as + "b"}};
  for (const Case& c : cases) {
    int status = -1;
    EXPECT_EQ(RunShell("printf " + c.text + " | " + VantrelctlPath() + " regex --flags " + c.flags +
                           " '" + c.pattern + "'",
                       status),
              "match limit exceeded\n")
        << c.flags;
    EXPECT_EQ(status, 1);
  }
}

TEST(VantrelctlRegex, AllPrintsOneLinePerMatchAndEnds) {
  int status = -1;
  EXPECT_EQ(RunShell("printf '\"t\":\"1\",\"t\":\"22\"' | " + VantrelctlPath() +
                         " regex --all --flags 9 '\"t\":\"(.*?)\"'",
                     status),
            "1 1 0 7 5 6\n1 1 8 16 13 15\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell("printf 'axxb' | " + VantrelctlPath() + " regex --all 'x*'", status),
            "1 0 0 0\n1 0 1 3\n1 0 3 3\n1 0 4 4\n");
  EXPECT_EQ(
      RunShell("printf 'axxb' | " + VantrelctlPath() + " regex --all --flags 16 'x+'", status),
      "1 0 1 3\n");
  EXPECT_EQ(RunShell(VantrelctlPath() + " regex 2>/dev/null", status), "");
  EXPECT_EQ(status, 2);
}

}  // namespace
