#include "controls/tasklistctrl.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skin.h"
#include "engine/productfiles.h"
#include "engine/task.h"

namespace {

constexpr int kRowHeight = kListPictureSide + 6;
constexpr int kTextInsetX = 10;
constexpr int kTextInsetY = 5;
constexpr int kTrendOffset = 20;
constexpr int kCompareTop = 42;
constexpr int kHistoryTop = 70;
constexpr int kShareLeft = 15;
constexpr int kShareGap = 5;
// Pictures kept decoded: a few screens' worth.
constexpr int kPictureCacheRows = 300;

const QColor kTextColour(48, 48, 48);
const QColor kRowLine(224, 224, 224);
const QColor kRiseColour(214, 48, 49);
const QColor kDropColour(0, 150, 80);

const std::array<const char*, kShareIconCount> kShareIcons = {
    "imgs/QQKongJianBtn.png", "imgs/SinaWeiboBtn.png", "imgs/QQWeiboBtn.png",
    "imgs/RenrenSnsBtn.png",  "imgs/KaixinSnsBtn.png", "imgs/DoubanSnsBtn.png",
    "imgs/SohuWeiboBtn.png",  "imgs/163WeiboBtn.png",  "imgs/BaiDuKongJianBtn.png"};

const std::array<int, kTaskListColumnCount> kColumnWidths = {105, 300, 70,  90, 90, 100,
                                                             100, 90,  500, 0,  0};
const std::array<unsigned, kTaskListColumnCount> kColumnHeaders = {IDS_COLUMN_PICTURE,
                                                                   IDS_COLUMN_NAME,
                                                                   IDS_COLUMN_STATE,
                                                                   IDS_COLUMN_PRICE,
                                                                   IDS_COLUMN_STOCK,
                                                                   IDS_COLUMN_SITE,
                                                                   IDS_COLUMN_LAST_UPDATE,
                                                                   IDS_COLUMN_FREQUENCY,
                                                                   IDS_COLUMN_LINK,
                                                                   0,
                                                                   0};

QSize ShareIconSize(const TaskListLook& look, int index) {
  if (look.shareIconSize == 1) return {16, 16};
  if (look.shareIconSize == 2) return {20, 20};
  const QPixmap icon = SkinPixmap(kShareIcons[static_cast<size_t>(index)]);
  return icon.isNull() ? QSize(24, 24) : icon.size();
}

int ShareIconsTop(const TaskListLook& look) { return look.shareIconSize == 1 ? 80 : 70; }

QRect ShareIconRect(const TaskListLook& look, int index) {
  int left = kShareLeft;
  for (int i = 0; i < index; ++i) left += ShareIconSize(look, i).width() + kShareGap;
  return QRect(QPoint(left, ShareIconsTop(look)), ShareIconSize(look, index));
}

QSize ButtonSize(const char* name) {
  const QPixmap image = SkinPixmap(name);
  return image.isNull() ? QSize(24, 24) : image.size();
}

QRect CompareRect() {
  return QRect(QPoint(kTextInsetX, kCompareTop), ButtonSize("imgs/CompBtn.png"));
}
QRect HistoryRect() {
  return QRect(QPoint(kTextInsetX, kHistoryTop), ButtonSize("imgs/HisBtn.png"));
}

QString StatusText(int status) {
  if (status == FETCHING_MARK) return LoadQString(IDS_STATE_FETCHING);
  return LoadQString(status == 1 ? IDS_STATE_TRACKING : IDS_STATE_PAUSED);
}

QString FrequencyText(const CTaskValues& v) {
  if (v.frequencyHour != "0") return FromLocal(v.frequencyHour) + QStringLiteral("小时");
  return FromLocal(v.frequencyMinute) + QStringLiteral("分钟");
}

QPixmap ReadPicture(const std::string& path) {
  QImageReader reader(FromLocal(path));
  reader.setAutoTransform(false);
  QImage image = reader.read();
  if (image.isNull()) return QPixmap();
  if (image.width() != kListPictureSide || image.height() != kListPictureSide)
    image = image.scaled(kListPictureSide, kListPictureSide, Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  return QPixmap::fromImage(image);
}

}  // namespace

QString StockCellWord(const QString& stockText) {
  if (stockText == QLatin1String("-1")) return LoadQString(IDS_UNDETERMINED);
  if (stockText == QLatin1String("2")) return LoadQString(IDS_STATE_FETCHING);
  if (stockText == QLatin1String("1")) return LoadQString(IDS_IN_STOCK);
  return QStringLiteral("无货");
}

QString PriceTrendWord(const QString& state) {
  if (state == QLatin1String("up")) return QStringLiteral("价格上升");
  if (state == QLatin1String("down")) return QStringLiteral("价格下降");
  if (state == QLatin1String("nochange")) return QStringLiteral("价格未变");
  if (state == QLatin1String("error")) return LoadQString(IDS_UNDETERMINED);
  return QString();
}

QString StockTrendWord(const QString& state) {
  if (state == QLatin1String("change")) return QStringLiteral("库存变化");
  if (state == QLatin1String("nochange")) return QStringLiteral("库存未变");
  return QString();
}

// ---- model ----

CTaskListModel::CTaskListModel(QObject* parent) : QAbstractTableModel(parent) {
  m_pictures.setMaxCost(kPictureCacheRows);
}

int CTaskListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTaskListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kTaskListColumnCount;
}

