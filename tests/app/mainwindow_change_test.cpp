// A price change seen by a tracking pass, as the main window tells it: the
// change list, the sound, the pop-up, the tray and the caption; the update
// command; the comparison and history panels of a tracked row.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>

#include "app/changelistdlg.h"
#include "app/comppricedlg.h"
#include "app/hispricedlg.h"
#include "app/notifysound.h"
#include "app/popmsgdlg.h"
#include "app/windowjobs.h"
#include "base/ini.h"
#include "base/stringtable.h"
#include "controls/skin.h"
#include "history_samples.h"
#include "mainwindow_fixture.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/updatecheck.h"

namespace {

using namespace std::chrono_literals;

// The change pop-ups on screen now.
std::vector<CPopMsgDlg*> PopUps() {
  std::vector<CPopMsgDlg*> found;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* popup = qobject_cast<CPopMsgDlg*>(widget); popup && popup->isVisible())
      found.push_back(popup);
  return found;
}

class MainWindowChangeTest : public MainWindowTest {
 protected:
  MainWindowChangeTest() {
    // Pop-ups of an earlier test must not be counted here.
    for (CPopMsgDlg* popup : PopUps()) delete popup;
    home.Write("ding.wav", std::string("RIFF") + std::string(40, '\0'));
    SetNotifySoundHook([this](const std::string& path) { sounds.push_back(path); });
  }
  ~MainWindowChangeTest() override {
    SetNotifySoundHook({});
    for (CPopMsgDlg* popup : PopUps()) delete popup;
  }

  void OpenWindowWith(int msgPop, int popMsgAutoClose, bool realDealsOnly = false) {
    MainWindowOptions options;
    options.title = "Vantrel";
    options.version = "1.069";
    options.settings.sleepTimeMs = 1000;
    options.settings.msgPop = msgPop;
    options.settings.popMsgAutoClose = popMsgAutoClose;
    options.settings.realDealsOnly = realDealsOnly;
    options.clock = clock;
    options.offerAutoStart = false;
    options.loadWebPanel = false;
    window = std::make_unique<CVantrelDlg>(sites, tasks, options);
  }

  // The shop asks 89.00 for the task before the window opens, so the one
  // pass due at start-up sees the drop (a later pass would see no change).
  void DropPrice(const TaskPtr& task) {
    const std::string path = task->GetUrl().substr(shop.Link("").size());
    shop.Page(path, ProductPage(task->GetProductName(), task->GetProductID(), "89.00",
                                shop.Link("/pic.png")));
  }
  void Track() {
    clock->Advance(1s);
    ASSERT_TRUE(SpinUntil([&] { return window->ChangeCount() == 1 && !sounds.empty(); }));
    // Whatever else the pass sends arrives meanwhile.
    SpinUntil([] { return false; }, 300);
  }

  QWidget* ViewChangesButton() { return window->findChild<QWidget*>("viewChangesButton"); }

  std::vector<std::string> sounds;
};

TEST_F(MainWindowChangeTest, APriceDropIsListedSoundedAndPoppedUpOnce) {
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);
  OpenWindowWith(0, 0);
  EXPECT_TRUE(ViewChangesButton()->isHidden());
  Track();

  CChangeListDlg& changes = window->ChangePanel();
  EXPECT_FALSE(changes.isHidden());
  EXPECT_FALSE(ViewChangesButton()->isHidden());
  ASSERT_EQ(changes.RowCount(), 1);
  EXPECT_EQ(changes.Counts().changes, 1);
  EXPECT_EQ(changes.Counts().priceChanges, 1);
  EXPECT_EQ(changes.Counts().stockChanges, 0);
  EXPECT_EQ(changes.SummaryText(), QStringLiteral("变动提示，1个变动，1个价格变动，0个库存变动"));
  EXPECT_EQ(changes.CellText(0, CChangeListDlg::kName), QStringLiteral("Kettle"));
  EXPECT_TRUE(changes.CellText(0, CChangeListDlg::kChange).contains("89.00"));
  EXPECT_EQ(Cell(0, kColumnPrice), QStringLiteral("89.00\r\ndown"));

  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0], ProgramFile("ding.wav"));
  const std::vector<CPopMsgDlg*> popups = PopUps();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_TRUE(popups[0]->Text().contains(QStringLiteral("Kettle")));
  EXPECT_TRUE(popups[0]->Text().contains(QStringLiteral("89.00")));
}

