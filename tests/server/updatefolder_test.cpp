#include <gtest/gtest.h>

#include "base/files.h"
#include "server/updatefolder.h"
#include "support/tempdir.h"

namespace {

TEST(UpdateFolder, RequestPathsStayInsideTheFolder) {
  TempDir root;
  root.Write("sites.xml", "<Sites/>");
  root.Write("imgs/Del.png", "png");
  root.Write(".secret", "x");
  EXPECT_EQ(UpdateFilePath(root.Path(), "sites.xml"), root.File("sites.xml"));
  EXPECT_EQ(UpdateFilePath(root.Path(), "imgs/Del.png"), root.File("imgs/Del.png"));
  for (const std::string& bad :
       {std::string(""), std::string("imgs"), std::string("../etc/passwd"),
        std::string("imgs/../sites.xml"), std::string("/etc/passwd"), std::string("imgs//Del.png"),
        std::string(".secret"), std::string("imgs\\Del.png"), std::string("sites.xml\0x", 11),
        std::string("missing.png"), std::string("./sites.xml"), std::string("imgs/")}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(UpdateFilePath(root.Path(), bad), "");
  }
}

TEST(UpdateFolder, IsBuiltFromTheProgramDirectory) {
  TempDir program;
  program.Write("ding.wav", "RIFF");
  program.Write("update", "updater");
  program.Write("imgs/Del.png", "png");
  program.Write("priceimg/newegg/0.gif", "gif");
  program.Write("productimgs/blank.jpg", "jpg");
  program.Write("config.ini", "[User]\nPassword=secret\n");
  program.Write("tasks.xml", "<Tasks/>");
  TempDir target;
  std::string error;
  ASSERT_TRUE(
      BuildUpdateFolder(program.Path(), target.File("update/"), "<Sites/>", "1.069", "2.5", error))
      << error;
  for (const char* name :
       {"ding.wav", "update", "imgs/Del.png", "priceimg/newegg/0.gif", "productimgs/blank.jpg"})
    EXPECT_EQ(target.Read(std::string("update/") + name), program.Read(name)) << name;
  // Nothing of the user's: settings and tasks stay home.
  EXPECT_FALSE(FileExists(target.File("update/config.ini")));
  EXPECT_FALSE(FileExists(target.File("update/tasks.xml")));
  EXPECT_EQ(target.Read("update/sites.xml"), "<Sites/>");
  EXPECT_EQ(target.Read("update/update.ini"),
            "[Vantrel]\r\nVERSION=1.069\r\nSITE_CONFIG_VERSION=2.5\r\n");

  // Without rules no rule version is promised.
  ASSERT_TRUE(BuildUpdateFolder(program.Path(), target.File("bare/"), "", "1.069", "2.5", error));
  EXPECT_EQ(target.Read("bare/update.ini"), "[Vantrel]\r\nVERSION=1.069\r\n");
  EXPECT_FALSE(FileExists(target.File("bare/sites.xml")));
}

TEST(UpdateFolder, AnUnwritableTargetIsAnError) {
  TempDir program;
  program.Write("file", "x");
  std::string error;
  EXPECT_FALSE(
      BuildUpdateFolder(program.Path(), program.File("file/update/"), "", "1", "1", error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