QVariant CTaskListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const Row& r = m_rows[static_cast<size_t>(index.row())];
  if (role == Qt::ToolTipRole && index.column() == kColumnState && !r.stateTip.isEmpty())
    return r.stateTip;
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return r.cells[static_cast<size_t>(index.column())];
  return QVariant();
}

QVariant CTaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  if (section < 0 || section >= kTaskListColumnCount) return QVariant();
  const unsigned id = kColumnHeaders[static_cast<size_t>(section)];
  return id == 0 ? QString() : LoadQString(id);
}

int CTaskListModel::AppendRow(const TaskPtr& task, const std::string& picturePath, bool counted) {
  const int row = rowCount();
  beginInsertRows(QModelIndex(), row, row);
  Row added;
  added.task = task;
  added.picture = picturePath;
  added.pictureGeneration = m_nextGeneration++;
  added.counted = counted;
  m_rows.push_back(std::move(added));
  endInsertRows();
  if (task) FillRow(row, *task, false);
  return row;
}

void CTaskListModel::FillRow(int row, const CTask& task, bool redrawImage) {
  if (row < 0 || row >= rowCount()) return;
  Row& r = m_rows[static_cast<size_t>(row)];
  const CTaskValues v = task.GetValues();
  auto fill = [&r](int column, const QString& text) {
    if (!text.isEmpty()) r.cells[static_cast<size_t>(column)] = text;
  };
  const QString lineBreak = QStringLiteral("\r\n");
  fill(kColumnName, FromLocal(v.productName));
  // A tracked task whose passes fail says so, and why in its tooltip.
  const bool failing = v.status == 1 && v.failCount > 0;
  fill(kColumnState, failing ? LoadQString(IDS_FETCH_FAILED) : StatusText(v.status));
  r.stateTip =
      failing ? FromLocal(v.failReason) + QStringLiteral(" ") + FromLocal(v.failTime) : QString();
  // A shop that prices in another currency says which.
  const QString currency =
      v.currency.empty() ? QString() : QStringLiteral(" ") + FromLocal(v.currency);
  fill(kColumnPrice,
       FromLocal(v.currentPrice) + currency + lineBreak + FromLocal(task.GetPriceState()));
  const int stock = v.currentStock == FETCHING_MARK ? 2 : v.currentStock;
  fill(kColumnStock, QString::number(stock) + lineBreak + FromLocal(task.GetStockState()));
  fill(kColumnSite, FromLocal(v.siteName));
  fill(kColumnLastUpdate, FromLocal(v.lastUpdate));
  fill(kColumnFrequency, FrequencyText(v));
  fill(kColumnLink, FromLocal(v.url));
  fill(kColumnImageLink, FromLocal(v.imageLink));
  fill(kColumnGotoUrl, FromLocal(v.gotoUrl));
  r.tracking = v.status == 1;
  const int first = redrawImage ? kColumnPicture : kColumnName;
  emit dataChanged(index(row, first), index(row, kTaskListColumnCount - 1));
}

