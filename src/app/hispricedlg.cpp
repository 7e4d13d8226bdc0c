#include "app/hispricedlg.h"

#include <cstdlib>
#include <vector>

#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>

#include "base/stringtable.h"
#include "controls/chartctrl.h"
#include "controls/qtext.h"
#include "services/history.h"

namespace {

constexpr int kLabelsTop = 6;
constexpr int kLabelHeight = 20;
constexpr int kChartTop = kLabelsTop + 3 * kLabelHeight + 4;
constexpr int kChartHeight = 180;
constexpr int kListTop = kChartTop + kChartHeight + 6;
constexpr int kListRightGap = 17;

QString DayPart(const std::string& time) { return FromLocal(time.substr(0, 10)); }

}  // namespace

CHisPriceDlg::CHisPriceDlg(QWidget* parent) : QWidget(parent) {
  m_count = new QLabel(this);
  QFont bold(LoadQString(IDS_UI_FONT));
  bold.setPixelSize(16);
  bold.setWeight(QFont::Bold);
  m_count->setFont(bold);
  m_lowest = new QLabel(this);
  m_highest = new QLabel(this);
  m_noData = new QLabel(QStringLiteral("暂无数据"), this);
  m_noData->setAlignment(Qt::AlignCenter);

  m_chart = new CChartCtrl(this);
  m_chart->SetBackColor(Qt::white);
  for (CChartStandardAxis* axis : {m_chart->GetLeftAxis(), m_chart->GetBottomAxis()}) {
    axis->SetAxisColor(QColor(192, 208, 224));
    axis->SetTextColor(QColor(102, 102, 102));
  }
  m_chart->GetBottomAxis()->SetGridVisible(false);
  m_line = m_chart->CreateLineSerie();
  m_line->SetColor(QColor(43, 178, 224));
  m_line->SetWidth(2);
  m_points = m_chart->CreatePointsSerie();
  m_points->SetPointSize(5, 5);
  m_points->SetColor(QColor(20, 105, 162));
  m_points->SetBorderColor(QColor(20, 105, 162));

  m_list = new QTableWidget(0, 3, this);
  m_list->setHorizontalHeaderLabels(
      {QStringLiteral("时间"), QStringLiteral("历史价格"), QString()});
  m_list->setColumnWidth(0, 150);
  m_list->setColumnWidth(1, 70);
  m_list->setColumnWidth(2, 50);
  m_list->verticalHeader()->hide();
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setShowGrid(true);

  ShowEmpty(true);
}

void CHisPriceDlg::ShowHistory(const std::shared_ptr<CPriceInfo>& history) {
  if (m_hasShown && history == m_shown) return;
  m_hasShown = true;
  m_shown = history;
  m_line->ClearSerie();
  m_points->ClearSerie();
  m_list->setRowCount(0);
  // One copy of the points: a tracking pass may add one meanwhile.
  if (!history || history->GetItemCount() == 0) {
    ShowEmpty(true);
    return;
  }
  Fill(*history);
}

void CHisPriceDlg::Fill(const CPriceInfo& history) {
  const std::vector<CPriceInfoItem> items = history.Items();
  if (items.empty()) {
    ShowEmpty(true);
    return;
  }
  ShowEmpty(false);
  const std::string lowest = history.GetLowestPrice();
  const std::string highest = history.GetHighestPrice();
  m_chart->GetLeftAxis()->SetMinMax(std::atof(lowest.c_str()) * 0.95,
                                    std::atof(highest.c_str()) * 1.05);
  m_chart->GetBottomAxis()->SetMinMax(0, static_cast<double>(items.size()));
  m_count->setText(QStringLiteral("历史价格（%1条）").arg(items.size()));
  m_lowest->setText(
      QStringLiteral("最低价格：%1(%2)").arg(FromLocal(lowest), DayPart(history.GetLowestDate())));
  m_highest->setText(QStringLiteral("最高价格：%1(%2)")
                         .arg(FromLocal(highest), DayPart(history.GetHighestDate())));

  m_list->setRowCount(static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    const int row = static_cast<int>(i);
    m_list->setItem(row, 0, new QTableWidgetItem(FromLocal(items[i].date)));
    m_list->setItem(row, 1, new QTableWidgetItem(FromLocal(items[i].price)));
  }

  // Oldest first: the points are held newest first.
  std::vector<double> xs;
  std::vector<double> ys;
  for (size_t i = 0; i < items.size(); ++i) {
    const double x = static_cast<double>(i);
    const double y = std::atof(items[items.size() - 1 - i].price.c_str());
    xs.push_back(x);
    ys.push_back(y);
    m_points->AddPoint(x, y);
  }
  m_line->AddPoints(xs.data(), ys.data(), xs.size());
}

void CHisPriceDlg::ShowEmpty(bool empty) {
  m_noData->setVisible(empty);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{m_chart, m_count, m_lowest, m_highest, m_list})
    widget->setVisible(!empty);
}

void CHisPriceDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = width();
  m_count->setGeometry(8, kLabelsTop, w - 16, kLabelHeight);
  m_lowest->setGeometry(8, kLabelsTop + kLabelHeight, w - 16, kLabelHeight);
  m_highest->setGeometry(8, kLabelsTop + 2 * kLabelHeight, w - 16, kLabelHeight);
  m_chart->setGeometry(0, kChartTop, w, kChartHeight);
  m_list->setGeometry(0, kListTop, std::max(0, w - kListRightGap),
                      std::max(0, height() - kListTop));
  m_noData->setGeometry(0, 0, w, height());
}

void CHisPriceDlg::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!m_list->isVisible()) return;
  QPainter painter(this);
  painter.setPen(QColor(224, 224, 224));
  painter.drawLine(0, kListTop - 1, width(), kListTop - 1);
}
