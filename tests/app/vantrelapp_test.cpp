// The application object: "hidewnd", one instance per user, and SIGTERM
// ending the program as "退出" does.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "app/vantrelapp.h"
#include "app/vantreldlg.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "mainwindow_fixture.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

class VantrelAppTest : public testing::Test {
 protected:
  VantrelAppTest() {
    TestApplication();
    setenv("VANTREL_ASSUME_ONLINE", "1", 1);
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    // No update folder and no rules server: start-up fetches nothing.
    IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl", "");
    IniWriteString(ProgramFile("config.ini"), "Hosts", "SiteRulesUrl", "");
    CTaskValues v;
    v.url = "http://127.0.0.1:9/a.html";
    v.productName = "Kettle";
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    CTaskList tasks;
    tasks.AddTask(std::make_shared<CTask>(v));
    EXPECT_TRUE(tasks.SaveTasks(ProgramFile("tasks.xml")));
    SetMessageHandler([](unsigned, int, const std::string&) { return IDOK; });
  }
  ~VantrelAppTest() override { SetMessageHandler({}); }

  AppOptions Options() {
    AppOptions options;
    options.serverName = QStringLiteral("vantrel-test-%1-%2")
                             .arg(getpid())
                             .arg(QString::fromStdString(
                                 testing::UnitTest::GetInstance()->current_test_info()->name()));
    options.offerAutoStart = false;
    options.loadWebPanel = false;
    options.handleStopSignals = false;
    return options;
  }

  TempDir home{true};
  TempDir config;
};

TEST_F(VantrelAppTest, HidewndStartsWithoutAWindowAndOnlyInThatCase) {
  struct Case {
    QStringList arguments;
    bool visible;
  };
  const Case cases[] = {{{QStringLiteral("hidewnd")}, false},
                        {{QStringLiteral("HideWnd")}, true},
                        {{}, true},
                        {{QStringLiteral("other"), QStringLiteral("hidewnd")}, true}};
  for (const Case& c : cases) {
    CVantrelApp app(Options());
    ASSERT_TRUE(app.Start(c.arguments));
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_EQ(app.MainWindow()->isVisible(), c.visible) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(app.Data().tasks.GetCount(), 1);
    EXPECT_EQ(app.MainWindow()->TotalCount(), 1);
  }
}

TEST_F(VantrelAppTest, ASecondStartShowsTheFirstWindowAndEnds) {
  const AppOptions options = Options();
  CVantrelApp first(options);
  ASSERT_TRUE(first.Start({QStringLiteral("hidewnd")}));
  ASSERT_FALSE(first.MainWindow()->isVisible());

  CVantrelApp second(options);
  EXPECT_FALSE(second.Start({QStringLiteral("hidewnd")}));
  EXPECT_EQ(second.MainWindow(), nullptr);
  EXPECT_TRUE(SpinUntil([&] { return first.MainWindow()->isVisible(); }));
}

TEST_F(VantrelAppTest, StopSignalEndsTheProgramAsExitDoes) {
  AppOptions options = Options();
  options.handleStopSignals = true;
  CVantrelApp app(options);
  ASSERT_TRUE(app.Start({}));
  DeleteFile(ProgramFile("tasks.xml"));
  bool exited = false;
  QObject::connect(app.MainWindow(), &CVantrelDlg::exitRequested, [&] { exited = true; });
  raise(SIGTERM);
  ASSERT_TRUE(SpinUntil([&] { return exited; }));
  // Tracking ended and the tasks were saved on the way out.
  CTaskList saved;
  EXPECT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 1);
}

TEST_F(VantrelAppTest, AnUnreadableTaskFileIsMovedAsideAndTheUserToldWhere) {
  home.Write("tasks.xml", "<TaskList><Task><Url>precious</Url>");
  std::string told;
  SetMessageHandler([&](unsigned id, int, const std::string& text) {
    if (id == IDS_TASKS_SET_ASIDE) told = text;
    return IDOK;
  });
  CVantrelApp app(Options());
  ASSERT_TRUE(app.Start({}));
  ASSERT_TRUE(SpinUntil([&] { return !told.empty(); }));
  const std::string aside = app.Data().tasks.SetAsideFile();
  EXPECT_NE(told.find(aside), std::string::npos);
  EXPECT_EQ(home.Read(aside.substr(home.Path().size())), "<TaskList><Task><Url>precious</Url>");
  EXPECT_FALSE(FileExists(ProgramFile("tasks.xml")));
}

}  // namespace
