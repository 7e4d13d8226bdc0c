#include "app/hispricedlg.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <QDateTime>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QTimeZone>

#include "app/dealnotelook.h"
#include "base/clock.h"
#include "base/stringtable.h"
#include "controls/chartctrl.h"
#include "controls/qtext.h"
#include "controls/timeaxis.h"
#include "services/history.h"
#include "services/verdict.h"

namespace {

constexpr int kLabelsTop = 6;
constexpr int kLabelHeight = 20;
// The lows of the last 30, 90 and 180 days and the verdict, under the labels.
constexpr int kVerdictTop = kLabelsTop + 3 * kLabelHeight;
constexpr int kChartTop = kVerdictTop + 4 * kLabelHeight + 4;
constexpr int kChartHeight = 180;
constexpr int kListTop = kChartTop + kChartHeight + 6;
constexpr int kListRightGap = 17;

QString DayPart(const std::string& time) { return FromLocal(time.substr(0, 10)); }

constexpr double kDay = 86400;

// "yyyy-MM-dd HH:mm:ss", or only the day; null when it is neither.
QDateTime PointTime(const std::string& date) {
  const QString text = FromLocal(date).trimmed();
  QDateTime time = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  if (!time.isValid()) time = QDateTime::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
  if (time.isValid()) time.setTimeZone(QTimeZone::utc());
  return time;
}

}  // namespace

HistoryChartData HistoryChartPoints(const std::vector<CPriceInfoItem>& newestFirst) {
  HistoryChartData data;
  for (auto item = newestFirst.rbegin(); item != newestFirst.rend(); ++item) {
    const QDateTime time = PointTime(item->date);
    if (!time.isValid()) continue;
    data.xs.push_back(static_cast<double>(time.toSecsSinceEpoch()));
    data.ys.push_back(std::atof(item->price.c_str()));
  }
  if (data.xs.empty()) return data;
  const auto [first, last] = std::minmax_element(data.xs.begin(), data.xs.end());
  // A margin of 4 % (at least a minute) on each side keeps the end points
  // off the axes without squeezing a history of minutes into the middle;
  // one point gets a day on each side.
  const double span = *last - *first;
  const double margin = span > 0 ? std::max(span * 0.04, 60.0) : kDay;
  data.xMin = *first - margin;
  data.xMax = *last + margin;
  return data;
}

QString HistoryDateLabel(double seconds, double step) {
  const QDateTime time =
      QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::llround(seconds)), QTimeZone::utc());
  if (step >= 60 * kDay) return time.toString(QStringLiteral("yyyy-MM"));
  // Month by month the year is in the list; short labels let every month
  // have one.
  if (step >= 28 * kDay) return QStringLiteral("%1月").arg(time.date().month());
  if (step >= kDay) return time.toString(QStringLiteral("MM-dd"));
  return time.toString(QStringLiteral("HH:mm"));
}

CHisPriceDlg::CHisPriceDlg(QWidget* parent) : QWidget(parent) {
  m_count = new QLabel(this);
  QFont bold(LoadQString(IDS_UI_FONT));
  bold.setPixelSize(16);
  bold.setWeight(QFont::Bold);
  m_count->setFont(bold);
  m_lowest = new QLabel(this);
  m_highest = new QLabel(this);
  m_noData = new QLabel(QStringLiteral("暂无数据"), this);
  for (QLabel*& low : m_lows) low = new QLabel(this);
  m_verdict = new QLabel(this);
  m_noData->setAlignment(Qt::AlignCenter);

  m_chart = new CChartCtrl(this);
  m_chart->SetBackColor(Qt::white);
  for (CChartStandardAxis* axis : {m_chart->GetLeftAxis(), m_chart->GetBottomAxis()}) {
    axis->SetAxisColor(QColor(192, 208, 224));
    axis->SetTextColor(QColor(102, 102, 102));
  }
  m_chart->GetBottomAxis()->SetGridVisible(false);
  m_chart->GetBottomAxis()->SetLabelFormatter(HistoryDateLabel);
  m_chart->GetBottomAxis()->SetTickMaker(CalendarTicks);
  m_line = m_chart->CreateLineSerie();
  m_line->SetColor(QColor(43, 178, 224));
  m_line->SetWidth(2);
  m_line->SetStepped(true);
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
  m_shownText = history ? history->ToCacheText() : std::string();
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

void CHisPriceDlg::RefreshHistory(const std::shared_ptr<CPriceInfo>& history) {
  if (m_hasShown && history == m_shown &&
      (history ? history->ToCacheText() : std::string()) == m_shownText)
    return;
  m_hasShown = false;
  ShowHistory(history);
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

  // Oldest first on a time axis: points a month apart lie further apart
  // than points a minute apart.
  const HistoryChartData chart = HistoryChartPoints(items);
  m_chart->GetBottomAxis()->SetMinMax(chart.xMin, chart.xMax);
  for (size_t i = 0; i < chart.xs.size(); ++i) m_points->AddPoint(chart.xs[i], chart.ys[i]);
  m_line->AddPoints(chart.xs.data(), chart.ys.data(), chart.xs.size());
  ShowVerdict(items);
}

void CHisPriceDlg::ShowVerdict(const std::vector<CPriceInfoItem>& items) {
  const PriceVerdict verdict =
      JudgePrice(items, items.front().price, CurrentTime(), ReadVerdictSettings());
  for (size_t k = 0; k < std::size(m_lows); ++k) {
    const PriceLow& low = verdict.lows[k];
    // A stretch the history does not reach back over has no low to show.
    const QString value =
        low.price.empty() ? QStringLiteral("—")
                          : QStringLiteral("%1(%2)").arg(FromLocal(low.price), DayPart(low.date));
    m_lows[k]->setText(FromLocal(LowOfDaysText(kVerdictDays[k])) + QStringLiteral("：") + value);
  }
  m_verdict->setText(FromLocal(LoadString(IDS_VERDICT_CURRENT) + VerdictViewText(verdict)));
  QPalette colour = m_verdict->palette();
  colour.setColor(QPalette::WindowText, DealNoteColor(MakeDealNote(verdict)));
  m_verdict->setPalette(colour);
}

void CHisPriceDlg::ShowEmpty(bool empty) {
  m_noData->setVisible(empty);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{m_chart, m_count, m_lowest, m_highest, m_list, m_lows[0],
                                       m_lows[1], m_lows[2], m_verdict})
    widget->setVisible(!empty);
}

void CHisPriceDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = width();
  m_count->setGeometry(8, kLabelsTop, w - 16, kLabelHeight);
  m_lowest->setGeometry(8, kLabelsTop + kLabelHeight, w - 16, kLabelHeight);
  m_highest->setGeometry(8, kLabelsTop + 2 * kLabelHeight, w - 16, kLabelHeight);
  for (size_t k = 0; k < std::size(m_lows); ++k)
    m_lows[k]->setGeometry(8, kVerdictTop + static_cast<int>(k) * kLabelHeight, w - 16,
                           kLabelHeight);
  m_verdict->setGeometry(8, kVerdictTop + 3 * kLabelHeight, w - 16, kLabelHeight);
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
