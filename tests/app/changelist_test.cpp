#include "app/changelistdlg.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>

#include "base/codepage.h"
#include "base/message.h"
#include "base/openlink.h"
#include "engine/task.h"
#include "engine/tasklist.h"
#include "support/http_server.h"
#include "support/qt_application.h"
#include "support/spider_timeouts.h"
#include "support/tempdir.h"

namespace {

struct Change {
  const char* previousPrice;
  const char* currentPrice;
  int previousStock;
  int currentStock;
  const char* priceState;
  const char* stockState;
};

std::shared_ptr<CTask> MakeTask(const Change& c, const std::string& url = "http://shop.test/1.html",
                                const std::string& name = "Phone") {
  CTaskValues values;
  values.url = url;
  values.productName = name;
  values.siteName = Utf8ToLocal("测试商城");
  values.currentPrice = c.currentPrice;
  values.currentStock = c.currentStock;
  auto task = std::make_shared<CTask>(values);
  task->SetPreviousPrice(c.previousPrice);
  task->SetPreviousStock(c.previousStock);
  task->SetPriceState(c.priceState);
  task->SetStockState(c.stockState);
  return task;
}

TEST(ChangeRowText, SaysWhatMovedFromWhatToWhat) {
  const struct {
    Change change;
    const char* text;  // UTF-8
  } cases[] = {
      {{"199.00", "179.00", 1, 1, "down", "nochange"}, "199.00 -> 179.00"},
      {{"179.00", "179.00", 0, 1, "nochange", "change"}, "无货 -> 有货"},
      {{"199.00", "209.00", 1, 0, "up", "change"}, "199.00 -> 209.00  有货 -> 无货"},
      {{"12.5", "12.5", 1, -1, "nochange", "change"}, "有货 -> 不确定"},
      {{"1.00", "1.00", 2, 1, "nochange", "change"}, "抓取中 -> 有货"},
      {{"abc", "ABC", 1, 1, "nochange", "nochange"}, ""},
      {{"", "0.00", 1, 1, "error", "nochange"}, " -> 0.00"},
  };
  for (const auto& c : cases) {
    const auto task = MakeTask(c.change);
    EXPECT_EQ(LocalToUtf8(ChangeRowText(*task)), c.text)
        << c.change.previousPrice << " " << c.change.currentPrice;
  }
}

TEST(ChangeCounts, ClassifiesPriceAndStockMoves) {
  const struct {
    Change change;
    int priceChanges, stockChanges;
  } cases[] = {
      {{"199.00", "179.00", 1, 1, "down", "nochange"}, 1, 0},
      {{"199.00", "209.00", 1, 1, "UP", "nochange"}, 1, 0},
      {{"179.00", "179.00", 0, 1, "nochange", "change"}, 0, 1},
      {{"199.00", "179.00", 1, 0, "down", "change"}, 1, 1},
      // A stock move to the unknown state alone counts only as a change.
      {{"179.00", "179.00", 1, -1, "nochange", "change"}, 0, 0},
      // Both moved, even to unknown: both counts.
      {{"199.00", "179.00", 1, -1, "down", "change"}, 1, 1},
      // A drop to no price is no price move.
      {{"199.00", "0.00", 1, 1, "down", "nochange"}, 0, 0},
      {{"199.00", "0.00", 1, 0, "down", "change"}, 0, 1},
  };
  for (const auto& c : cases) {
    CChangeCounts counts;
    counts.Count(*MakeTask(c.change));
    EXPECT_EQ(counts.changes, 1);
    EXPECT_EQ(counts.priceChanges, c.priceChanges) << c.change.priceState << c.change.currentStock;
    EXPECT_EQ(counts.stockChanges, c.stockChanges) << c.change.priceState << c.change.currentStock;
  }
}

class ChangeListTest : public ::testing::Test {
 protected:
  ChangeListTest() {
    SetLinkOpener([this](const std::string& url) { opened.push_back(url); });
    SetMessageHandler([this](unsigned id, int, const std::string&) {
      messages.push_back(id);
      return IDOK;
    });
  }
  ~ChangeListTest() override {
    SetLinkOpener(nullptr);
    SetMessageHandler(nullptr);
  }
  void SetUp() override {
    QObject::connect(&list, &CChangeListDlg::countChanged, [this](int n) { counts.push_back(n); });
    QObject::connect(&list, &CChangeListDlg::closed, [this] { ++closed; });
    QObject::connect(&list, &CChangeListDlg::taskClicked,
                     [this](const QString& url) { clicked.push_back(url); });
  }
  QApplication& app = TestApplication();
  TempDir home{true};
  CChangeListDlg list;
  std::vector<std::string> opened;
  std::vector<unsigned> messages;
  std::vector<int> counts;  // every countChanged
  int closed = 0;
  std::vector<QString> clicked;
};

TEST_F(ChangeListTest, APriceDropThenAStockChangeFillTheListNewestFirst) {
  EXPECT_EQ(list.SummaryText(), QStringLiteral("0个变动，0个价格变动，0个库存变动"));
  EXPECT_TRUE(list.isHidden());

  list.AddChange(*MakeTask({"199.00", "179.00", 1, 1, "down", "nochange"}, "http://a.test/1", "A"));
  EXPECT_FALSE(list.isHidden());
  EXPECT_EQ(list.SummaryText(), QStringLiteral("变动提示，1个变动，1个价格变动，0个库存变动"));
  list.AddChange(*MakeTask({"5.00", "5.00", 0, 1, "nochange", "change"}, "http://b.test/2", "B"));
  EXPECT_EQ(list.SummaryText(), QStringLiteral("变动提示，2个变动，1个价格变动，1个库存变动"));

  ASSERT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.CellText(0, CChangeListDlg::kName), QStringLiteral("B"));
  EXPECT_EQ(list.CellText(0, CChangeListDlg::kChange), QStringLiteral("无货 -> 有货"));
  EXPECT_EQ(list.CellText(0, CChangeListDlg::kSite), QStringLiteral("测试商城"));
  EXPECT_EQ(list.CellText(0, CChangeListDlg::kUrl), QStringLiteral("http://b.test/2"));
  EXPECT_EQ(list.CellText(1, CChangeListDlg::kChange), QStringLiteral("199.00 -> 179.00"));
  EXPECT_EQ(list.PreferredHeight(), 25 + 24 * 2);
  EXPECT_EQ(counts, (std::vector<int>{1, 2}));
}

