// The updater of an installed program: the package manager owns the
// executables, the per-user folder's run-time files and rules still update.
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "base/hosts.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "worker_fixture.h"

namespace {

TEST_F(WorkerTest, InstalledProgramsAreLeftToThePackageManager) {
  home.Write("imgs/Del.png", "old picture");
  server.Page("/upd/imgs/Del.png", "new picture", "image/png");
  for (const char* program : {"/upd/Vantrel", "/upd/update", "/upd/bin/vantrelctl"})
    server.Page(program, "new program", "application/octet-stream");
  server.Page("/upd/sites.xml", SitesXml("7", {{"Shop", "shop.example"}}), "text/xml");
  ServeInfo(
      "VERSION=1.1\r\nSITE_CONFIG_VERSION=7\r\nFILE1=Vantrel\r\nFILE2=update\r\n"
      "FILE3=bin/vantrelctl\r\nFILE4=imgs/Del.png\r\n");

  CUpdateWorker worker(Arguments(), sink);
  worker.SetInstalledLayout(true);
  worker.Run();

  EXPECT_EQ(home.Read("imgs/Del.png"), "new picture");
  EXPECT_NE(home.Read("sites.xml").find("shop.example"), std::string::npos);
  for (const char* program : {"/upd/Vantrel", "/upd/update", "/upd/bin/vantrelctl"})
    EXPECT_EQ(server.Requests(program), 0) << program;
  EXPECT_FALSE(FileExists(home.File("Vantrel")));
  // The user learns that a new version exists and where the package is.
  ASSERT_EQ(messageIds, (std::vector<unsigned>{IDS_UPD_NEW_PACKAGE}));
  EXPECT_NE(messages[0].find(HostValue(kHostHomePage)), std::string::npos);
  EXPECT_EQ(sink.LastStatus(), "升级完成！");
}

TEST(UpdaterPaths, PackagedProgramsByName) {
  struct Case {
    const char* path;
    bool packaged;
  };
  const Case cases[] = {{"Vantrel", true},
                        {"Vantrel.exe", true},
                        {"bin/vantrel-server", true},
                        {"lib\\vantrel\\update", true},
                        {"vantrelctl", true},
                        {"imgs/Del.png", false},
                        {"ding.wav", false},
                        {"Vantrel.txt", false},
                        {"updates/readme", false}};
  for (const Case& c : cases) EXPECT_EQ(IsPackagedProgram(c.path), c.packaged) << c.path;
}

}  // namespace
