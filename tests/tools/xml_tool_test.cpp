#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/tempdir.h"

namespace {

std::string RunCommand(const std::string& command, int& status) {
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

TEST(VantrelctlXml, PrintsTheOutline) {
  TempDir dir(true);
  // GBK text under a GBK declaration comes out in UTF-8.
  dir.Write("doc.xml",
            "<?xml version=\"1.0\" encoding=\"gbk\"?>\n<r a=\"1\">\n <v>\xBC\xDB &amp; &#x41;</v>"
            "<e/><g><h><![CDATA[c]]></h></g></r>");
  int status = -1;
  EXPECT_EQ(RunCommand(Program() + " xml " + dir.File("doc.xml"), status),
            "wellformed: yes\nr\n  v = \xE4\xBB\xB7 & A\n  e\n  g\n    h = c\n");
  EXPECT_EQ(status, 0);
}

TEST(VantrelctlXml, IllFormedAndUnreadable) {
  TempDir dir(true);
  dir.Write("bad.xml", "<a><b>x</a><c/>");
  int status = -1;
  // "b" never ends: the text after it moves up into "a".
  EXPECT_EQ(RunCommand(Program() + " xml " + dir.File("bad.xml"), status),
            "wellformed: no\na\n  b\nc\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunCommand("printf '<a>1</a>' | " + Program() + " xml --log -", status),
            "wellformed: yes\na = 1\nlog: <converted_to encoding=\"CP936\"/>\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunCommand(Program() + " xml " + dir.File("missing.xml") + " 2>/dev/null", status), "");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunCommand(Program() + " xml 2>/dev/null", status), "");
  EXPECT_EQ(status, 2);
}

}  // namespace
