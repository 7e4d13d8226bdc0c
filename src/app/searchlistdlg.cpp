#include "app/searchlistdlg.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skin.h"
#include "engine/task.h"

namespace {

constexpr int kRowHeight = 24;
constexpr int kHeadHeight = 25;
constexpr int kWidths[CSearchListDlg::kColumnCount] = {450, 110, 110, 55, 28, 0, 0, 1000};
// The name gives way first when the panel is narrow, down to this.
constexpr int kMinNameWidth = 80;

}  // namespace

bool SearchMatches(const CTask& task, const QString& lowerKeyword) {
  return FromLocal(task.GetProductName()).toLower().contains(lowerKeyword) ||
         FromLocal(task.GetSiteName()).toLower().contains(lowerKeyword);
}

CSearchListDlg::CSearchListDlg(QWidget* parent)
    : QWidget(parent),
      m_count(new QLabel(this)),
      m_close(new QPushButton(QStringLiteral("关闭搜索结果"), this)),
      m_list(new QTableWidget(0, kColumnCount, this)) {
  setObjectName(QStringLiteral("searchPanel"));
  setAutoFillBackground(true);
  m_count->setObjectName(QStringLiteral("searchCount"));
  m_close->setObjectName(QStringLiteral("closeSearchButton"));
  m_close->setFlat(true);
  m_close->setCursor(Qt::PointingHandCursor);
  m_list->setObjectName(QStringLiteral("searchList"));
  m_count->setFont(UiFont(13, 700));
  m_close->setFont(UiFont(13));

  m_list->setHorizontalHeaderLabels({LoadQString(IDS_COLUMN_NAME), LoadQString(IDS_COLUMN_PRICE),
                                     LoadQString(IDS_COLUMN_SITE), LoadQString(IDS_COLUMN_BUY),
                                     QString(), QString(), QString(), QString()});
  for (int column = 0; column < kColumnCount; ++column) {
    m_list->setColumnWidth(column, kWidths[column]);
    if (kWidths[column] == 0) m_list->setColumnHidden(column, true);
  }
  // The columns are fitted to the panel (FitColumns): a horizontal scroll
  // bar would only cover the last row.
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_list->horizontalHeader()->setStretchLastSection(false);
  m_list->setFrameShape(QFrame::NoFrame);
  m_list->verticalHeader()->hide();
  m_list->verticalHeader()->setDefaultSectionSize(kRowHeight);
  m_list->horizontalHeader()->setFixedHeight(kHeadHeight - 1);
  m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setShowGrid(false);
  m_list->setFont(UiFont(13));
  m_list->viewport()->installEventFilter(this);
  connect(m_list, &QTableWidget::cellClicked, this, &CSearchListDlg::ClickCell);
  connect(m_close, &QPushButton::clicked, this, &CSearchListDlg::closeRequested);

  auto* head = new QHBoxLayout;
  head->setContentsMargins(8, 2, 8, 2);
  head->addWidget(m_count);
  head->addStretch();
  head->addWidget(m_close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(head);
  layout->addWidget(m_list);
  hide();
}

void CSearchListDlg::ShowResults(const std::vector<TaskPtr>& tasks) {
  m_list->setRowCount(0);
  for (const TaskPtr& task : tasks) {
    const CTaskValues v = task->GetValues();
    m_list->insertRow(0);
    const QString cells[kColumnCount] = {FromLocal(v.productName),
                                         FromLocal(v.currentPrice),
                                         FromLocal(v.siteName),
                                         LoadQString(IDS_COLUMN_BUY),
                                         QString(),
                                         FromLocal(v.url),
                                         FromLocal(v.gotoUrl),
                                         QString()};
    for (int column = 0; column < kColumnCount; ++column)
      m_list->setItem(0, column, new QTableWidgetItem(cells[column]));
    m_list->item(0, kBuy)->setForeground(QColor(0, 102, 204));
    m_list->item(0, kDelete)->setIcon(QIcon(SkinPixmap(QStringLiteral("imgs/Del.png"))));
  }
  m_count->setText(QStringLiteral("搜索结果，共%1个结果").arg(tasks.size()));
  FitColumns();
}

void CSearchListDlg::FitColumns() {
  const int fixed = kWidths[kPrice] + kWidths[kSite] + kWidths[kBuy] + kWidths[kDelete];
  const int available = m_list->viewport()->width();
  const int name = std::clamp(available - fixed, kMinNameWidth, kWidths[kName]);
  m_list->setColumnWidth(kName, name);
  // The filler takes what is left, so the row lines reach the right edge.
  const int filler = available - name - fixed;
  m_list->setColumnHidden(kFiller, filler <= 0);
  if (filler > 0) m_list->setColumnWidth(kFiller, filler);
}

void CSearchListDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitColumns();
}

bool CSearchListDlg::eventFilter(QObject* watched, QEvent* event) {
  // The viewport narrows when the vertical scroll bar comes.
  if (watched == m_list->viewport() && event->type() == QEvent::Resize) FitColumns();
  return QWidget::eventFilter(watched, event);
}

void CSearchListDlg::DeleteResult(int row) {
  if (row >= 0 && row < m_list->rowCount()) m_list->removeRow(row);
  m_count->setText(QStringLiteral("搜索结果，共%1个结果").arg(m_list->rowCount()));
}

void CSearchListDlg::Clear() {
  m_list->setRowCount(0);
  m_count->clear();
}

int CSearchListDlg::RowCount() const { return m_list->rowCount(); }

QString CSearchListDlg::CellText(int row, int column) const {
  const QTableWidgetItem* item = m_list->item(row, column);
  return item ? item->text() : QString();
}

QString CSearchListDlg::CountText() const { return m_count->text(); }

int CSearchListDlg::PreferredHeight() const {
  // The count line with its margins, the header, every row.
  return HeadHeight() + kHeadHeight + kRowHeight * RowCount();
}

int CSearchListDlg::HeadHeight() const {
  return std::max(m_count->sizeHint().height(), m_close->sizeHint().height()) + 4;
}

void CSearchListDlg::ClickCell(int row, int column) {
  if (row < 0 || row >= RowCount()) return;
  if (column == kDelete) {
    emit deleteRequested(row);
    return;
  }
  emit taskClicked(CellText(row, kUrl));
  if (column == kBuy) emit buyClicked(CellText(row, kUrl), CellText(row, kGotoUrl));
}
