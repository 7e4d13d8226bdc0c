#pragma once

#include <memory>

#include <QString>
#include <QWidget>

class CChartCtrl;
class CChartLineSerie;
class CChartPointsSerie;
class CPriceInfo;
class QLabel;
class QTableWidget;

// The price-trend panel: a product's history as a list (newest first) and a
// line chart (oldest first), with the number of points and the lowest and
// highest price and day; "暂无数据" when there are no points.
class CHisPriceDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CHisPriceDlg(QWidget* parent = nullptr);

  // Shows one history (null shows "暂无数据"); the history already shown is
  // not built again. The panel keeps the history alive while it shows it.
  void ShowHistory(const std::shared_ptr<CPriceInfo>& history);

  CChartCtrl* Chart() const { return m_chart; }
  CChartLineSerie* LineSerie() const { return m_line; }
  CChartPointsSerie* PointsSerie() const { return m_points; }
  QTableWidget* List() const { return m_list; }
  QLabel* CountLabel() const { return m_count; }
  QLabel* LowestLabel() const { return m_lowest; }
  QLabel* HighestLabel() const { return m_highest; }
  QLabel* NoDataLabel() const { return m_noData; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowEmpty(bool empty);
  void Fill(const CPriceInfo& history);

  std::shared_ptr<CPriceInfo> m_shown;
  bool m_hasShown = false;
  CChartCtrl* m_chart;
  CChartLineSerie* m_line;
  CChartPointsSerie* m_points;
  QTableWidget* m_list;
  QLabel* m_count;
  QLabel* m_lowest;
  QLabel* m_highest;
  QLabel* m_noData;
};
