#pragma once

#include <memory>
#include <string>

#include <QString>
#include <QWidget>

class CETaoInfo;
class CWindowJobs;
class QLabel;
class QTableWidget;

// The compare-prices panel: a product's offers in other shops, cheapest
// first, each with a "去看看" cell that opens the offer's shop link.
class CCompPriceDlg : public QWidget {
  Q_OBJECT

 public:
  enum Column { kSite, kPrice, kBuy, kUrl, kGotoUrl, kFiller, kColumnCount };

  explicit CCompPriceDlg(QWidget* parent = nullptr);

  // Shows one product's offers (null shows "暂无数据"); the comparison
  // already shown is not built again.
  void ShowComparison(const std::shared_ptr<CETaoInfo>& comparison);
  // A click on a cell; column kBuy opens the offer once its link is
  // rewritten.
  void ClickCell(int row, int column);
  // Where offer links are rewritten; null: the shared runner.
  void SetJobs(CWindowJobs* jobs) { m_jobs = jobs; }

  QTableWidget* List() const { return m_list; }
  QLabel* CountLabel() const { return m_count; }
  // "价格更新于" and the time of the last refresh, under the count line.
  QLabel* RefreshedLabel() const { return m_refreshed; }
  QLabel* NoDataLabel() const { return m_noData; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowEmpty(bool empty);
  void LayOutList();
  void OpenOffer(const std::string& url, const std::string& rewritten);

  std::shared_ptr<CETaoInfo> m_shown;
  bool m_hasShown = false;
  CWindowJobs* m_jobs = nullptr;
  QTableWidget* m_list;
  QLabel* m_count;
  QLabel* m_refreshed;
  QLabel* m_noData;
};
