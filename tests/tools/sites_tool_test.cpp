#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/files.h"
#include "support/command_line.h"
#include "support/tempdir.h"

namespace {

std::string SitesFile(const std::string& version, const std::string& sites) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<Sites>" + version + "<SiteList>" + sites +
         "</SiteList></Sites>";
}

TEST(VantrelctlSites, MergesPrintsAndSaves) {
  TempDir dir(true);
  // "京东" in UTF-8.
  const std::string jd = "\xE4\xBA\xAC\xE4\xB8\x9C";
  dir.Write("sites.xml", SitesFile("<Version>4</Version>",
                                   "<Site><Name>" + jd +
                                       "</Name><Domain>jd.com</Domain></Site>"
                                       "<Site><Name>B</Name><Domain>b.com</Domain></Site>"));
  dir.Write("sites_rt.xml", SitesFile("<Version>5</Version>",
                                      "<Site><Name>JD2</Name><Domain>item.jd.com</Domain></Site>"
                                      "<Site><Name>C &amp; D</Name><Domain>c.com</Domain></Site>"));
  int status = -1;
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites " + dir.File("sites.xml"), status),
            "Version: 4\n" + jd + "\tjd.com\nB\tb.com\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites " + dir.File("sites.xml") + " " +
                         dir.File("sites_rt.xml") + " --save " + dir.File("out.xml"),
                     status),
            "Version: 5\nJD2\titem.jd.com\nB\tb.com\nC & D\tc.com\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites " + dir.File("out.xml"), status),
            "Version: 5\nJD2\titem.jd.com\nB\tb.com\nC & D\tc.com\n");
  EXPECT_NE(dir.Read("out.xml").find("<Name>C &amp; D</Name>"), std::string::npos);
}

TEST(VantrelctlSites, FailuresAndUsage) {
  TempDir dir(true);
  dir.Write("bad.xml", "<Sites><SiteList>");
  dir.Write("good.xml", SitesFile("", "<Site><Name>A</Name><Domain>a</Domain></Site>"));
  int status = -1;
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites " + dir.File("bad.xml") + " " +
                         dir.File("good.xml") + " 2>/dev/null",
                     status),
            "Version: 99999\nA\ta\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites 2>/dev/null", status), "");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(
      RunShell(VantrelctlPath() + " sites " + dir.File("good.xml") + " --save 2>/dev/null", status),
      "");
  EXPECT_EQ(status, 2);
  // An unreadable file in the way of --save is kept aside.
  dir.Write("out.xml", "not xml");
  EXPECT_EQ(RunShell(VantrelctlPath() + " sites " + dir.File("good.xml") + " --save " +
                         dir.File("out.xml"),
                     status),
            "Version: 99999\nA\ta\n");
  EXPECT_EQ(dir.Read("out.xml.bad"), "not xml");
  EXPECT_TRUE(FileExists(dir.File("out.xml")));
}

}  // namespace