void CTaskListModel::SetPicture(int row, const std::string& picturePath) {
  if (row < 0 || row >= rowCount()) return;
  Row& r = m_rows[static_cast<size_t>(row)];
  m_pictures.remove(PictureKey(r));
  r.picture = picturePath;
  r.pictureGeneration = m_nextGeneration++;
  emit dataChanged(index(row, kColumnPicture), index(row, kColumnPicture));
}

void CTaskListModel::SetTask(int row, const TaskPtr& task) {
  if (row >= 0 && row < rowCount()) m_rows[static_cast<size_t>(row)].task = task;
}

bool CTaskListModel::RemoveRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  beginRemoveRows(QModelIndex(), row, row);
  m_pictures.remove(PictureKey(m_rows[static_cast<size_t>(row)]));
  m_rows.erase(m_rows.begin() + row);
  endRemoveRows();
  return true;
}

void CTaskListModel::RemoveAll() {
  beginResetModel();
  m_rows.clear();
  m_pictures.clear();
  endResetModel();
}

TaskPtr CTaskListModel::TaskOfRow(int row) const {
  if (row < 0 || row >= rowCount()) return nullptr;
  return m_rows[static_cast<size_t>(row)].task;
}

QString CTaskListModel::CellText(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= kTaskListColumnCount)
    return QString();
  return m_rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

std::string CTaskListModel::RowUrl(int row) const { return ToLocal(CellText(row, kColumnLink)); }

std::string CTaskListModel::PicturePath(int row) const {
  if (row < 0 || row >= rowCount()) return std::string();
  return m_rows[static_cast<size_t>(row)].picture;
}

bool CTaskListModel::IsCounted(int row) const {
  return row >= 0 && row < rowCount() && m_rows[static_cast<size_t>(row)].counted;
}

void CTaskListModel::SetCounted(int row, bool counted) {
  if (row >= 0 && row < rowCount()) m_rows[static_cast<size_t>(row)].counted = counted;
}

CTaskListModel::Counts CTaskListModel::CountRows() const {
  Counts counts;
  for (const Row& row : m_rows) {
    if (!row.counted) continue;
    ++counts.total;
    ++(row.tracking ? counts.tracking : counts.paused);
  }
  return counts;
}

QString CTaskListModel::PictureKey(const Row& row) const {
  return QString::number(row.pictureGeneration);
}

QPixmap CTaskListModel::Picture(int row) const {
  if (row < 0 || row >= rowCount()) return QPixmap();
  const Row& r = m_rows[static_cast<size_t>(row)];
  const QString key = PictureKey(r);
  if (QPixmap* cached = m_pictures.object(key)) return *cached;
  ++m_picturesRead;
  QPixmap picture = ReadPicture(r.picture);
  if (picture.isNull()) picture = ReadPicture(BlankPicturePath());
  if (picture.isNull()) {
    picture = QPixmap(kListPictureSide, kListPictureSide);
    picture.fill(QColor(240, 240, 240));
  }
  m_pictures.insert(key, new QPixmap(picture));
  return picture;
}

// ---- hit testing ----