TEST_F(MainWindowChangeTest, ANameGbkLacksShowsWholeInTheRowTheListAndThePopUp) {
  const QString name = QStringLiteral("🔥 한국어 ¥ € ไทย 小米");
  TaskPtr task = AddTask(ToLocal(name), true);
  DropPrice(task);
  OpenWindowWith(0, 0);
  EXPECT_EQ(Cell(0, kColumnName), name);
  Track();
  EXPECT_EQ(window->ChangePanel().CellText(0, CChangeListDlg::kName), name);
  const std::vector<CPopMsgDlg*> popups = PopUps();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_TRUE(popups[0]->Text().contains(name)) << popups[0]->Text().toStdString();
}

TEST_F(MainWindowChangeTest, WithoutPopUpsTheChangeIsStillSoundedAndListed) {
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);
  OpenWindowWith(1, 0);
  Track();
  EXPECT_EQ(window->ChangePanel().RowCount(), 1);
  EXPECT_EQ(window->ChangeCount(), 1);
  EXPECT_EQ(sounds.size(), 1u);
  EXPECT_TRUE(PopUps().empty());
}

// The pop-up's five seconds pass on the real clock here.
TEST_F(MainWindowChangeTest, AutoCloseOneKeepsThePopUp) {
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);
  OpenWindowWith(0, 1);
  Track();
  ASSERT_EQ(PopUps().size(), 1u);
  SpinUntil([] { return false; }, 6500);
  const std::vector<CPopMsgDlg*> popups = PopUps();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0]->Fade().GetPhase(), CPopMsgFade::Phase::kHeld);
  EXPECT_EQ(popups[0]->Fade().Alpha(), 255);
}

TEST_F(MainWindowChangeTest, DeletingTheLastChangeRowClosesTheListAndResetsCounts) {
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);
  OpenWindowWith(1, 0);
  window->show();
  Track();
  ASSERT_TRUE(window->ChangePanel().isVisible());
  const int listTop = window->TaskList().y();
  EXPECT_TRUE(window->findChild<QLabel*>("counters")
                  ->text()
                  .contains(QStringLiteral("变动 <b style=\"color:#d63031\">1</b>")));

  window->ChangePanel().DeleteChange(0);
  EXPECT_TRUE(window->ChangePanel().isHidden());
  EXPECT_TRUE(ViewChangesButton()->isHidden());
  EXPECT_EQ(window->ChangeCount(), 0);
  EXPECT_EQ(window->ChangePanel().RowCount(), 0);
  EXPECT_EQ(window->ChangePanel().Counts().changes, 0);
  EXPECT_EQ(window->ChangePanel().Counts().priceChanges, 0);
  EXPECT_LT(window->TaskList().y(), listTop);
  EXPECT_EQ(window->TaskList().y(), window->ChangePanel().y());
  EXPECT_TRUE(window->findChild<QLabel*>("counters")
                  ->text()
                  .contains(QStringLiteral("变动 <b style=\"color:#d63031\">0</b>")));
  ExpectCounts(1, 1, 0);
}

QColor IconColor(const QSystemTrayIcon& tray) {
  return tray.icon().pixmap(32, 32).toImage().pixelColor(16, 16);
}

TEST_F(MainWindowChangeTest, AChangeWhileHiddenBlinksTheTrayUntilTheIconIsClicked) {
  MakeDirectories(home.File("imgs"));
  WriteImage(home.File("imgs/TrayNormal.png"), DrawnImage(32, 32, {0, 0, 255, 255}), "png");
  WriteImage(home.File("imgs/TrayBlink.png"), DrawnImage(32, 32, {255, 128, 0, 255}), "png");
  ClearSkinCache();
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);
  OpenWindowWith(1, 0);
  int flashes = 0;
  window->SetCaptionFlasher([&] { ++flashes; });
  auto* tray = window->findChild<QSystemTrayIcon*>();
  ASSERT_NE(tray, nullptr);
  const QColor normal(0, 0, 255), blink(255, 128, 0);
  EXPECT_EQ(IconColor(*tray), normal);

  Track();
  EXPECT_TRUE(window->IsBlinking());
  EXPECT_EQ(flashes, 0);
  bool blinkTimer = false;
  for (QTimer* timer : window->findChildren<QTimer*>())
    blinkTimer = blinkTimer || (timer->isActive() && timer->interval() == 400);
  EXPECT_TRUE(blinkTimer);
  // The icon swaps on every tick.
  ASSERT_TRUE(SpinUntil([&] { return IconColor(*tray) == blink; }, 2000));
  ASSERT_TRUE(SpinUntil([&] { return IconColor(*tray) == normal; }, 2000));
  ASSERT_TRUE(SpinUntil([&] { return IconColor(*tray) == blink; }, 2000));

  emit tray->activated(QSystemTrayIcon::Context);  // the menu's button: still blinking
  EXPECT_TRUE(window->IsBlinking());
  emit tray->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(window->IsBlinking());
  EXPECT_EQ(IconColor(*tray), normal);
  EXPECT_TRUE(window->isVisible());
  SpinUntil([] { return false; }, 900);
  EXPECT_EQ(IconColor(*tray), normal);
  ClearSkinCache();
}

