#include "app/comppricedlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>

#include "app/windowjobs.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "services/comparison.h"
#include "services/shoplinks.h"

namespace {

constexpr int kListTop = 33;
constexpr int kListRightGap = 17;
constexpr int kRefreshedHeight = 22;

bool StartsWithHttp(const std::string& link) {
  static const char kPrefix[] = "http://";
  if (link.size() < sizeof(kPrefix) - 1) return false;
  for (size_t i = 0; i + 1 < sizeof(kPrefix); ++i)
    if (std::tolower(static_cast<unsigned char>(link[i])) != kPrefix[i]) return false;
  return true;
}

}  // namespace

CCompPriceDlg::CCompPriceDlg(QWidget* parent) : QWidget(parent) {
  m_count = new QLabel(this);
  m_refreshed = new QLabel(this);
  m_refreshed->setObjectName(QStringLiteral("refreshedLabel"));
  m_refreshed->setStyleSheet(QStringLiteral("color: rgb(102,102,102);"));
  m_noData = new QLabel(QStringLiteral("暂无数据"), this);
  m_noData->setAlignment(Qt::AlignCenter);

  m_list = new QTableWidget(0, kColumnCount, this);
  m_list->setHorizontalHeaderLabels({LoadQString(IDS_COLUMN_SITE), LoadQString(IDS_COLUMN_PRICE),
                                     LoadQString(IDS_COLUMN_BUY), QString(), QString(), QString()});
  const int widths[kColumnCount] = {90, 75, 53, 0, 0, 50};
  for (int column = 0; column < kColumnCount; ++column)
    m_list->setColumnWidth(column, widths[column]);
  // The filler only draws row lines to the edge; it never needs scrolling to.
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setColumnHidden(kUrl, true);
  m_list->setColumnHidden(kGotoUrl, true);
  m_list->verticalHeader()->hide();
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont font(LoadQString(IDS_UI_FONT));
  font.setPixelSize(14);
  m_list->setFont(font);
  m_list->setIconSize(QSize(48, 20));
  m_list->setStyleSheet(
      QStringLiteral("QTableWidget { background: white; color: black; }"
                     "QTableWidget::item { padding-left: 5px; border-bottom: 1px solid "
                     "rgb(224,224,224); }"
                     "QTableWidget::item:selected { color: black; border-image: url(%1) 0 0 0 0 "
                     "stretch stretch; }")
          .arg(FromLocal(ProgramFile("imgs/ListSelBkg.png"))));
  connect(m_list, &QTableWidget::cellClicked, this, &CCompPriceDlg::ClickCell);
  ShowEmpty(true);
}

void CCompPriceDlg::ShowComparison(const std::shared_ptr<CETaoInfo>& comparison) {
  if (m_hasShown && comparison == m_shown) return;
  m_hasShown = true;
  m_shown = comparison;
  m_list->setRowCount(0);
  const std::vector<CETaoInfoItem> items =
      comparison ? comparison->Items() : std::vector<CETaoInfoItem>();
  if (items.empty()) {
    ShowEmpty(true);
    return;
  }
  ShowEmpty(false);
  m_count->setText(QStringLiteral("共%1个网站，价格从低到高").arg(items.size()));
  // The offers' prices are those of the last refresh: say when that was.
  const QString date = FromLocal(comparison->GetDate()).trimmed().left(16);
  m_refreshed->setText(date.isEmpty() ? QString() : QStringLiteral("价格更新于 %1").arg(date));
  m_refreshed->setVisible(!date.isEmpty());
  LayOutList();
  QPixmap goTo(FromLocal(ProgramFile("imgs/GoTo.png")));
  m_list->setRowCount(static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    const int row = static_cast<int>(i);
    const QString cells[kColumnCount] = {FromLocal(items[i].site),    FromLocal(items[i].price),
                                         QStringLiteral("去看看"),    FromLocal(items[i].url),
                                         FromLocal(items[i].gotoUrl), QString()};
    for (int column = 0; column < kColumnCount; ++column)
      m_list->setItem(row, column, new QTableWidgetItem(cells[column]));
    // The picture stands for the words where there is one.
    if (!goTo.isNull()) {
      m_list->item(row, kBuy)->setIcon(QIcon(goTo));
      m_list->item(row, kBuy)->setData(Qt::DisplayRole, QString());
      m_list->item(row, kBuy)->setToolTip(QStringLiteral("去看看"));
    }
  }
}

void CCompPriceDlg::ClickCell(int row, int column) {
  if (column != kBuy || row < 0 || row >= m_list->rowCount()) return;
  QTableWidgetItem* urlItem = m_list->item(row, kUrl);
  QTableWidgetItem* gotoItem = m_list->item(row, kGotoUrl);
  if (!urlItem || !gotoItem) return;
  const std::string url = ToLocal(urlItem->text());
  const std::string gotoUrl = ToLocal(gotoItem->text());
  // The rewriting may ask the commission service: a worker waits for it.
  // The row is found again by its link, as the list may be rebuilt meanwhile.
  CWindowJobs& jobs = m_jobs ? *m_jobs : CWindowJobs::Shared();
  jobs.RunShowingBusy(
      this, [url, gotoUrl] { return RewriteShopLink(url, gotoUrl, ShopLinkKind::kCompPrice); },
      [this, url](const std::string& rewritten) { OpenOffer(url, rewritten); });
}

void CCompPriceDlg::OpenOffer(const std::string& url, const std::string& rewritten) {
  std::string link = url;
  if (StartsWithHttp(rewritten)) {
    link = rewritten;
    for (int row = 0; row < m_list->rowCount(); ++row) {
      QTableWidgetItem* urlItem = m_list->item(row, kUrl);
      QTableWidgetItem* gotoItem = m_list->item(row, kGotoUrl);
      if (urlItem && gotoItem && ToLocal(urlItem->text()) == url)
        gotoItem->setText(FromLocal(rewritten));
    }
  }
  if (link.empty()) {
    ShowMessage(IDS_LINK_INVALID, kMessageInfo);
    return;
  }
  OpenLink(link);
}

void CCompPriceDlg::ShowEmpty(bool empty) {
  m_noData->setVisible(empty);
  m_list->setVisible(!empty);
  m_count->setVisible(!empty);
  if (empty) m_refreshed->hide();
}

void CCompPriceDlg::LayOutList() {
  const int top = m_refreshed->isHidden() ? kListTop : kListTop + kRefreshedHeight;
  m_refreshed->setGeometry(8, kListTop + 2, std::max(0, width() - 16), kRefreshedHeight - 4);
  m_list->setGeometry(0, top, std::max(0, width() - kListRightGap), std::max(0, height() - top));
}

void CCompPriceDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_count->setGeometry(8, 6, std::max(0, width() - 16), 20);
  LayOutList();
  m_noData->setGeometry(0, 0, width(), height());
}

void CCompPriceDlg::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  painter.setPen(QColor(224, 224, 224));
  painter.drawLine(0, 32, width(), 32);
}
