#include "app/changelistdlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/dealnotelook.h"
#include "app/shoplinkopen.h"
#include "app/windowjobs.h"
#include "base/codepage.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "engine/task.h"

namespace {

bool SameTextNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x < 0x80 && y < 0x80 ? std::tolower(x) != std::tolower(y) : x != y) return false;
  }
  return true;
}

void TrimTrailingBlanks(std::string& text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
}

// Where a change cell keeps its deal verdict and the verdict's colour.
constexpr int kVerdictRole = Qt::UserRole;
constexpr int kVerdictColorRole = Qt::UserRole + 1;

// Draws a change cell's text as it stands, and after it the deal verdict in
// its own colour; both end in an ellipsis when they do not fit.
class ChangeCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QString verdict = index.data(kVerdictRole).toString();
    if (verdict.isEmpty()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const QString change = cell.text;
    cell.text.clear();
    QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget);
    // The margin the style keeps around a cell's own text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
    area.adjust(margin, 0, -margin, 0);
    const QFontMetrics metrics(cell.font);
    const QString shownChange = metrics.elidedText(change, Qt::ElideRight, area.width());
    painter->save();
    painter->setFont(cell.font);
    painter->setPen(Qt::black);
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shownChange);
    if (!shownChange.isEmpty())
      area.setLeft(area.left() + metrics.horizontalAdvance(shownChange + QStringLiteral("  ")));
    painter->setPen(index.data(kVerdictColorRole).value<QColor>());
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(verdict, Qt::ElideRight, area.width()));
    painter->restore();
  }
};

QString InitialSummary() { return QStringLiteral("0个变动，0个价格变动，0个库存变动"); }

QIcon SkinIcon(const char* name) {
  QPixmap picture(FromLocal(ProgramFile(name)));
  return picture.isNull() ? QIcon() : QIcon(picture);
}

}  // namespace

std::string ListStockWord(int stock) {
  switch (stock) {
    case -1:
      return Utf8ToLocal("不确定");
    case 2:
      return Utf8ToLocal("抓取中");
    case 1:
      return Utf8ToLocal("有货");
    default:
      return Utf8ToLocal("无货");
  }
}

std::string ChangeRowText(const CTask& task) {
  std::string text;
  const std::string previousPrice = task.GetPreviousPrice();
  const std::string currentPrice = task.GetCurrentPrice();
  if (!SameTextNoCase(previousPrice, currentPrice))
    text = previousPrice + " -> " + currentPrice + "  ";
  const int previousStock = task.GetPreviousStock();
  const int currentStock = task.GetCurrentStock();
  if (previousStock != currentStock)
    text += ListStockWord(previousStock) + " -> " + ListStockWord(currentStock);
  TrimTrailingBlanks(text);
  return text;
}

void CChangeCounts::Count(const CTask& task) {
  ++changes;
  const std::string priceState = task.GetPriceState();
  const bool priceMoved =
      (SameTextNoCase(priceState, "up") || SameTextNoCase(priceState, "down")) &&
      std::atof(task.GetCurrentPrice().c_str()) > 0;
  const bool stockMoved = task.GetStockState() == "change";
  if (priceMoved && stockMoved) {
    ++priceChanges;
    ++stockChanges;
  } else if (priceMoved) {
    ++priceChanges;
  } else if (stockMoved && task.GetCurrentStock() != -1) {
    ++stockChanges;
  }
}

QString CChangeCounts::Summary() const {
  return QStringLiteral("变动提示，%1个变动，%2个价格变动，%3个库存变动")
      .arg(changes)
      .arg(priceChanges)
      .arg(stockChanges);
}