TaskListHitResult HitTestCell(int column, QPoint inCell, QSize cellSize, const TaskListLook& look) {
  TaskListHitResult result;
  if (column == kColumnPicture) {
    if (QRect(QPoint(0, 0), QSize(kListPictureSide, qMin(cellSize.height(), kListPictureSide)))
            .contains(inCell))
      result.hit = TaskListHit::kPicture;
  } else if (column == kColumnName) {
    for (int i = 0; i < kShareIconCount; ++i) {
      if (ShareIconRect(look, i).contains(inCell)) {
        result.hit = TaskListHit::kShareIcon;
        result.shareSite = i;
      }
    }
  } else if (column == kColumnPrice) {
    if (CompareRect().contains(inCell)) result.hit = TaskListHit::kCompare;
    if (HistoryRect().contains(inCell)) result.hit = TaskListHit::kHistory;
  }
  return result;
}

// ---- drawing ----

CTaskListDelegate::CTaskListDelegate(const TaskListLook& look, QObject* parent)
    : QStyledItemDelegate(parent), m_look(look) {}

QSize CTaskListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
  return QSize(kColumnWidths[static_cast<size_t>(index.column())], kRowHeight);
}

void CTaskListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  const QRect cell = option.rect;
  painter->save();
  if (selected) {
    const QPixmap background = SkinPixmap("imgs/ListSelBkg.png");
    if (background.isNull())
      painter->fillRect(cell, QColor(222, 236, 252));
    else
      painter->drawPixmap(cell, background);
  } else {
    painter->fillRect(cell, Qt::white);
  }
  painter->setPen(kRowLine);
  painter->drawLine(cell.bottomLeft(), cell.bottomRight());

  const QString text = index.data(Qt::DisplayRole).toString();
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  switch (index.column()) {
    case kColumnPicture:
      PaintPicture(painter, cell, index);
      break;
    case kColumnName:
      PaintName(painter, cell, text, selected);
      break;
    case kColumnPrice: {
      const QString state = lines.value(1);
      PaintTwoLines(painter, cell, lines.value(0), PriceTrendWord(state),
                    state == QLatin1String("up") || state == QLatin1String("down"), selected);
      if (state == QLatin1String("down")) {
        // A drop is the news a shopper waits for: green, as the shops show it.
        painter->setPen(kDropColour);
        painter->setFont(UiFont(m_look.textHeight));
        painter->drawText(cell.adjusted(kTextInsetX, kTextInsetY + kTrendOffset, -kTextInsetX, 0),
                          Qt::AlignLeft | Qt::AlignTop, PriceTrendWord(state));
      }
      const QPixmap compare = SkinPixmap("imgs/CompBtn.png");
      const QPixmap history = SkinPixmap("imgs/HisBtn.png");
      painter->drawPixmap(CompareRect().translated(cell.topLeft()), compare);
      painter->drawPixmap(HistoryRect().translated(cell.topLeft()), history);
      break;
    }
    case kColumnStock: {
      const QString state = lines.value(1);
      PaintTwoLines(painter, cell, StockCellWord(lines.value(0)), StockTrendWord(state),
                    state == QLatin1String("change"), selected);
      break;
    }
    default:
      PaintText(painter, cell, text, selected);
  }
  painter->restore();
}