TEST_F(ChangeListTest, AVerdictStandsBesideTheChangeInItsColour) {
  const struct {
    DealNote note;
    const char* alert;
    QString verdict;
    QColor colour;
  } cases[] = {
      // clang-format off
      {{DealNote::Kind::kLow, Utf8ToLocal("近90天最低"), true}, "", QStringLiteral("近90天最低"),
       QColor(3, 169, 72)},
      {{DealNote::Kind::kRiseUndone, Utf8ToLocal("先涨后降：14天内从199.00涨到259.00"), false}, "",
       QStringLiteral("先涨后降：14天内从199.00涨到259.00"), QColor(235, 120, 0)},
      // clang-format on
      {{}, "", QString(), QColor()},
      // A failure alert is no drop, whatever the task's last pass said.
      {{DealNote::Kind::kLow, Utf8ToLocal("历史最低"), true}, "Phone failed", QString(), QColor()},
  };
  for (const auto& c : cases) {
    auto task = MakeTask({"199.00", "179.00", 1, 1, "down", "nochange"});
    task->SetDealNote(c.note);
    list.AddChange(*task, c.alert);
    EXPECT_EQ(list.VerdictText(0), c.verdict);
    EXPECT_EQ(list.VerdictColor(0), c.colour);
    if (!*c.alert) {
      EXPECT_EQ(list.CellText(0, CChangeListDlg::kChange), QStringLiteral("199.00 -> 179.00"));
    }
  }
  list.resize(800, 200);
  list.grab();  // the verdict is drawn beside the text
}

