#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <QLabel>
#include <QTableWidget>

#include "app/comppricedlg.h"
#include "app/hispricedlg.h"
#include "base/clock.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/timetext.h"
#include "controls/chartctrl.h"
#include "history_samples.h"
#include "services/comparison.h"
#include "services/history.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

// A history date as the chart's x: seconds, read as UTC.
double Seconds(const char* date) {
  QDateTime time =
      QDateTime::fromString(QString::fromLatin1(date), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  time.setTimeZone(QTimeZone::utc());
  return static_cast<double>(time.toSecsSinceEpoch());
}

std::shared_ptr<CPriceInfo> LoadHistory(const TempDir& dir, const std::string& xml) {
  dir.Write("history.xml", xml);
  auto history = std::make_shared<CPriceInfo>();
  EXPECT_TRUE(history->LoadCache(dir.File("history.xml")));
  return history;
}

class HistoryPanelTest : public ::testing::Test {
 protected:
  HistoryPanelTest() {
    panel.resize(300, 500);
    panel.show();
  }
  QApplication& app = TestApplication();
  TempDir home{true};
  CHisPriceDlg panel;
};

TEST_F(HistoryPanelTest, AnEmptyHistoryShowsOnlyNoData) {
  for (const auto& history : {std::shared_ptr<CPriceInfo>(), std::make_shared<CPriceInfo>()}) {
    panel.ShowHistory(history);
    EXPECT_FALSE(panel.NoDataLabel()->isHidden());
    EXPECT_EQ(panel.NoDataLabel()->text(), QStringLiteral("暂无数据"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{panel.Chart(), panel.List(), panel.CountLabel(),
                                         panel.LowestLabel(), panel.HighestLabel()})
      EXPECT_TRUE(w->isHidden());
  }
}

TEST_F(HistoryPanelTest, ThreePointsGiveLabelsListNewestFirstAndChartOldestFirst) {
  panel.ShowHistory(LoadHistory(home, kThreePoints));
  EXPECT_TRUE(panel.NoDataLabel()->isHidden());
  EXPECT_FALSE(panel.Chart()->isHidden());
  EXPECT_EQ(panel.CountLabel()->text(), QStringLiteral("历史价格（3条）"));
  EXPECT_EQ(panel.LowestLabel()->text(), QStringLiteral("最低价格：179.00(2024-02-10)"));
  EXPECT_EQ(panel.HighestLabel()->text(), QStringLiteral("最高价格：210.00(2024-01-05)"));

  ASSERT_EQ(panel.List()->rowCount(), 3);
  const char* dates[] = {"2024-03-01 09:15:00", "2024-02-10 08:00:00", "2024-01-05 12:30:00"};
  const char* prices[] = {"189.00", "179.00", "210.00"};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(panel.List()->item(row, 0)->text(), QString::fromUtf8(dates[row]));
    EXPECT_EQ(panel.List()->item(row, 1)->text(), QString::fromUtf8(prices[row]));
  }

  const double oldestFirst[] = {210, 179, 189};
  const double times[] = {Seconds("2024-01-05 12:30:00"), Seconds("2024-02-10 08:00:00"),
                          Seconds("2024-03-01 09:15:00")};
  for (CChartSerie* serie :
       std::initializer_list<CChartSerie*>{panel.LineSerie(), panel.PointsSerie()}) {
    ASSERT_EQ(serie->GetPointsCount(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(serie->GetPoint(i), QPointF(times[i], oldestFirst[i]));
  }
  EXPECT_DOUBLE_EQ(panel.Chart()->GetLeftAxis()->GetMin(), 179.0 * 0.95);
  EXPECT_DOUBLE_EQ(panel.Chart()->GetLeftAxis()->GetMax(), 210.0 * 1.05);
  EXPECT_LT(panel.Chart()->GetBottomAxis()->GetMin(), times[0]);
  EXPECT_GT(panel.Chart()->GetBottomAxis()->GetMax(), times[2]);
  EXPECT_EQ(panel.List()->width(), panel.width() - 17);
  EXPECT_EQ(panel.Chart()->width(), panel.width());
}

TEST_F(HistoryPanelTest, TheLowsOfEachStretchAndTheVerdictOfTheNewestPrice) {
  std::time_t now = 0;
  ASSERT_TRUE(ParseTimeText("2024-03-05 12:00:00", now));
  SetClockForTesting([now] { return now; });
  panel.ShowHistory(LoadHistory(home, kThreePoints));
  SetClockForTesting({});
  // Two months of history: no 90- or 180-day low to show yet.
  EXPECT_EQ(panel.LowLabel(0)->text(), QStringLiteral("近30天最低：179.00(2024-02-10)"));
  EXPECT_EQ(panel.LowLabel(1)->text(), QStringLiteral("近90天最低：—"));
  EXPECT_EQ(panel.LowLabel(2)->text(), QStringLiteral("近180天最低：—"));
  EXPECT_EQ(panel.VerdictLabel()->text(), QStringLiteral("当前价格：高于近30天最低价"));
  EXPECT_FALSE(panel.VerdictLabel()->isHidden());
}

TEST_F(HistoryPanelTest, OnePointSitsInTheMiddleOfTwoDays) {
  panel.ShowHistory(LoadHistory(
      home,
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices><LPDate>2024-01-01 00:00:00</LPDate>"
      "<LowestPrice>99.00</LowestPrice><HPDate>2024-01-01 00:00:00</HPDate>"
      "<HighestPrice>99.00</HighestPrice><HPriceList><HPrice><Date>2024-01-01 00:00:00</Date>"
      "<Price>99.00</Price></HPrice></HPriceList></HPrices>"));
  const double day = 86400;
  const double x = Seconds("2024-01-01 00:00:00");
  EXPECT_DOUBLE_EQ(panel.Chart()->GetBottomAxis()->GetMin(), x - day);
  EXPECT_DOUBLE_EQ(panel.Chart()->GetBottomAxis()->GetMax(), x + day);
  ASSERT_EQ(panel.PointsSerie()->GetPointsCount(), 1u);
  EXPECT_EQ(panel.PointsSerie()->GetPoint(0), QPointF(x, 99));
  EXPECT_TRUE(panel.Chart()->PlotArea().contains(panel.Chart()->ValueToPixel(x, 99)));
  panel.Chart()->grab();
}

TEST(HistoryChartPoints, XFollowsTheDatesAndTheRangeShowsBothEnds) {
  // Newest first, as histories hold them: a minute, then a month apart.
  const std::vector<CPriceInfoItem> items = {{"2024-03-01 10:01:00", "3"},
                                             {"2024-03-01 10:00:00", "2"},
                                             {"not a date", "9"},
                                             {"2024-02-01", "1"}};
  const HistoryChartData data = HistoryChartPoints(items);
  ASSERT_EQ(data.xs.size(), 3u);
  EXPECT_EQ(data.ys, (std::vector<double>{1, 2, 3}));
  EXPECT_DOUBLE_EQ(data.xs[1] - data.xs[0], 29 * 86400 + 10 * 3600);
  EXPECT_DOUBLE_EQ(data.xs[2] - data.xs[1], 60);
  const double margin = (data.xs[2] - data.xs[0]) * 0.04;
  EXPECT_DOUBLE_EQ(data.xMin, data.xs[0] - margin);
  EXPECT_DOUBLE_EQ(data.xMax, data.xs[2] + margin);
  EXPECT_TRUE(HistoryChartPoints({{"garbage", "1"}}).xs.empty());
  // Ten minutes fill the plot rather than the middle of a two-hour range.
  const HistoryChartData minutes =
      HistoryChartPoints({{"2024-03-01 10:10:00", "2"}, {"2024-03-01 10:00:00", "1"}});
  EXPECT_DOUBLE_EQ(minutes.xMax - minutes.xMin, 600 + 2 * 60);

  const struct {
    double step;
    const char* label;
  } labels[] = {{120 * 86400, "2024-02"}, {31 * 86400, "2月"}, {86400, "02-01"}, {3600, "00:00"}};
  for (const auto& l : labels)
    EXPECT_EQ(HistoryDateLabel(data.xs[0], l.step), QString::fromUtf8(l.label)) << l.step;
}

TEST_F(HistoryPanelTest, TheNewestPointOfAMonthsLongHistoryIsInsideThePlot) {
  panel.ShowHistory(LoadHistory(home, kThreePoints));
  panel.Chart()->grab();
  const QRectF plot = panel.Chart()->PlotArea();
  for (size_t i = 0; i < panel.PointsSerie()->GetPointsCount(); ++i) {
    const QPointF point = panel.PointsSerie()->GetPoint(i);
    EXPECT_TRUE(plot.contains(panel.Chart()->ValueToPixel(point.x(), point.y()))) << i;
  }
}

TEST_F(HistoryPanelTest, TheSameHistoryIsNotBuiltAgainAnotherOneIs) {
  auto history = LoadHistory(home, kThreePoints);
  panel.ShowHistory(history);
  history->AddItem({"2024-04-01 10:00:00", "150.00"});
  panel.ShowHistory(history);
  EXPECT_EQ(panel.List()->rowCount(), 3);
  panel.ShowHistory(std::make_shared<CPriceInfo>());
  EXPECT_EQ(panel.List()->rowCount(), 0);
  EXPECT_EQ(panel.LineSerie()->GetPointsCount(), 0u);
  panel.ShowHistory(history);
  EXPECT_EQ(panel.List()->rowCount(), 4);
}

TEST_F(HistoryPanelTest, AHistoryWithoutSummaryStillDraws) {
  // A hand-edited file: points but no lowest or highest price.
  panel.ShowHistory(LoadHistory(
      home,
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices><HPriceList><HPrice>"
      "<Date>2024-01-01 00:00:00</Date><Price>abc</Price></HPrice></HPriceList></HPrices>"));
  EXPECT_EQ(panel.LowestLabel()->text(), QStringLiteral("最低价格：()"));
  panel.Chart()->grab();
}

class ComparisonPanelTest : public ::testing::Test {
 protected:
  ComparisonPanelTest() {
    SetLinkOpener([this](const std::string& url) { opened.push_back(url); });
    SetMessageHandler([this](unsigned id, int, const std::string&) {
      messages.push_back(id);
      return IDOK;
    });
    panel.resize(300, 400);
    panel.show();
  }
  ~ComparisonPanelTest() override {
    SetLinkOpener(nullptr);
    SetMessageHandler(nullptr);
  }
  std::shared_ptr<CETaoInfo> Load(const std::string& items) {
    home.Write("comp.xml",
               "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<PItems><Date>2024-01-01 "
               "00:00:00</Date><ItemID></ItemID><PItemList>" +
                   items + "</PItemList></PItems>");
    auto info = std::make_shared<CETaoInfo>();
    EXPECT_TRUE(info->LoadCache(home.File("comp.xml")));
    return info;
  }
  QApplication& app = TestApplication();
  TempDir home{true};
  CCompPriceDlg panel;
  std::vector<std::string> opened;
  std::vector<unsigned> messages;
};

const char kThreeOffers[] =
    "<PItem><Name>A</Name><Price>170.00</Price><Url>http://a.test/1</Url><GotoUrl></GotoUrl>"
    "<Site>ShopA</Site></PItem>"
    "<PItem><Name>B</Name><Price>180.00</Price><Url></Url><GotoUrl></GotoUrl>"
    "<Site>ShopB</Site></PItem>"
    "<PItem><Name>C</Name><Price>190.00</Price><Url>http://c.test/3</Url>"
    "<GotoUrl>http://c.test/go</GotoUrl><Site>ShopC</Site></PItem>";

TEST_F(ComparisonPanelTest, ThreeOffersGiveTheCountLineAndRowsInOrder) {
  panel.ShowComparison(Load(kThreeOffers));
  EXPECT_FALSE(panel.CountLabel()->isHidden());
  EXPECT_TRUE(panel.NoDataLabel()->isHidden());
  EXPECT_EQ(panel.CountLabel()->text(), QStringLiteral("共3个网站，价格从低到高"));
  // The prices are those of the last refresh, and the panel says when.
  EXPECT_EQ(panel.RefreshedLabel()->text(), QStringLiteral("价格更新于 2024-01-01 00:00"));
  EXPECT_FALSE(panel.RefreshedLabel()->isHidden());
  EXPECT_GE(panel.List()->y(), panel.RefreshedLabel()->geometry().bottom());
  ASSERT_EQ(panel.List()->rowCount(), 3);
  const char* sites[] = {"ShopA", "ShopB", "ShopC"};
  const char* prices[] = {"170.00", "180.00", "190.00"};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(panel.List()->item(row, CCompPriceDlg::kSite)->text(), QString(sites[row]));
    EXPECT_EQ(panel.List()->item(row, CCompPriceDlg::kPrice)->text(), QString(prices[row]));
  }
  EXPECT_EQ(panel.List()->item(2, CCompPriceDlg::kGotoUrl)->text(),
            QStringLiteral("http://c.test/go"));
  EXPECT_EQ(panel.List()->width(), panel.width() - 17);
}

TEST_F(ComparisonPanelTest, NoOffersShowNoData) {
  for (const auto& info : {std::shared_ptr<CETaoInfo>(), Load("")}) {
    panel.ShowComparison(info);
    EXPECT_FALSE(panel.NoDataLabel()->isHidden());
    EXPECT_TRUE(panel.List()->isHidden());
    EXPECT_TRUE(panel.CountLabel()->isHidden());
  }
}

TEST_F(ComparisonPanelTest, GoAndSeeOpensTheOfferOrSaysTheLinkIsInvalid) {
  panel.ShowComparison(Load(kThreeOffers));
  panel.ClickCell(0, CCompPriceDlg::kSite);  // not the buy cell: nothing
  EXPECT_TRUE(opened.empty());
  panel.ClickCell(0, CCompPriceDlg::kBuy);
  // The offer's link is rewritten on a worker and opened when it is back.
  ASSERT_TRUE(SpinUntil([&] { return !opened.empty(); }));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("http://a.test/1", 0), 0u) << opened[0];
  // The rewritten http:// link is kept in the row.
  EXPECT_EQ(panel.List()->item(0, CCompPriceDlg::kGotoUrl)->text().toStdString(), opened[0]);

  panel.ClickCell(1, CCompPriceDlg::kBuy);
  ASSERT_TRUE(SpinUntil([&] { return !messages.empty(); }));
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(messages, (std::vector<unsigned>{57722}));
  panel.ClickCell(7, CCompPriceDlg::kBuy);  // no such row
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(ComparisonPanelTest, TheSameComparisonIsNotBuiltAgain) {
  auto info = Load(kThreeOffers);
  panel.ShowComparison(info);
  panel.List()->item(0, CCompPriceDlg::kSite)->setText(QStringLiteral("marked"));
  panel.ShowComparison(info);
  EXPECT_EQ(panel.List()->item(0, CCompPriceDlg::kSite)->text(), QStringLiteral("marked"));
  panel.ShowComparison(Load(kThreeOffers));
  EXPECT_EQ(panel.List()->item(0, CCompPriceDlg::kSite)->text(), QStringLiteral("ShopA"));
}

}  // namespace