void CTaskListDelegate::PaintText(QPainter* painter, const QRect& cell, const QString& text,
                                  bool selected) const {
  painter->setPen(selected ? QColor(Qt::black) : kTextColour);
  painter->setFont(UiFont(m_look.textHeight));
  painter->drawText(cell.adjusted(kTextInsetX, kTextInsetY, -kTextInsetX, -kTextInsetY),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void CTaskListDelegate::PaintPicture(QPainter* painter, const QRect& cell,
                                     const QModelIndex& index) const {
  const auto* model = qobject_cast<const CTaskListModel*>(index.model());
  if (!model) return;
  const QPixmap picture = model->Picture(index.row());
  const QRect pictureRect(cell.topLeft(), QSize(kListPictureSide, kListPictureSide));
  painter->drawPixmap(pictureRect, picture);
  const QPixmap go = SkinPixmap(index.row() == m_hotRow ? "imgs/GoToBtnHot.png" : "imgs/GoTo.png");
  if (go.isNull()) return;
  const QSize size = go.size().boundedTo(pictureRect.size());
  painter->drawPixmap(QRect(QPoint(pictureRect.center().x() - size.width() / 2,
                                   pictureRect.bottom() - size.height() + 1),
                            size),
                      go);
}

void CTaskListDelegate::PaintName(QPainter* painter, const QRect& cell, const QString& text,
                                  bool selected) const {
  PaintText(painter, cell.adjusted(0, 0, 0, -(cell.height() - ShareIconsTop(m_look))), text,
            selected);
  for (int i = 0; i < kShareIconCount; ++i) {
    const QPixmap icon = SkinPixmap(kShareIcons[static_cast<size_t>(i)]);
    if (!icon.isNull())
      painter->drawPixmap(ShareIconRect(m_look, i).translated(cell.topLeft()), icon);
  }
}

void CTaskListDelegate::PaintTwoLines(QPainter* painter, const QRect& cell, const QString& first,
                                      const QString& second, bool secondRed, bool selected) const {
  PaintText(painter, cell, first, selected);
  painter->setPen(secondRed ? kRiseColour : (selected ? QColor(Qt::black) : kTextColour));
  painter->drawText(cell.adjusted(kTextInsetX, kTextInsetY + kTrendOffset, -kTextInsetX, 0),
                    Qt::AlignLeft | Qt::AlignTop, second);
}

// ---- view ----

CTaskListCtrl::CTaskListCtrl(const TaskListLook& look, QWidget* parent)
    : QTableView(parent),
      m_model(new CTaskListModel(this)),
      m_delegate(new CTaskListDelegate(look, this)),
      m_look(look) {
  setObjectName(QStringLiteral("taskList"));
  setModel(m_model);
  setItemDelegate(m_delegate);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(true);
  setMouseTracking(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  // One height for every row: the view never asks thousands of rows their size.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setFont(UiFont(14));
  for (int column = 0; column < kTaskListColumnCount; ++column) {
    const int width = kColumnWidths[static_cast<size_t>(column)];
    setColumnWidth(column, width);
    if (width == 0) setColumnHidden(column, true);
  }
}

std::vector<int> CTaskListCtrl::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CTaskListCtrl::SelectRow(int row, bool selected) {
  if (row < 0 || row >= m_model->rowCount()) return;
  selectionModel()->select(m_model->index(row, 0), (selected ? QItemSelectionModel::Select
                                                             : QItemSelectionModel::Deselect) |
                                                       QItemSelectionModel::Rows);
}

void CTaskListCtrl::DeselectAll() { selectionModel()->clearSelection(); }

void CTaskListCtrl::SelectAllRows() { selectAll(); }

void CTaskListCtrl::InvertSelection() {
  const int rows = m_model->rowCount();
  if (rows == 0) return;
  QItemSelection all(m_model->index(0, 0), m_model->index(rows - 1, kTaskListColumnCount - 1));
  selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void CTaskListCtrl::SelectOnly(int row) {
  if (row < 0 || row >= m_model->rowCount()) return;
  const QModelIndex index = m_model->index(row, kColumnName);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  setFocus();
  scrollTo(index);
}

void CTaskListCtrl::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) {
    emit rowClicked(-1, -1, TaskListHitResult{});
    return;
  }
  const QRect cell = visualRect(index);
  emit rowClicked(index.row(), index.column(),
                  HitTestCell(index.column(), event->position().toPoint() - cell.topLeft(),
                              cell.size(), m_look));
}

void CTaskListCtrl::mouseMoveEvent(QMouseEvent* event) {
  QTableView::mouseMoveEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  const int hot = index.isValid() && index.column() == kColumnPicture ? index.row() : -1;
  m_delegate->SetHotRow(hot);
  viewport()->update();
}

void CTaskListCtrl::leaveEvent(QEvent* event) {
  QTableView::leaveEvent(event);
  m_delegate->SetHotRow(-1);
  viewport()->update();
}

void CTaskListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  emit contextMenuAt(event->globalPos());
}
