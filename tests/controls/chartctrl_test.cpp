#include "controls/chartctrl.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QTimeZone>

#include "controls/timeaxis.h"
#include "support/qt_application.h"

namespace {

class ChartTest : public ::testing::Test {
 protected:
  ChartTest() { chart.resize(400, 300); }
  QApplication& app = TestApplication();
  CChartCtrl chart;
};

TEST_F(ChartTest, RangeEndsLandOnThePlotEdges) {
  chart.GetLeftAxis()->SetMinMax(95, 210);
  chart.GetBottomAxis()->SetMinMax(0, 3);
  const QRectF area = chart.PlotArea();
  EXPECT_EQ(chart.ValueToPixel(0, 95), area.bottomLeft());
  EXPECT_EQ(chart.ValueToPixel(3, 210), area.topRight());
  const QPointF middle = chart.ValueToPixel(1.5, 152.5);
  EXPECT_NEAR(middle.x(), area.center().x(), 1e-9);
  EXPECT_NEAR(middle.y(), area.center().y(), 1e-9);
}

TEST_F(ChartTest, EmptyOrBrokenRangesAreWidenedAroundTheValue) {
  const struct {
    double min, max;
  } cases[] = {{100, 100},
               {0, 0},
               {5, 1},
               {std::numeric_limits<double>::quiet_NaN(), 3},
               {1, std::numeric_limits<double>::infinity()}};
  for (const auto& c : cases) {
    chart.GetLeftAxis()->SetMinMax(c.min, c.max);
    const double low = chart.GetLeftAxis()->DrawnMin();
    const double high = chart.GetLeftAxis()->DrawnMax();
    EXPECT_TRUE(std::isfinite(low) && std::isfinite(high)) << c.min << " " << c.max;
    EXPECT_LT(low, high) << c.min << " " << c.max;
    if (std::isfinite(c.min) && std::isfinite(c.max)) {
      EXPECT_LE(low, c.min);
      EXPECT_GE(high, c.min);
    }
    const QPointF p = chart.ValueToPixel(0, std::isfinite(c.min) ? c.min : 0);
    EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
  }
  chart.grab();  // drawing such ranges neither hangs nor divides by zero
}

TEST_F(ChartTest, TicksAreRoundValuesInsideTheRange) {
  const struct {
    double min, max;
    int maxTicks;
  } cases[] = {{0, 3, 6}, {94.05, 220.5, 6}, {0.1, 0.35, 5}, {1e20, 1e20, 6}, {-7, 7, 4}};
  for (const auto& c : cases) {
    chart.GetBottomAxis()->SetMinMax(c.min, c.max);
    const std::vector<double> ticks = chart.GetBottomAxis()->Ticks(c.maxTicks);
    const double low = chart.GetBottomAxis()->DrawnMin();
    const double high = chart.GetBottomAxis()->DrawnMax();
    ASSERT_FALSE(ticks.empty()) << c.min;
    EXPECT_LE(ticks.size(), static_cast<size_t>(c.maxTicks) + 1) << c.min;
    for (double tick : ticks) {
      EXPECT_GE(tick, low - std::fabs(low) * 1e-9) << c.min;
      EXPECT_LE(tick, high + std::fabs(high) * 1e-9) << c.min;
    }
    if (ticks.size() > 1) {
      const double step = ticks[1] - ticks[0];
      const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
      EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                  std::fabs(mantissa - 5) < 1e-6)
          << c.min << " step " << step;
    }
  }
}