TEST_F(MainWindowChangeTest, ADropThatIsNoDealIsOnlyListedWhenOnlyDealsAreTold) {
  TaskPtr task = AddTask("Kettle", true);
  DropPrice(task);  // a history of one point says nothing of it
  OpenWindowWith(0, 0, true);
  clock->Advance(1s);
  ASSERT_TRUE(SpinUntil([&] { return window->ChangeCount() == 1; }));
  SpinUntil([] { return false; }, 300);
  EXPECT_EQ(window->ChangePanel().RowCount(), 1);
  EXPECT_FALSE(window->IsBlinking());
  EXPECT_TRUE(sounds.empty());
  EXPECT_TRUE(PopUps().empty());
}

TEST_F(MainWindowChangeTest, AChangeWhileShownButInactiveFlashesTheCaptionOnce) {
  TaskPtr task = AddTask("Kettle", true);
  OpenWindowWith(1, 0);
  // The start-up pass sees no change and is over before the window loses
  // focus; the drop comes with the next one.
  const std::string path = task->GetUrl().substr(shop.Link("").size());
  clock->Advance(1s);
  ASSERT_TRUE(SpinUntil([&] { return shop.Requests(path) == 1; }));
  SpinUntil([] { return false; }, 300);
  ASSERT_EQ(window->ChangeCount(), 0);
  int flashes = 0;
  window->SetCaptionFlasher([&] { ++flashes; });
  window->show();
  QWidget other;
  other.show();
  other.activateWindow();
  SpinUntil([&] { return !window->isActiveWindow(); }, 2000);
  ASSERT_FALSE(window->isActiveWindow());

  DropPrice(task);
  clock->Advance(1h);
  ASSERT_TRUE(SpinUntil([&] { return window->ChangeCount() == 1; }));
  SpinUntil([] { return false; }, 300);
  EXPECT_EQ(flashes, 1);
  EXPECT_FALSE(window->IsBlinking());
  EXPECT_EQ(window->ChangePanel().RowCount(), 1);
  EXPECT_EQ(shop.Requests(path), 2);
}

class MainWindowUpdateTest : public MainWindowChangeTest {
 protected:
  MainWindowUpdateTest() {
    home.Write("update", "#!/bin/sh\n");
    IniWriteString(ProgramFile("config.ini"), "Hosts", "UpdateInfoUrl",
                   shop.Link("/update/update.ini"));
    SetUpdaterLauncher([this](const std::string& program, const std::vector<std::string>& args) {
      launches.push_back({program, args});
      return true;
    });
  }
  ~MainWindowUpdateTest() override { SetUpdaterLauncher({}); }

  void Offer(const std::string& siteConfigVersion) {
    shop.Reply("/update/update.ini",
               MakeReply("[Vantrel]\r\nVERSION=" + LoadString(IDS_VERSION) +
                             "\r\nSITE_CONFIG_VERSION=" + siteConfigVersion + "\r\n",
                         "text/plain"));
  }
  void ClickCheckForUpdates() {
    auto* button = window->findChild<QPushButton*>("cmd1106");
    ASSERT_NE(button, nullptr);
    button->click();
    // The check runs on a worker.
    ASSERT_TRUE(SpinUntil([&] { return window->Jobs().Running() == 0; }));
  }

  std::vector<std::pair<std::string, std::vector<std::string>>> launches;
};

TEST_F(MainWindowUpdateTest, NewerShopRulesStartTheUpdaterWithItsArguments) {
  sites.SetVersion("1.5");
  Offer("1.6");
  OpenWindowWith(1, 0);
  ClickCheckForUpdates();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].first, ProgramFile("update"));
  const std::vector<std::string> expected = {"Vantrel", LoadString(IDS_VERSION), "1.5",
                                             shop.Link("/update/update.ini")};
  EXPECT_EQ(launches[0].second, expected);
  EXPECT_TRUE(FileExists(ProgramFile("update.ini")));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MainWindowUpdateTest, SameVersionsSayThereIsNothingNew) {
  sites.SetVersion("1.6");
  Offer("1.60");
  OpenWindowWith(1, 0);
  ClickCheckForUpdates();
  EXPECT_TRUE(launches.empty());
  EXPECT_EQ(Messages(), std::vector<unsigned>{IDS_NO_NEW_VERSION});
  EXPECT_FALSE(FileExists(ProgramFile("update.ini")));
}

