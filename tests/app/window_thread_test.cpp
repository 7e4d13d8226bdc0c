// The window thread never waits for the network: every action that asks one
// of the program's servers does so on a worker, so a server that never
// answers leaves the windows responsive.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include "app/changelistdlg.h"
#include "app/popmsgdlg.h"
#include "app/windowjobs.h"
#include "base/filelock.h"
#include "base/ini.h"
#include "base/openlink.h"
#include "mainwindow_fixture.h"
#include "support/http_server.h"
#include "support/lockholder.h"

namespace {

constexpr const char* kJdLink = "http://item.jd.com/4242.html";

class WindowThreadTest : public MainWindowTest {
 protected:
  WindowThreadTest() {
    silent.Silent("/commission");
    IniWriteString(ProgramFile("config.ini"), "Hosts", "CommissionUrl", silent.Url("/commission"));
    SetLinkOpener([this](const std::string& url) { opened.push_back(url); });
    CTaskValues v;
    v.url = kJdLink;
    v.productName = "Phone";
    v.siteName = "JD";
    v.status = 0;
    tasks.AddTask(std::make_shared<CTask>(v));
  }
  ~WindowThreadTest() override { SetLinkOpener(nullptr); }

  // Runs `action` on the window thread, then the event loop for a while with
  // a 50 ms timer; the longest gap between two of its ticks.
  qint64 LongestTickGap(const std::function<void()>& action) {
    QTimer timer;
    timer.setInterval(50);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      longest = std::max(longest, clock.elapsed() - last);
      last = clock.elapsed();
    });
    clock.start();
    timer.start();
    action();
    SpinUntil([&] { return silent.Requests("/commission") > 0 && clock.elapsed() > 800; }, 5000);
    longest = std::max(longest, clock.elapsed() - last);
    return longest;
  }

  // Declared after the window's members: it stops (and lets go of the
  // request it holds) before the window waits for its workers.
  RawHttpServer silent;
  std::vector<std::string> opened;
};

TEST_F(WindowThreadTest, ActionsThatAskTheCommissionServiceKeepTheWindowResponsive) {
  OpenWindow();
  const struct {
    const char* what;
    std::function<void()> action;
  } cases[] = {
      {"pop-up's 去看看",
       [this] {
         CPopMsgContext context;
         context.startTimer = false;
         context.linkStore = ShopLinkTaskStore{&tasks, ProgramFile("tasks.xml"), {}};
         context.jobs = &window->Jobs();
         QPointer<CPopMsgDlg> popup = ShowPopMsg("Phone 1999.00", kJdLink, "", context);
         popup->ClickGoTo();
       }},
      {"访问该商品",
       [this] {
         Select({0});
         window->OpenSelectedProduct();
       }},
      {"change list's 购买",
       [this] {
         window->ChangePanel().AddChange(*tasks.TaskAt(0));
         window->ChangePanel().ClickCell(0, CChangeListDlg::kBuy);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = silent.Requests("/commission");
    EXPECT_LT(LongestTickGap(c.action), 200);
    EXPECT_EQ(silent.Requests("/commission"), before + 1);
    // Nothing opens until the service answered.
    EXPECT_TRUE(opened.empty());
  }
  EXPECT_EQ(window->Jobs().Running(), 3);
}

TEST_F(WindowThreadTest, APopUpOpensItsLinkOnceTheAnswerIsBack) {
  servers.Commission("jd", "http://buy.example/jd/4242");
  servers.PointProgramAt();
  CWindowJobs jobs;
  CPopMsgContext context;
  context.startTimer = false;
  context.linkStore = ShopLinkTaskStore{&tasks, ProgramFile("tasks.xml"), {}};
  context.jobs = &jobs;
  QPointer<CPopMsgDlg> popup = ShowPopMsg("Phone 1999.00", kJdLink, "", context);
  // Clicked before the answer: opened when it comes.
  popup->ClickGoTo();
  ASSERT_TRUE(SpinUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::string>{"http://buy.example/jd/4242"});
  EXPECT_EQ(tasks.TaskAt(0)->GetGotoUrl(), "http://buy.example/jd/4242");
  popup->close();
}

TEST(WindowJobsWait, ReturnsTheResultWhileTheWindowThreadGoesOn) {
  TestApplication();
  CWindowJobs jobs;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(10);
  const int result = jobs.Wait([] {
    QThread::msleep(200);
    return 42;
  });
  EXPECT_EQ(result, 42);
  EXPECT_GE(ticks, 5);
}

// A process stopped while it holds tasks.xml.lock: the window opens and its
// commands return at once; their save follows once the lock is free.
TEST_F(WindowThreadTest, ALockHeldElsewhereNeverHoldsTheWindowThread) {
  SetFileLockPatience(std::chrono::seconds(5));
  LockHolder other(ProgramFile("tasks.xml.lock"));
  ASSERT_TRUE(other.Holding());
  AddTask("Kettle", true);
  OpenWindow();
  QElapsedTimer clock;
  clock.start();
  window->PauseAll();
  EXPECT_LT(clock.elapsed(), 500);
  other.Release();
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{0, 0}));
  SetFileLockPatience(std::chrono::seconds(10));
}

}  // namespace
