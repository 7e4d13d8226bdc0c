// The Debian package as a user gets it: built from this tree with cpack,
// unpacked with dpkg -x into a scratch root, its vantrelctl run there with
// a scratch home, and its files checked by the distribution's validators.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "support/command_line.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& text) { return "'" + text + "'"; }

bool HaveProgram(const std::string& name) {
  int status = -1;
  RunShell("command -v " + name + " >/dev/null 2>&1", status);
  return status == 0;
}

// The package and its unpacked root, made once for every test here.
struct Package {
  TempDir folder;
  std::string deb;
  std::string root;
  std::string problem;  // why there is no package
};

Package& ThePackage() {
  static const std::unique_ptr<Package> package = [] {
    auto made = std::make_unique<Package>();
    if (!HaveProgram("dpkg-deb") || !HaveProgram("dpkg-shlibdeps")) {
      made->problem = "dpkg-dev is not installed (scripts/setup installs it)";
      return made;
    }
    // Under ctest the package_build fixture has just made the package;
    // run alone, the test makes its own.
    std::string out = VANTREL_TEST_PACKAGE_DIR;
    int status = 0;
    std::string log;
    if (!std::getenv("VANTREL_TEST_PACKAGE_BUILT")) {
      out = made->folder.File("out");
      log = RunShell(Quote(VANTREL_TEST_CPACK) + " -G DEB --config " +
                         Quote(std::string(VANTREL_TEST_BINARY_DIR) + "/CPackConfig.cmake") +
                         " -B " + Quote(out) + " 2>&1",
                     status);
    }
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(out, code))
      if (entry.path().extension() == ".deb") made->deb = entry.path().string();
    if (status != 0 || made->deb.empty()) {
      made->problem = "no package in " + out + ":\n" + log;
      return made;
    }
    made->root = made->folder.File("root/");
    RunShell("dpkg -x " + Quote(made->deb) + " " + Quote(made->root), status);
    if (status != 0) made->problem = "dpkg -x failed";
    return made;
  }();
  return *package;
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ThePackage().problem.empty()) FAIL() << ThePackage().problem;
  }
  const std::string& Root() const { return ThePackage().root; }

  // A validator on the unpacked files; skipped when it is not installed.
  void Validate(const std::string& program, const std::string& arguments) {
    if (!HaveProgram(program))
      GTEST_SKIP() << program << " is not installed (scripts/setup installs it)";
    int status = -1;
    // The validators' own temporary files (lintian leaves some) stay in the test's folder.
    TempDir scratch;
    const std::string out = RunShell(
        "TMPDIR=" + Quote(scratch.Path()) + " " + program + " " + arguments + " 2>&1", status);
    EXPECT_EQ(status, 0) << program << " " << arguments << "\n" << out;
  }
};

TEST_F(PackageTest, InstallsTheProgramsWhereTheSystemLooks) {
  for (const char* file :
       {"usr/bin/Vantrel", "usr/bin/vantrelctl", "usr/bin/vantrel-server", "usr/lib/vantrel/update",
        "usr/share/vantrel/ding.wav", "usr/share/vantrel/imgs/AppIcon.png",
        "usr/share/vantrel/priceimg/newegg/pot.gif", "usr/share/vantrel/productimgs/blank.jpg",
        "usr/share/vantrel/sites.example.xml", "usr/share/icons/hicolor/48x48/apps/vantrel.png",
        "usr/share/icons/hicolor/256x256/apps/vantrel.png",
        "usr/share/bash-completion/completions/vantrelctl", "etc/vantrel/vantrel-server.ini",
        "usr/share/man/man1/vantrelctl.1.gz", "usr/share/man/man1/vantrel-server.1.gz"})
    EXPECT_TRUE(FileExists(Root() + file)) << file;
  std::string unit;
  ASSERT_TRUE(ReadWholeFile(Root() + "lib/systemd/system/vantrel-server.service", unit) ||
              ReadWholeFile(Root() + "usr/lib/systemd/system/vantrel-server.service", unit));
  EXPECT_NE(unit.find("ExecStart=/usr/bin/vantrel-server --config /etc/vantrel/vantrel-server.ini"),
            std::string::npos);
}