TEST_F(ChangeListTest, DeletingRowsCountsDownAndTheLastOneClosesTheList) {
  list.AddChange(*MakeTask({"199.00", "179.00", 1, 1, "down", "nochange"}, "http://a.test/1"));
  list.AddChange(*MakeTask({"199.00", "179.00", 1, 0, "down", "change"}, "http://b.test/2"));
  const QString summary = list.SummaryText();

  list.ClickCell(0, CChangeListDlg::kDelete);
  EXPECT_EQ(list.RowCount(), 1);
  EXPECT_EQ(list.Counts().changes, 1);
  EXPECT_EQ(list.Counts().priceChanges, 2);  // only the change count follows
  EXPECT_EQ(list.SummaryText(), summary);
  EXPECT_EQ(list.CellText(0, CChangeListDlg::kUrl), QStringLiteral("http://a.test/1"));
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(counts.back(), 1);

  list.DeleteChange(5);  // out of range: nothing
  EXPECT_EQ(list.RowCount(), 1);

  list.ClickCell(0, CChangeListDlg::kDelete);
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_TRUE(list.isHidden());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(list.Counts().changes, 0);
  EXPECT_EQ(list.Counts().priceChanges, 0);
  EXPECT_EQ(list.Counts().stockChanges, 0);
  EXPECT_EQ(counts.back(), 0);

  // Counting starts from zero again.
  list.AddChange(*MakeTask({"5.00", "5.00", 0, 1, "nochange", "change"}));
  EXPECT_EQ(list.SummaryText(), QStringLiteral("变动提示，1个变动，0个价格变动，1个库存变动"));
}

TEST_F(ChangeListTest, ClearAndCloseEmptiesEverything) {
  for (int i = 0; i < 3; ++i) list.AddChange(*MakeTask({"2.00", "1.00", 1, 1, "down", "nochange"}));
  list.CloseChange();
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_TRUE(list.isHidden());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(list.Counts().changes, 0);
  EXPECT_EQ(list.SummaryText(), QStringLiteral("0个变动，0个价格变动，0个库存变动"));
}

TEST_F(ChangeListTest, ClicksSelectTheTaskAndBuyOpensTheShopLink) {
  list.AddChange(
      *MakeTask({"2.00", "1.00", 1, 1, "down", "nochange"}, "http://shop.test/p/9.html"));
  list.ClickCell(0, CChangeListDlg::kName);
  ASSERT_EQ(clicked.size(), 1u);
  EXPECT_EQ(clicked[0], QStringLiteral("http://shop.test/p/9.html"));
  EXPECT_TRUE(opened.empty());

  list.ClickCell(0, CChangeListDlg::kBuy);
  EXPECT_EQ(clicked.size(), 2u);
  // The link is rewritten on a worker and opened when it is back.
  ASSERT_TRUE(SpinUntil([&] { return !opened.empty(); }));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("http://shop.test/p/9.html", 0), 0u) << opened[0];
  EXPECT_TRUE(messages.empty());
}

TEST_F(ChangeListTest, BuyWithoutALinkSaysTheLinkIsInvalid) {
  list.AddChange(*MakeTask({"2.00", "1.00", 1, 1, "down", "nochange"}, ""));
  list.ClickCell(0, CChangeListDlg::kBuy);
  ASSERT_TRUE(SpinUntil([&] { return !messages.empty(); }));
  EXPECT_TRUE(opened.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], 57722u);
}

TEST_F(ChangeListTest, BuyWaitingOnTheCommissionServiceShowsBusyThenOpensThePlainLink) {
  ShortSpiderTimeouts timeouts{SpiderTimeouts{2000, 1}};
  RawHttpServer service;
  service.Silent("/buylink.php");
  home.Write("config.ini", "[Hosts]\r\nCommissionUrl=" + service.Url("/buylink.php") + "\r\n");
  CTaskList tasks;
  tasks.AddTask(MakeTask({"2.00", "1.00", 1, 1, "down", "nochange"}, "http://item.jd.com/7.html"));
  list.SetShopLinkStore({&tasks, "", {}});
  list.AddChange(*tasks.TaskAt(0));
  list.ClickCell(0, CChangeListDlg::kBuy);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
  ASSERT_TRUE(SpinUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened[0], "http://item.jd.com/7.html");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
