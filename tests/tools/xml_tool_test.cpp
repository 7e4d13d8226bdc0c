#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/command_line.h"
#include "support/tempdir.h"

namespace {

TEST(VantrelctlXml, PrintsTheOutline) {
  TempDir dir(true);
  // GBK text under a GBK declaration comes out in UTF-8.
  dir.Write("doc.xml",
            "<?xml version=\"1.0\" encoding=\"gbk\"?>\n<r a=\"1\">\n <v>\xBC\xDB &amp; &#x41;</v>"
            "<e/><g><h><![CDATA[c]]></h></g></r>");
  int status = -1;
  EXPECT_EQ(RunShell(VantrelctlPath() + " xml " + dir.File("doc.xml"), status),
            "wellformed: yes\nr\n  v = \xE4\xBB\xB7 & A\n  e\n  g\n    h = c\n");
  EXPECT_EQ(status, 0);
}

TEST(VantrelctlXml, IllFormedAndUnreadable) {
  TempDir dir(true);
  dir.Write("bad.xml", "<a><b>x</a><c/>");
  int status = -1;
  // "b" never ends: the text after it moves up into "a".
  EXPECT_EQ(RunShell(VantrelctlPath() + " xml " + dir.File("bad.xml"), status),
            "wellformed: no\na\n  b\nc\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunShell("printf '<a>1</a>' | " + VantrelctlPath() + " xml --log -", status),
            "wellformed: yes\na = 1\nlog: <converted_to encoding=\"GB18030\"/>\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell(VantrelctlPath() + " xml " + dir.File("missing.xml") + " 2>/dev/null", status),
            "");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunShell(VantrelctlPath() + " xml 2>/dev/null", status), "");
  EXPECT_EQ(status, 2);
}

}  // namespace
