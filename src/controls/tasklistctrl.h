#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableView>

#include "engine/tasklist.h"

// The columns of the main window's task list.
enum TaskListColumn : int {
  kColumnPicture = 0,
  kColumnName,
  kColumnState,
  kColumnPrice,
  kColumnStock,
  kColumnSite,
  kColumnLastUpdate,
  kColumnFrequency,
  kColumnLink,
  kColumnImageLink,
  kColumnGotoUrl,
  kTaskListColumnCount
};

// The share sites in the order their icons stand in a row (and their menu
// items): QQ space, Sina, QQ weibo, Renren, Kaixin, Douban, Sohu, 163, Baidu.
inline constexpr int kShareIconCount = 9;

// The rows of the task list: each keeps the task it was appended for, its
// cell texts (filled only from non-empty values, as the list always did) and
// the path of its picture. Pictures are read when a row is painted, never
// before, and kept in a small cache, so that thousands of rows cost little
// until they are scrolled into view.
class CTaskListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit CTaskListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Appends a row showing `task` with the picture at `picturePath` (local
  // code page); `counted` rows take part in the three counters.
  int AppendRow(const TaskPtr& task, const std::string& picturePath, bool counted);
  // Fills the row's cells from the task; empty values leave a cell as it was.
  void FillRow(int row, const CTask& task, bool redrawImage);
  void SetPicture(int row, const std::string& picturePath);
  // The task the row stands for from now on (an edited task replaces its
  // old one).
  void SetTask(int row, const TaskPtr& task);
  bool RemoveRow(int row);
  void RemoveAll();

  TaskPtr TaskOfRow(int row) const;
  QString CellText(int row, int column) const;
  // The row's Url cell as the local text the tasks hold.
  std::string RowUrl(int row) const;
  std::string PicturePath(int row) const;
  bool IsCounted(int row) const;
  void SetCounted(int row, bool counted);

  // Totals over the counted rows: all, those being tracked, the paused.
  struct Counts {
    int total = 0;
    int tracking = 0;
    int paused = 0;
  };
  Counts CountRows() const;

  // The row's picture at the list's picture size; read on first use.
  QPixmap Picture(int row) const;
  // How many picture files were read so far (start-up must not read them all).
  int PicturesRead() const { return m_picturesRead; }

 private:
  struct Row {
    TaskPtr task;
    std::array<QString, kTaskListColumnCount> cells;
    std::string picture;
    unsigned pictureGeneration = 0;
    bool counted = false;
    bool tracking = false;
    QString stateTip;  // the last failure's reason and time while a task fails
  };
  QString PictureKey(const Row& row) const;

  std::vector<Row> m_rows;
  unsigned m_nextGeneration = 1;
  mutable QCache<QString, QPixmap> m_pictures;
  mutable int m_picturesRead = 0;
};

// What the list draws with: the text size, the share icon size setting and
// the skin images.
struct TaskListLook {
  int textHeight = 16;    // "ListTextSize"
  int shareIconSize = 0;  // 0 large, 1 small (16 x 16), 2 (20 x 20)
};

// Where a click in a row landed, by the positions the rows are drawn with.
enum class TaskListHit { kNone, kPicture, kShareIcon, kCompare, kHistory };
struct TaskListHitResult {
  TaskListHit hit = TaskListHit::kNone;
  int shareSite = -1;  // 0 to 8 for kShareIcon
};
// Hit-tests a point given relative to the top left of a cell of `column`.
TaskListHitResult HitTestCell(int column, QPoint inCell, QSize cellSize, const TaskListLook& look);

class CTaskListDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  CTaskListDelegate(const TaskListLook& look, QObject* parent);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  void SetHotRow(int row) { m_hotRow = row; }

 private:
  void PaintText(QPainter* painter, const QRect& cell, const QString& text, bool selected) const;
  void PaintPicture(QPainter* painter, const QRect& cell, const QModelIndex& index) const;
  void PaintName(QPainter* painter, const QRect& cell, const QString& text, bool selected) const;
  void PaintTwoLines(QPainter* painter, const QRect& cell, const QString& first,
                     const QString& second, bool secondRed, bool selected) const;

  TaskListLook m_look;
  int m_hotRow = -1;
};

// The task list (`CTaskListCtrl`): a report view with full-row selection
// over CTaskListModel, drawing rows as the main window shows them, and
// telling the window where clicks land.
class CTaskListCtrl : public QTableView {
  Q_OBJECT
 public:
  explicit CTaskListCtrl(const TaskListLook& look, QWidget* parent = nullptr);

  CTaskListModel& Model() { return *m_model; }
  const CTaskListModel& Model() const { return *m_model; }

  // Rows selected, in ascending order.
  std::vector<int> SelectedRows() const;
  void SelectRow(int row, bool selected);
  void DeselectAll();
  void SelectAllRows();
  void InvertSelection();
  // Selects, focuses and shows the row, deselecting every other one.
  void SelectOnly(int row);

 signals:
  // A left click on a row (-1 when below the rows), with what it hit.
  void rowClicked(int row, int column, TaskListHitResult hit);
  void contextMenuAt(QPoint globalPos);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  CTaskListModel* m_model;
  CTaskListDelegate* m_delegate;
  TaskListLook m_look;
};

// The list's texts for a task's stock and trend columns.
QString StockCellWord(const QString& stockText);
QString PriceTrendWord(const QString& state);
QString StockTrendWord(const QString& state);
