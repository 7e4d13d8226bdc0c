// Which folder the program keeps its files in: installed (bin/ or
// lib/vantrel/ beside share/vantrel/), portable, or VANTREL_HOME; and how an
// installed program's per-user folder is filled.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "base/files.h"
#include "base/programdir.h"
#include "support/tempdir.h"

namespace {

// An unpacked package: prefix/bin, prefix/lib/vantrel and the run-time
// files in prefix/share/vantrel; beside it a portable folder.
class ProgramLayoutTest : public ::testing::Test {
 protected:
  ProgramLayoutTest() {
    root.Write("usr/bin/Vantrel", "program");
    root.Write("usr/lib/vantrel/update", "updater");
    root.Write("usr/share/vantrel/ding.wav", "sound");
    root.Write("usr/share/vantrel/imgs/Del.png", "shipped picture");
    root.Write("usr/share/vantrel/priceimg/newegg/0.gif", "digit");
    root.Write("portable/Vantrel", "program");
    root.Write("tools/bin/Vantrel", "a bin folder without share/vantrel beside it");
  }

  std::string Prefix() const { return root.File("usr/"); }

  TempDir root;
};

TEST_F(ProgramLayoutTest, InstalledWhereverUnpackedPortableOtherwise) {
  struct Case {
    std::string executableDir;
    std::string prefix;  // empty: portable
  };
  const Case cases[] = {
      {root.File("usr/bin/"), Prefix()},
      {root.File("usr/bin"), Prefix()},  // without the slash
      {root.File("usr/lib/vantrel/"), Prefix()},
      {root.File("portable/"), ""},
      {root.File("tools/bin/"), ""},
      {root.File("usr/share/vantrel/"), ""},
  };
  for (const Case& c : cases) {
    const ProgramLayout layout = DetectProgramLayout(c.executableDir);
    EXPECT_EQ(layout.prefix, c.prefix) << c.executableDir;
    EXPECT_EQ(layout.executableDir.back(), '/') << c.executableDir;
  }
}

TEST_F(ProgramLayoutTest, ProgramDirectoryByLayoutAndEnvironment) {
  const ProgramLayout installed = DetectProgramLayout(root.File("usr/bin/"));
  const ProgramLayout portable = DetectProgramLayout(root.File("portable/"));
  struct Case {
    const ProgramLayout* layout;
    const char* vantrelHome;
    const char* xdgDataHome;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {&installed, nullptr, "/data", "/home/u", "/data/vantrel/"},
      {&installed, nullptr, "/data/", "/home/u", "/data/vantrel/"},
      {&installed, nullptr, nullptr, "/home/u", "/home/u/.local/share/vantrel/"},
      {&installed, nullptr, "", "/home/u/", "/home/u/.local/share/vantrel/"},
      // A relative XDG_DATA_HOME is not to be used.
      {&installed, nullptr, "data", "/home/u", "/home/u/.local/share/vantrel/"},
      {&installed, "/mine", "/data", "/home/u", "/mine/"},
      {&installed, "", "/data", "/home/u", "/data/vantrel/"},
      {&installed, nullptr, nullptr, nullptr, root.File("usr/bin/")},
      {&portable, nullptr, "/data", "/home/u", root.File("portable/")},
      {&portable, "/mine/", "/data", "/home/u", "/mine/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseProgramDirectory(*c.layout, c.vantrelHome, c.xdgDataHome, c.home), c.expected)
        << (c.layout == &installed ? "installed " : "portable ")
        << (c.vantrelHome ? c.vantrelHome : "-") << " " << (c.xdgDataHome ? c.xdgDataHome : "-")
        << " " << (c.home ? c.home : "-");
  }
}

TEST_F(ProgramLayoutTest, ProgramsStartedByPathFollowTheLayout) {
  const ProgramLayout installed = DetectProgramLayout(root.File("usr/lib/vantrel/"));
  const ProgramLayout portable = DetectProgramLayout(root.File("portable/"));
  EXPECT_EQ(ExecutablePath(installed, "/home/u/.local/share/vantrel/", "update"),
            Prefix() + "lib/vantrel/update");
  EXPECT_EQ(ExecutablePath(installed, "/home/u/.local/share/vantrel/", "Vantrel"),
            Prefix() + "bin/Vantrel");
  // Portable: wherever the program directory is, VANTREL_HOME included.
  EXPECT_EQ(ExecutablePath(portable, "/mine/", "update"), "/mine/update");
}

TEST_F(ProgramLayoutTest, FillingCreatesAPrivateFolderAndKeepsTheUsersFiles) {
  const std::string user = root.File("home/.local/share/vantrel/");
  ASSERT_TRUE(FillProgramDirectory(Prefix() + "share/vantrel/", user));
  struct stat info;
  ASSERT_EQ(stat(user.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(root.Read("home/.local/share/vantrel/ding.wav"), "sound");
  EXPECT_EQ(root.Read("home/.local/share/vantrel/priceimg/newegg/0.gif"), "digit");
  ASSERT_EQ(stat(root.File("home/.local/share/vantrel/priceimg/newegg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // The user's own picture and tasks stay; a file the package gained since
  // (an upgrade) arrives on the next fill.
  root.Write("home/.local/share/vantrel/imgs/Del.png", "the user's picture");
  root.Write("home/.local/share/vantrel/tasks.xml", "tasks");
  root.Write("usr/share/vantrel/imgs/New.png", "new picture");
  ASSERT_TRUE(FillProgramDirectory(Prefix() + "share/vantrel/", user));
  EXPECT_EQ(root.Read("home/.local/share/vantrel/imgs/Del.png"), "the user's picture");
  EXPECT_EQ(root.Read("home/.local/share/vantrel/tasks.xml"), "tasks");
  EXPECT_EQ(root.Read("home/.local/share/vantrel/imgs/New.png"), "new picture");
}

TEST_F(ProgramLayoutTest, FillingFailsWhenTheFolderCannotBeMade) {
  root.Write("blocked", "a file where the folder should go");
  EXPECT_FALSE(FillProgramDirectory(Prefix() + "share/vantrel/", root.File("blocked/vantrel/")));
  EXPECT_FALSE(FillProgramDirectory(root.File("missing/"), root.File("elsewhere/")));
}

}  // namespace