CChangeListDlg::CChangeListDlg(QWidget* parent) : QWidget(parent) {
  m_summary = new QLabel(InitialSummary(), this);
  m_close = new QPushButton(QStringLiteral("清空列表并关闭"), this);
  m_list = new QTableWidget(0, kColumnCount, this);

  const QStringList headers = {LoadQString(IDS_COLUMN_NAME),
                               LoadQString(IDS_COLUMN_CHANGE),
                               LoadQString(IDS_COLUMN_SITE),
                               LoadQString(IDS_COLUMN_BUY),
                               QString(),
                               QString(),
                               QString(),
                               QString()};
  m_list->setHorizontalHeaderLabels(headers);
  const int widths[kColumnCount] = {325, 235, 110, 55, 28, 0, 0, 1000};
  for (int column = 0; column < kColumnCount; ++column)
    m_list->setColumnWidth(column, widths[column]);
  m_list->setColumnHidden(kUrl, true);
  m_list->setColumnHidden(kGotoUrl, true);
  m_list->verticalHeader()->hide();
  m_list->verticalHeader()->setDefaultSectionSize(24);
  m_list->setShowGrid(false);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setTextElideMode(Qt::ElideRight);
  m_list->setWordWrap(false);
  // The filler column only paints the row to the right edge; no scrolling for it.
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setIconSize(QSize(48, 20));
  m_list->setItemDelegateForColumn(kChange, new ChangeCellDelegate(m_list));
  const QString selected = FromLocal(ProgramFile("imgs/ListSelBkg.png"));
  m_list->setStyleSheet(
      QStringLiteral("QTableWidget { background: rgb(244,244,244); color: black; }"
                     "QTableWidget::item { border-bottom: 1px solid rgb(224,224,224); }"
                     "QTableWidget::item:selected { color: black; "
                     "border-image: url(%1) 0 0 0 0 stretch stretch; }")
          .arg(selected));

  auto* top = new QHBoxLayout;
  top->setContentsMargins(4, 0, 4, 0);
  top->addWidget(m_summary, 1);
  top->addWidget(m_close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top);
  layout->addWidget(m_list, 1);

  connect(m_close, &QPushButton::clicked, this, &CChangeListDlg::CloseChange);
  connect(m_list, &QTableWidget::cellClicked, this, &CChangeListDlg::ClickCell);
  hide();
}

void CChangeListDlg::AddChange(const CTask& task, const std::string& text) {
  const QString cells[kColumnCount] = {FromLocal(task.GetProductName()),
                                       FromLocal(text.empty() ? ChangeRowText(task) : text),
                                       FromLocal(task.GetSiteName()),
                                       QString(),
                                       QString(),
                                       FromLocal(task.GetUrl()),
                                       FromLocal(task.GetGotoUrl()),
                                       QString()};
  m_list->insertRow(0);
  for (int column = 0; column < kColumnCount; ++column)
    m_list->setItem(0, column, new QTableWidgetItem(cells[column]));
  const DealNote note = task.GetDealNote();
  if (text.empty() && !note.text.empty()) {
    QTableWidgetItem* change = m_list->item(0, kChange);
    change->setData(kVerdictRole, FromLocal(note.text));
    change->setData(kVerdictColorRole, DealNoteColor(note));
    change->setToolTip(cells[kChange] + QStringLiteral("  ") + FromLocal(note.text));
  }
  m_list->item(0, kBuy)->setIcon(SkinIcon("imgs/GoTo.png"));
  m_list->item(0, kDelete)->setIcon(SkinIcon("imgs/Del.png"));

  // An alert is no price or stock change, whatever the task's last states.
  if (text.empty())
    m_counts.Count(task);
  else
    ++m_counts.changes;
  m_summary->setText(m_counts.Summary());
  show();
  emit countChanged(m_counts.changes);
  emit rowCountChanged();
}

void CChangeListDlg::DeleteChange(int row) {
  if (row < 0 || row >= m_list->rowCount()) return;
  m_list->removeRow(row);
  if (m_list->rowCount() == 0) {
    CloseChange();
    return;
  }
  // Only the change count follows a deletion; the summary keeps what it said.
  --m_counts.changes;
  emit countChanged(m_counts.changes);
  emit rowCountChanged();
}

void CChangeListDlg::CloseChange() {
  m_list->setRowCount(0);
  m_counts = CChangeCounts();
  m_summary->setText(InitialSummary());
  hide();
  emit countChanged(0);
  emit rowCountChanged();
  emit closed();
}

void CChangeListDlg::ClickCell(int row, int column) {
  if (row < 0 || row >= m_list->rowCount()) return;
  if (column == kDelete) {
    DeleteChange(row);
    return;
  }
  emit taskClicked(CellText(row, kUrl));
  if (column == kBuy) OpenShopLink(row);
}

void CChangeListDlg::OpenShopLink(int row) {
  OpenShopLinkLater(m_jobs ? *m_jobs : CWindowJobs::Shared(), this, ToLocal(CellText(row, kUrl)),
                    ToLocal(CellText(row, kGotoUrl)), m_linkStore);
}

int CChangeListDlg::RowCount() const { return m_list->rowCount(); }

QString CChangeListDlg::SummaryText() const { return m_summary->text(); }

QString CChangeListDlg::CellText(int row, int column) const {
  const QTableWidgetItem* item = m_list->item(row, column);
  return item ? item->text() : QString();
}

QString CChangeListDlg::VerdictText(int row) const {
  const QTableWidgetItem* item = m_list->item(row, kChange);
  return item ? item->data(kVerdictRole).toString() : QString();
}

QColor CChangeListDlg::VerdictColor(int row) const {
  const QTableWidgetItem* item = m_list->item(row, kChange);
  return item ? item->data(kVerdictColorRole).value<QColor>() : QColor();
}

int CChangeListDlg::PreferredHeight() const { return 25 + 24 * m_list->rowCount(); }
