// What the main window shows at its default and at its smallest size: the
// search results and the counters under the toolbar, measured on the widgets
// themselves (offscreen).
#include <filesystem>

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>

#include "app/searchlistdlg.h"
#include "mainwindow_fixture.h"

namespace {

const QSize kSizes[] = {QSize(1180, 720), QSize(900, 520)};

class WindowGeometryTest : public MainWindowTest {
 protected:
  void OpenWith(int results, int others) {
    for (int i = 0; i < results; ++i) AddTask("Kettle " + std::to_string(i), true);
    for (int i = 0; i < others; ++i) AddTask("Lamp " + std::to_string(i), i % 2 == 0);
    OpenWindow();
    window->show();
  }

  void ShowAt(QSize size) {
    window->resize(size);
    QCoreApplication::processEvents();
  }

  QTableWidget* SearchKettles() {
    window->SetSearchText(QStringLiteral("kettle"));
    window->Search();
    return window->SearchPanel().List();
  }

  // True when the row lies wholly inside the list's visible area.
  static bool RowShows(QTableWidget* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, CSearchListDlg::kName));
    return list->viewport()->rect().contains(cell);
  }
};

TEST_F(WindowGeometryTest, SearchResultsShowEveryRowAndFitTheirColumnsToThePanel) {
  OpenWith(2, 1);
  QTableWidget* list = SearchKettles();
  for (QSize size : kSizes) {
    SCOPED_TRACE(size.width());
    ShowAt(size);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
    for (int row = 0; row < list->rowCount(); ++row) EXPECT_TRUE(RowShows(list, row)) << row;
    // The columns take the panel's width, no more; the fixed ones keep theirs.
    int used = 0;
    for (int column = 0; column < CSearchListDlg::kColumnCount; ++column)
      if (!list->isColumnHidden(column)) used += list->columnWidth(column);
    EXPECT_EQ(used, list->viewport()->width());
    EXPECT_EQ(list->columnWidth(CSearchListDlg::kPrice), 110);
    EXPECT_EQ(list->columnWidth(CSearchListDlg::kDelete), 28);
    EXPECT_LE(list->columnWidth(CSearchListDlg::kName), 450);
  }
}

TEST_F(WindowGeometryTest, ManyResultsScrollDownToTheLastRow) {
  OpenWith(9, 0);
  QTableWidget* list = SearchKettles();
  for (QSize size : kSizes) {
    SCOPED_TRACE(size.width());
    ShowAt(size);
    // A quarter of the list area holds only some rows: the rest scroll.
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    list->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_TRUE(RowShows(list, list->rowCount() - 1));
  }
}

TEST_F(WindowGeometryTest, CountersFitAtEverySizeBesideTheButtonAndTheSearchBox) {
  OpenWith(12, 7);
  auto* counters = window->findChild<QLabel*>(QStringLiteral("counters"));
  auto* viewChanges = window->findChild<QWidget*>(QStringLiteral("viewChangesButton"));
  auto* search = window->findChild<QWidget*>(QStringLiteral("searchEdit"));
  ASSERT_TRUE(counters && viewChanges && search);
  viewChanges->show();
  for (QSize size : kSizes) {
    SCOPED_TRACE(size.width());
    ShowAt(size);
    EXPECT_LE(counters->heightForWidth(counters->width()), counters->height());
    EXPECT_LT(counters->geometry().right(), viewChanges->x());
    EXPECT_LT(viewChanges->geometry().right(), search->x());
  }
}

TEST_F(WindowGeometryTest, CountersAreCurrentWhenAFailedSaveShowsItsBox) {
  OpenWith(0, 2);  // one tracked, one paused
  QString shownWith;
  auto* counters = window->findChild<QLabel*>(QStringLiteral("counters"));
  SetMessageHandler([&](unsigned, int, const std::string&) {
    shownWith = counters->text();
    return IDOK;
  });
  // tasks.xml can't be written: a folder of that name is in the way.
  std::filesystem::remove(ProgramFile("tasks.xml"));
  std::filesystem::create_directories(ProgramFile("tasks.xml") + "/x");
  // The saver tells of the failure on the window thread.
  window->PauseAll();
  window->FlushTaskFile();
  ASSERT_TRUE(SpinUntil([&] { return !shownWith.isEmpty(); }));
  EXPECT_NE(shownWith.indexOf(QStringLiteral("暂停 <b>2</b>")), -1) << shownWith.toStdString();
  shownWith.clear();
  window->StartAll();
  window->FlushTaskFile();
  ASSERT_TRUE(SpinUntil([&] { return !shownWith.isEmpty(); }));
  EXPECT_NE(shownWith.indexOf(QStringLiteral("正在跟踪 <b>2</b>")), -1) << shownWith.toStdString();
  SetMessageHandler({});
}

}  // namespace
