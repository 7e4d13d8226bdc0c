#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "base/files.h"
#include "base/message.h"
#include "engine/site.h"
#include "running_program.h"
#include "support/http_server.h"
#include "support/qt_application.h"
#include "support/tempdir.h"
#include "updater/updaterdlg.h"

namespace {

std::string RulesFile(const std::string& version, const std::string& shop) {
  CSiteList list;
  auto site = std::make_shared<CSite>();
  site->SetName(shop);
  site->SetDomain("shop.com");
  list.AddSite(site);
  list.SetVersion(version);
  TempDir scratch;
  list.SaveSites(scratch.File("sites.xml"));
  return scratch.Read("sites.xml");
}

// The whole run as the main program hands over to the updater: the running
// main program is ended on the user's word, the program file and the shop
// rules are replaced, and the start button runs the new program.
TEST(WholeUpdate, EndsReplacesAndStartsAgain) {
  TestApplication();
  TempDir home(true);
  const std::string name = "VantrelWhole" + std::to_string(getpid());
  RunningCopy oldProgram(home, name, "/bin/sleep", {"30"});
  ASSERT_GT(oldProgram.Pid(), 0);
  home.Write("sites.xml", RulesFile("5", "Old"));

  TestHttpServer server;
  server.Page("/upd/update.ini",
              "[" + name + "]\r\nVERSION=1.1\r\nSITE_CONFIG_VERSION=6\r\nFILE1=" + name + "\r\n",
              "text/plain");
  server.Page("/upd/sites.xml", RulesFile("6", "New"), "text/xml");
  server.Page("/upd/" + name, "#!/bin/sh\necho started > '" + home.File("mark") + "'\n",
              "application/octet-stream");
  int questions = 0;
  SetMessageHandler([&](unsigned, int kind, const std::string&) {
    questions += kind == kMessageQuestion;
    return IDOK;
  });

  CUpdaterDlg dialog(UpdaterArguments{name, "1.069", "5", server.Url("/upd/update.ini")});
  dialog.show();
  dialog.StartWork();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!dialog.StartButton()->isVisible() && std::chrono::steady_clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(dialog.StartButton()->isVisible());
  SetMessageHandler(nullptr);

  EXPECT_EQ(questions, 1);
  EXPECT_FALSE(oldProgram.Running());
  EXPECT_EQ(dialog.StatusLine()->text(), "升级完成！");
  CSiteList rules;
  ASSERT_TRUE(rules.LoadSites(home.File("sites.xml")));
  EXPECT_EQ(rules.GetVersion(), "6");
  ASSERT_EQ(rules.GetCount(), 1u);
  EXPECT_EQ(rules.GetSiteAt(0)->GetName(), "New");
  struct stat info;
  ASSERT_EQ(stat(home.File(name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
  EXPECT_FALSE(FileExists(home.File("update.ini")));

  dialog.StartButton()->click();
  EXPECT_EQ(dialog.result(), CUpdaterDlg::kStartResult);
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!FileExists(home.File("mark")) && std::chrono::steady_clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(FileExists(home.File("mark")));
}

}  // namespace