TEST_F(ChartTest, SeriesCollectClearAndDrawTheirPoints) {
  chart.GetLeftAxis()->SetMinMax(0, 10);
  chart.GetBottomAxis()->SetMinMax(0, 4);
  chart.GetLeftAxis()->SetGridVisible(false);
  chart.GetBottomAxis()->SetGridVisible(false);
  CChartLineSerie* line = chart.CreateLineSerie();
  CChartPointsSerie* points = chart.CreatePointsSerie();
  line->SetColor(QColor(43, 178, 224));
  line->SetWidth(2);
  points->SetColor(QColor(200, 0, 0));
  points->SetBorderColor(QColor(200, 0, 0));
  points->SetPointSize(9, 9);
  const double xs[] = {0.5, 2, 3.5};
  const double ys[] = {2, 8, 5};
  line->AddPoints(xs, ys, 3);
  for (int i = 0; i < 3; ++i) points->AddPoint(xs[i], ys[i]);
  ASSERT_EQ(line->GetPointsCount(), 3u);
  EXPECT_EQ(points->GetPoint(1), QPointF(2, 8));

  const QImage image = chart.grab().toImage();
  for (int i = 0; i < 3; ++i) {
    const QPoint at = chart.ValueToPixel(xs[i], ys[i]).toPoint();
    EXPECT_EQ(image.pixelColor(at), QColor(200, 0, 0)) << i;
  }
  // Half way along the first segment the line is drawn, away from any point.
  const QPoint onLine = ((chart.ValueToPixel(0.5, 2) + chart.ValueToPixel(2, 8)) / 2).toPoint();
  EXPECT_EQ(image.pixelColor(onLine).blue() > 150 && image.pixelColor(onLine).red() < 120, true);

  points->ClearSerie();
  line->ClearSerie();
  EXPECT_EQ(points->GetPointsCount(), 0u);
  const QImage cleared = chart.grab().toImage();
  EXPECT_EQ(cleared.pixelColor(chart.ValueToPixel(2, 8).toPoint()), QColor(Qt::white));
  chart.RemoveAllSeries();
  chart.grab();
}

// A wall-clock time as the time axis holds it: seconds, read as UTC.
double At(const char* time) {
  QDateTime t =
      QDateTime::fromString(QString::fromLatin1(time), QStringLiteral("yyyy-MM-dd HH:mm"));
  t.setTimeZone(QTimeZone::utc());
  return static_cast<double>(t.toSecsSinceEpoch());
}

TEST(CalendarTicks, MonthsOverMonthsDaysOverDaysHoursOverADay) {
  const double day = 86400;
  const struct {
    const char *low, *high;
    int maxTicks;
    double step;
    const char* first;
    size_t count;
  } cases[] = {
      {"2024-01-05 00:00", "2024-06-02 00:00", 5, 30 * day, "2024-02-01 00:00", 5},
      {"2024-01-05 00:00", "2024-06-02 00:00", 3, 60 * day, "2024-03-01 00:00", 2},
      {"2024-03-03 12:00", "2024-03-13 00:00", 5, 2 * day, "2024-03-05 00:00", 5},
      {"2024-03-03 08:10", "2024-03-03 18:00", 5, 7200, "2024-03-03 10:00", 5},
      {"2024-03-03 23:03", "2024-03-04 00:23", 5, 900, "2024-03-03 23:15", 5},
      {"2015-06-01 00:00", "2024-06-01 00:00", 5, 730 * day, "2016-01-01 00:00", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.low) + " " + c.high);
    const AxisTicks ticks = CalendarTicks(At(c.low), At(c.high), c.maxTicks);
    EXPECT_EQ(ticks.step, c.step);
    ASSERT_EQ(ticks.values.size(), c.count);
    EXPECT_EQ(ticks.values[0], At(c.first));
  }
  // Whole months, not thirty days: the 1st of each.
  const AxisTicks months = CalendarTicks(At("2024-01-05 00:00"), At("2024-06-02 00:00"), 5);
  EXPECT_EQ(months.values[1], At("2024-03-01 00:00"));
}

TEST(StepPoints, APriceHoldsUntilTheNextPointAndTheLastToTheEnd) {
  const std::vector<QPointF> points = {{0, 5}, {10, 3}, {20, 4}};
  EXPECT_EQ(StepPoints(points, 30),
            (std::vector<QPointF>{{0, 5}, {10, 5}, {10, 3}, {20, 3}, {20, 4}, {30, 4}}));
  EXPECT_EQ(StepPoints({{0, 5}}, 0), (std::vector<QPointF>{{0, 5}}));
}

}  // namespace