TEST_F(PackageTest, InstalledVantrelctlKeepsItsFilesInThePerUserFolder) {
  TempDir scratch;
  const std::string home = scratch.File("home");
  const std::string data = scratch.File("data");
  const std::string folder = data + "/vantrel/";
  const std::string run = "env -u VANTREL_HOME HOME=" + Quote(home) +
                          " XDG_DATA_HOME=" + Quote(data) + " " +
                          Quote(Root() + "usr/bin/vantrelctl");
  int status = -1;
  RunShell(run + " tasks >/dev/null 2>&1", status);
  struct stat info;
  ASSERT_EQ(stat(folder.c_str(), &info), 0) << "no per-user folder " << folder;
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  for (const char* file : {"ding.wav", "imgs/Del.png", "priceimg/newegg/0.gif",
                           "productimgs/blank.jpg", "sites.example.xml"})
    EXPECT_TRUE(FileExists(folder + file)) << file;

  // The user's own rules and settings, then a task of a shop on 127.0.0.1.
  FakeShop shop;
  FakeProgramServers servers;
  CSiteList sites;
  sites.AddSite(std::make_shared<CSite>(PlainPageSite("Fake", shop.Host())));
  ASSERT_TRUE(sites.SaveSites(folder + "sites.xml"));
  IniWriteString(folder + "config.ini", "Base", "SleepTime", "0");
  servers.PointProgramAt(folder + "config.ini");
  shop.Reply("/pic.png", MakeReply(EncodePng(DrawnImage(300, 200, {200, 0, 0, 255})), "image/png"));
  shop.Page("/item/1.html",
            "<html><body><h1 id=\"name\">Kettle</h1><span id=\"sku\">1001</span>"
            "<img id=\"pic\" src=\"" +
                shop.Link("/pic.png") +
                "\"><em id=\"price\">99.00</em><div id=\"stock\">in stock</div><!--" +
                std::string(1600, '.') + "--></body></html>");
  const std::string out = RunShell(run + " add " + Quote(shop.Link("/item/1.html")), status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.rfind("added\t", 0), 0u) << out;
  std::string tasks;
  ASSERT_TRUE(ReadWholeFile(folder + "tasks.xml", tasks));
  EXPECT_NE(tasks.find("/item/1.html"), std::string::npos);
  EXPECT_FALSE(FileExists(Root() + "usr/bin/tasks.xml"));
  EXPECT_FALSE(FileExists(home + "/.local/share/vantrel"));
}

// What a user meets around the programs: man pages, the package's
// description, completion and the launcher's window class.
TEST_F(PackageTest, ManPagesDescriptionCompletionAndLauncherSayWhatTheyShould) {
  int status = -1;
  const std::string vantrelctlPage =
      RunShell("zcat " + Quote(Root() + "usr/share/man/man1/vantrelctl.1.gz"), status);
  EXPECT_NE(vantrelctlPage.find("\"通用\""), std::string::npos);
  EXPECT_EQ(vantrelctlPage.find("??????"), std::string::npos);
  EXPECT_NE(
      RunShell("zcat " + Quote(Root() + "usr/share/man/man1/Vantrel.1.gz"), status).find("hidewnd"),
      std::string::npos);
  const std::string control = RunShell("dpkg-deb -f " + Quote(ThePackage().deb), status);
  EXPECT_NE(control.find("Paste a product link; Vantrel fetches"), std::string::npos) << control;
  EXPECT_NE(control.find("qt6-translations-l10n"), std::string::npos) << control;
  TempDir scratch;
  const std::string complete =
      "HOME=" + Quote(scratch.Path()) + " XDG_DATA_HOME=" + Quote(scratch.Path()) +
      " bash -c 'source \"$0\"; COMP_WORDS=(\"$1\" export --format \"\"); COMP_CWORD=3; "
      "_vantrelctl; echo \"${COMPREPLY[*]}\"' " +
      Quote(Root() + "usr/share/bash-completion/completions/vantrelctl") + " " +
      Quote(Root() + "usr/bin/vantrelctl");
  EXPECT_EQ(RunShell(complete, status), "json csv\n");
  std::string entry;
  ASSERT_TRUE(
      ReadWholeFile(Root() + "usr/share/applications/example.vantrel.Vantrel.desktop", entry));
  EXPECT_NE(entry.find("\nStartupWMClass=Vantrel\n"), std::string::npos);
}

TEST_F(PackageTest, DesktopEntryIsValid) {
  Validate("desktop-file-validate",
           Quote(Root() + "usr/share/applications/example.vantrel.Vantrel.desktop"));
}

TEST_F(PackageTest, AppStreamMetadataIsValid) {
  Validate("appstreamcli",
           "validate --no-net " +
               Quote(Root() + "usr/share/metainfo/example.vantrel.Vantrel.metainfo.xml"));
}

TEST_F(PackageTest, LintianFindsNoErrors) {
  Validate("lintian", "--fail-on error " + Quote(ThePackage().deb));
}

}  // namespace
