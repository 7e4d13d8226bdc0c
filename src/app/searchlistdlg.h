#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "engine/tasklist.h"

class QLabel;
class QPushButton;
class QTableWidget;

// The search results panel that opens above the task list: one row per
// tracked task whose name or shop contains the keyword, a count line and
// "关闭搜索结果".
class CSearchListDlg : public QWidget {
  Q_OBJECT
 public:
  enum Column { kName, kPrice, kSite, kBuy, kDelete, kUrl, kGotoUrl, kFiller, kColumnCount };

  explicit CSearchListDlg(QWidget* parent = nullptr);

  // Empties the list and fills it with `tasks`, each inserted at the top.
  void ShowResults(const std::vector<TaskPtr>& tasks);
  // Removes one result row.
  void DeleteResult(int row);
  void Clear();

  int RowCount() const;
  QString CellText(int row, int column) const;
  QString CountText() const;
  // The count line, then 25 + 24 x rows: the height the panel asks for.
  int PreferredHeight() const;
  // The count line with "关闭搜索结果".
  int HeadHeight() const;
  // What a click on a cell does (the list's own clicks come here too).
  void ClickCell(int row, int column);
  QTableWidget* List() const { return m_list; }

 signals:
  // "CloseSearch" and "DeleteSearch".
  void closeRequested();
  void deleteRequested(int row);
  // Select this task in the task list.
  void taskClicked(QString url);
  // "购买": open the shop link of this product.
  void buyClicked(QString url, QString gotoUrl);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Fixed widths for price, shop, "购买" and the delete icon; the name takes
  // up to its 450 pixels of the rest and the filler what remains.
  void FitColumns();

  QLabel* m_count;
  QPushButton* m_close;
  QTableWidget* m_list;
};

// Whether a tracked task matches the search keyword (already lower case):
// its lower-cased product name or shop name contains it.
bool SearchMatches(const CTask& task, const QString& lowerKeyword);