const char kThreeOffers[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<PItems><Date>2024-01-01 "
    "00:00:00</Date><ItemID></ItemID><PItemList>"
    "<PItem><Name>A</Name><Price>170.00</Price><Url>http://a.test/1</Url><GotoUrl></GotoUrl>"
    "<Site>ShopA</Site></PItem>"
    "<PItem><Name>B</Name><Price>180.00</Price><Url></Url><GotoUrl></GotoUrl>"
    "<Site>ShopB</Site></PItem>"
    "<PItem><Name>C</Name><Price>190.00</Price><Url>http://c.test/3</Url>"
    "<GotoUrl></GotoUrl><Site>ShopC</Site></PItem></PItemList></PItems>";

TEST_F(MainWindowChangeTest, PriceCellButtonsShowTheRowsComparisonAndHistory) {
  TaskPtr paused = AddTask("Paused", false);
  TaskPtr tracked = AddTask("Tracked", true);
  home.Write("comp.xml", kThreeOffers);
  home.Write("history.xml", kThreePoints);
  auto offers = std::make_shared<CETaoInfo>();
  ASSERT_TRUE(offers->LoadCache(home.File("comp.xml")));
  auto history = std::make_shared<CPriceInfo>();
  ASSERT_TRUE(history->LoadCache(home.File("history.xml")));
  for (const TaskPtr& task : {paused, tracked}) {
    task->SetCompareInfo(offers);
    task->SetPriceHistory(history);
  }
  OpenWindowWith(1, 0);
  window->show();
  auto* comparison = window->findChild<CCompPriceDlg*>();
  auto* chart = window->findChild<CHisPriceDlg*>();
  ASSERT_TRUE(comparison && chart);
  auto click = [&](int row, TaskListHit hit) {
    emit window->TaskList().rowClicked(row, kColumnPrice, TaskListHitResult{hit, -1});
  };

  click(1, TaskListHit::kCompare);
  EXPECT_EQ(window->VisiblePanel(), CVantrelDlg::Panel::kComparison);
  EXPECT_TRUE(comparison->isVisible());
  EXPECT_EQ(comparison->CountLabel()->text(), QStringLiteral("共3个网站，价格从低到高"));
  ASSERT_EQ(comparison->List()->rowCount(), 3);
  EXPECT_EQ(comparison->List()->item(0, CCompPriceDlg::kSite)->text(), QStringLiteral("ShopA"));

  click(1, TaskListHit::kHistory);
  EXPECT_EQ(window->VisiblePanel(), CVantrelDlg::Panel::kHistory);
  EXPECT_TRUE(chart->isVisible());
  EXPECT_FALSE(comparison->isVisible());
  EXPECT_EQ(chart->List()->rowCount(), 3);
  EXPECT_TRUE(chart->NoDataLabel()->isHidden());

  // A paused task has neither: the shop panel comes back.
  click(0, TaskListHit::kCompare);
  EXPECT_EQ(window->VisiblePanel(), CVantrelDlg::Panel::kWeb);
  click(0, TaskListHit::kHistory);
  EXPECT_EQ(window->VisiblePanel(), CVantrelDlg::Panel::kWeb);
}

TEST_F(MainWindowChangeTest, TheShownHistoryTakesInThePointOfAPass) {
  TaskPtr task = AddTask("Tracked", true);
  home.Write("history.xml", kThreePoints);
  auto history = std::make_shared<CPriceInfo>();
  ASSERT_TRUE(history->LoadCache(home.File("history.xml")));
  task->SetPriceHistory(history);
  OpenWindowWith(1, 0);
  window->show();
  emit window->TaskList().rowClicked(0, kColumnPrice, TaskListHitResult{TaskListHit::kHistory, -1});
  auto* chart = window->findChild<CHisPriceDlg*>();
  ASSERT_EQ(chart->List()->rowCount(), 3);
  // What a pass does: a point into the same history, then "UpdateData".
  history->AddItem({"2024-04-01 10:00:00", "150.00"});
  window->Events().PostUpdateData(task, "");
  EXPECT_TRUE(SpinUntil([&] { return chart->List()->rowCount() == 4; }));
  EXPECT_EQ(chart->List()->item(0, 1)->text(), QStringLiteral("150.00"));
}

}  // namespace
