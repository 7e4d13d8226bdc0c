#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QWidget>

class CChartCtrl;
class CChartLineSerie;
class CChartPointsSerie;
class CPriceInfo;
struct CPriceInfoItem;
class QLabel;
class QTableWidget;

// The price-trend panel: a product's history as a list (newest first) and a
// line chart (oldest first) on a time axis labelled at whole months, days or
// hours, each price holding until the next, with the number of points and
// the lowest and highest price and day; "暂无数据" when there are no points.
// Where the chart puts a history's points: x is the point's date in seconds
// (read as UTC, so a clock change never folds two points together), y its
// price, oldest first; a point whose date is no time is left out. The range
// runs a little beyond the first and the last point, so both show, and a
// single point sits in the middle of a two-day range.
struct HistoryChartData {
  std::vector<double> xs;
  std::vector<double> ys;
  double xMin = 0;
  double xMax = 1;
};
HistoryChartData HistoryChartPoints(const std::vector<CPriceInfoItem>& newestFirst);

// A bottom-axis label for `seconds`: the month ("2024-05") when ticks are
// two months or more apart, the month alone ("5月") when a month, the day
// ("05-20") when a day or more, else the time ("08:30").
QString HistoryDateLabel(double seconds, double step);

class CHisPriceDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CHisPriceDlg(QWidget* parent = nullptr);

  // Shows one history (null shows "暂无数据"); the history already shown is
  // not built again. The panel keeps the history alive while it shows it.
  void ShowHistory(const std::shared_ptr<CPriceInfo>& history);
  // Shows the history again when it is another one or its points changed
  // since they were shown: a pass adds its point to the same history.
  void RefreshHistory(const std::shared_ptr<CPriceInfo>& history);

  CChartCtrl* Chart() const { return m_chart; }
  CChartLineSerie* LineSerie() const { return m_line; }
  CChartPointsSerie* PointsSerie() const { return m_points; }
  QTableWidget* List() const { return m_list; }
  QLabel* CountLabel() const { return m_count; }
  QLabel* LowestLabel() const { return m_lowest; }
  QLabel* HighestLabel() const { return m_highest; }
  QLabel* NoDataLabel() const { return m_noData; }
  // The lowest prices of the last 30, 90 and 180 days with their days, and
  // what the history says of the newest price.
  QLabel* LowLabel(size_t index) const { return m_lows[index]; }
  QLabel* VerdictLabel() const { return m_verdict; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowEmpty(bool empty);
  void Fill(const CPriceInfo& history);
  void ShowVerdict(const std::vector<CPriceInfoItem>& items);

  std::shared_ptr<CPriceInfo> m_shown;
  std::string m_shownText;  // the history as it was shown, as its file holds it
  bool m_hasShown = false;
  CChartCtrl* m_chart;
  CChartLineSerie* m_line;
  CChartPointsSerie* m_points;
  QTableWidget* m_list;
  QLabel* m_count;
  QLabel* m_lowest;
  QLabel* m_highest;
  QLabel* m_noData;
  QLabel* m_lows[3];
  QLabel* m_verdict;
};
