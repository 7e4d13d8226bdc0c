#pragma once

#include <memory>
#include <string>

#include <QColor>
#include <QString>
#include <QWidget>

#include "services/shoplinks.h"

class CTask;
class CWindowJobs;
class QLabel;
class QPushButton;
class QTableWidget;

// The word the change list and the task list show for a stock state:
// -1 "不确定", 2 "抓取中", 1 "有货", anything else "无货" (local code page).
std::string ListStockWord(int stock);

// The change column of a row: "old -> new" for the price and/or the stock
// words, local code page, trailing blanks trimmed.
std::string ChangeRowText(const CTask& task);

// The three counters of the change list.
struct CChangeCounts {
  int changes = 0;
  int priceChanges = 0;
  int stockChanges = 0;

  // Counts one arriving change: always a change; a price move (state "up" or
  // "down" with a price above 0) and/or a stock move ("change"); a stock move
  // alone to the unknown state counts only as a change.
  void Count(const CTask& task);
  // "变动提示，N个变动，P个价格变动，S个库存变动".
  QString Summary() const;
};

// The panel of changes that opens above the task list: one row per change,
// newest first, a summary line and "清空列表并关闭". The main window places it
// (height min(a quarter of the list area, PreferredHeight())) and reacts to
// its signals.
class CChangeListDlg : public QWidget {
  Q_OBJECT

 public:
  // Columns of the list.
  enum Column { kName, kChange, kSite, kBuy, kDelete, kUrl, kGotoUrl, kFiller, kColumnCount };

  explicit CChangeListDlg(QWidget* parent = nullptr);

  // Where "购买" finds the task list, so that a looked-up commission link is
  // kept with the task (see services/shoplinks.h).
  void SetShopLinkStore(ShopLinkTaskStore store) { m_linkStore = std::move(store); }
  // Where shop links are rewritten; null: the shared runner.
  void SetJobs(CWindowJobs* jobs) { m_jobs = jobs; }

  // A change arrived: a row at the top, the counters, the summary line; the
  // panel shows itself. Emits countChanged and rowCountChanged.
  // `text` non-empty stands in for the change column (a failure alert).
  void AddChange(const CTask& task, const std::string& text = std::string());
  // Removes one row; when it was the last, closes the list as CloseChange.
  // Otherwise only the change count goes down (the summary stays).
  void DeleteChange(int row);
  // Empties and hides the panel and resets every counter; emits closed().
  void CloseChange();
  // What a click on a cell does (the list's own clicks come here too).
  void ClickCell(int row, int column);

  int RowCount() const;
  const CChangeCounts& Counts() const { return m_counts; }
  QString SummaryText() const;
  QString CellText(int row, int column) const;
  // The deal verdict drawn beside a row's change, and its colour.
  QString VerdictText(int row) const;
  QColor VerdictColor(int row) const;
  // 25 + 24 x rows: the height the panel asks for.
  int PreferredHeight() const;

 signals:
  // The panel was emptied and hidden (the window hides "查看变动" and moves
  // the task list up).
  void closed();
  // The change count for the window's status line.
  void countChanged(int changes);
  // A row was clicked: select this task in the task list.
  void taskClicked(QString url);
  // Rows were added or removed: lay the panels out again.
  void rowCountChanged();

 private:
  void OpenShopLink(int row);

  QLabel* m_summary;
  QPushButton* m_close;
  QTableWidget* m_list;
  CChangeCounts m_counts;
  ShopLinkTaskStore m_linkStore;
  CWindowJobs* m_jobs = nullptr;
};
