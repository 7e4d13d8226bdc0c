// How the main window takes the events of the worker threads: "UpdateData"
// in its modes, events about tasks that have gone, and the event sink's
// waiting rules.
#include <atomic>
#include <thread>

#include "app/changelistdlg.h"
#include "app/windoweventsink.h"
#include "base/codepage.h"
#include "base/stringtable.h"
#include "engine/productfiles.h"
#include "mainwindow_fixture.h"

namespace {

TEST_F(MainWindowTest, UpdateDataRefreshesTheRowsOfItsTask) {
  // Paused: no pass of its own runs meanwhile.
  TaskPtr task = AddTask("Kettle", false);
  OpenWindow();
  task->SetCurrentPrice("89.00");
  task->SetPriceState("down");
  task->SetProductName("");  // an empty value leaves the cell as it was
  window->Events().PostUpdateData(task, "");
  ASSERT_TRUE(SpinUntil([&] { return Cell(0, kColumnPrice).startsWith("89.00"); }));
  EXPECT_EQ(Cell(0, kColumnPrice), QStringLiteral("89.00\r\ndown"));
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("Kettle"));
  ExpectCounts(1, 0, 1);
}

TEST_F(MainWindowTest, AFailingTaskSaysSoInItsStateAndAnAlertJoinsTheChanges) {
  TaskPtr task = AddTask("Kettle", false);
  OpenWindow();
  // Tracked from now on, but with no timer of its own in this window.
  task->SetStatus(1);
  task->AddFailure("2026-01-02 03:04:05", "HTTP 503");
  window->Events().PostFetchFailed(task, Utf8ToLocal("Kettle连续1次抓取失败"));
  window->Events().PostUpdateData(task, "");
  ASSERT_TRUE(SpinUntil([&] { return window->ChangeCount() == 1; }));
  ASSERT_TRUE(SpinUntil([&] { return Cell(0, kColumnState) == QStringLiteral("抓取失败"); }));
  EXPECT_EQ(Model().data(Model().index(0, kColumnState), Qt::ToolTipRole).toString(),
            QStringLiteral("HTTP 503 2026-01-02 03:04:05"));
  CChangeListDlg& changes = window->ChangePanel();
  EXPECT_EQ(changes.CellText(0, CChangeListDlg::kChange), QStringLiteral("Kettle连续1次抓取失败"));
  EXPECT_EQ(changes.Counts().priceChanges + changes.Counts().stockChanges, 0);

  // A failure that is not told refreshes the row only; a good pass clears it.
  window->Events().PostFetchFailed(task, "");
  task->ClearFailures();
  window->Events().PostUpdateData(task, "");
  ASSERT_TRUE(SpinUntil([&] { return Cell(0, kColumnState) != QStringLiteral("抓取失败"); }));
  EXPECT_NE(Model().data(Model().index(0, kColumnState), Qt::ToolTipRole).toString(),
            QStringLiteral("HTTP 503 2026-01-02 03:04:05"));
  EXPECT_EQ(window->ChangeCount(), 1);
}

TEST_F(MainWindowTest, UpdateDataAboutADeletedTaskChangesNothing) {
  TaskPtr kept = AddTask("Kept", true);
  TaskPtr gone = AddTask("Gone", true);
  OpenWindow();
  // A pass posted about the task; the task is deleted before the window
  // gets to the event.
  gone->SetCurrentPrice("1.00");
  window->Events().PostUpdateData(gone, "");
  Select({1});
  bool finished = false;
  QObject::connect(window.get(), &CVantrelDlg::deleteFinished, [&] { finished = true; });
  window->DeleteSelected();
  ASSERT_TRUE(SpinUntil([&] { return finished; }));
  ASSERT_EQ(Model().rowCount(), 1);
  ExpectCounts(1, 1, 0);

  // Another late event, as a plain update: nothing changes either.
  gone->SetAddMode("");
  window->Events().PostUpdateData(gone, "");
  window->Events().PostUpdateChangeData(gone);
  SpinUntil([] { return false; }, 200);
  ASSERT_EQ(Model().rowCount(), 1);
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("Kept"));
  ExpectCounts(1, 1, 0);
  EXPECT_EQ(window->ChangeCount(), 0);
}

TEST_F(MainWindowTest, UpdateDataForAReplacedTaskLeavesTheNewRowAlone) {
  TaskPtr old = AddTask("Old name", true);
  OpenWindow();
  CTaskValues values = old->GetValues();
  values.productName = "New name";
  auto edited = std::make_shared<CTask>(values);
  ASSERT_TRUE(tasks.SetTaskAt(old, edited));
  Model().SetTask(0, edited);
  Model().FillRow(0, *edited, false);
  old->SetProductName("Stale");
  window->OnUpdateData(old, "");
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("New name"));
}

TEST_F(MainWindowTest, ImportAppendsACountedRowAndDelRemovesIt) {
  AddTask("A", false);
  OpenWindow();
  CTaskValues v = tasks.TaskAt(0)->GetValues();
  v.url = shop.Link("/imported.html");
  v.productName = "Imported";
  v.status = 1;
  auto imported = std::make_shared<CTask>(v);
  imported->SetAddMode("import");
  ASSERT_TRUE(tasks.AddTask(imported));
  window->OnUpdateData(imported, "");
  ASSERT_EQ(Model().rowCount(), 2);
  EXPECT_EQ(Cell(1, kColumnName), QStringLiteral("Imported"));
  ExpectCounts(2, 1, 1);
  // The same event again refreshes the row rather than adding another.
  window->OnUpdateData(imported, "");
  ASSERT_EQ(Model().rowCount(), 2);
  ExpectCounts(2, 1, 1);

  imported->SetAddMode("del");
  window->OnUpdateData(imported, "");
  EXPECT_EQ(Model().rowCount(), 1);
  ExpectCounts(1, 0, 1);
  // The same removal again finds no row and counts nothing twice.
  window->OnUpdateData(imported, "");
  ExpectCounts(1, 0, 1);
}

TEST_F(MainWindowTest, ANewPictureReplacesTheRowPicture) {
  TaskPtr task = AddTask("Kettle", true);
  OpenWindow();
  window->show();
  SpinUntil([] { return false; }, 100);
  const QImage before = Model().Picture(0).toImage();
  const std::string picture = ProductPicturePath(*task);
  WriteImage(picture, DrawnImage(105, 105, {0, 0, 255, 255}), "png");
  window->OnUpdateData(task, picture);
  const QImage after = Model().Picture(0).toImage();
  EXPECT_NE(before.pixelColor(50, 50), after.pixelColor(50, 50));
  EXPECT_EQ(after.pixelColor(50, 50), QColor(0, 0, 255));
}

TEST_F(MainWindowTest, PicturesAreReadOnlyForRowsThatShow) {
  for (int i = 0; i < 400; ++i) AddTask("Task " + std::to_string(i), true);
  OpenWindow();
  window->show();
  SpinUntil([] { return false; }, 200);
  window->repaint();
  const int first = Model().PicturesRead();
  EXPECT_GT(first, 0);
  EXPECT_LT(first, 30);
  // Scrolling down reads the pictures of the rows that come into view.
  window->TaskList().scrollToBottom();
  window->TaskList().viewport()->repaint();
  EXPECT_GT(Model().PicturesRead(), first);
  EXPECT_LT(Model().PicturesRead(), 60);
}

TEST_F(MainWindowTest, ChangeWhileHiddenBlinksTheTrayUntilClicked) {
  TaskPtr task = AddTask("Kettle", true);
  OpenWindow();
  task->SetPriceState("down");
  task->SetPreviousPrice("99.00");
  task->SetCurrentPrice("89.00");
  window->OnUpdateChangeData(task, task->Copy());
  EXPECT_TRUE(window->IsBlinking());
  EXPECT_EQ(window->ChangeCount(), 1);
  window->ShowMainWindow();
  EXPECT_TRUE(window->IsBlinking());  // only the tray icon stops it
}

TEST_F(MainWindowTest, AChangeRowShowsWhatItsPassSawNotWhatALaterPassWrote) {
  TaskPtr task = AddTask("Kettle", false);
  OpenWindow();
  task->SetPriceState("down");
  task->SetPreviousPrice("99.00");
  task->SetCurrentPrice("89.00");
  task->SetStockState("nochange");
  task->SetPreviousStock(task->GetCurrentStock());
  window->Events().PostUpdateChangeData(task);
  // The next pass sees no change before the window handles the first one.
  task->SetPriceState("nochange");
  task->SetPreviousPrice("89.00");
  task->SetProductName("Kettle, renamed");
  ASSERT_TRUE(SpinUntil([&] { return window->ChangeCount() == 1; }));
  CChangeListDlg& changes = window->ChangePanel();
  EXPECT_EQ(changes.CellText(0, CChangeListDlg::kName), QStringLiteral("Kettle"));
  EXPECT_EQ(changes.CellText(0, CChangeListDlg::kChange), QStringLiteral("99.00 -> 89.00"));
  EXPECT_EQ(changes.Counts().priceChanges, 1);
}

// A window thread stand-in for the sink tests.
struct CountingHandler : WindowEventHandler {
  std::atomic<int> updates{0};
  void OnUpdateData(const std::shared_ptr<CTask>&, const std::string&) override { ++updates; }
  void OnUpdateChangeData(const std::shared_ptr<CTask>&,
                          const std::shared_ptr<const CTask>&) override {}
  void OnChangePopup(const std::string&, const std::string&, const std::string&,
                     const DealNote&) override {}
  void OnPlaySound(const std::string&) override {}
  bool OnImportProgress(const CTaskImportStatus&) override { return true; }
  bool OnUploadProgress(const CTaskImportStatus&) override { return true; }
};

TEST(WindowEventSinkTest, SendWaitsForTheWindowAndCloseReleasesWaiters) {
  TestApplication();
  CountingHandler handler;
  CWindowEventSink sink(handler);
  auto task = std::make_shared<CTask>();

  // From the window's own thread a send is handled at once.
  sink.SendUpdateData(task, "");
  EXPECT_EQ(handler.updates, 1);

  // From a worker it waits until the window thread handled it.
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    sink.SendUpdateData(task, "");
    returned = true;
  });
  ASSERT_TRUE(SpinUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_EQ(handler.updates, 2);

  // A worker that sends while the window no longer runs its loop (it waits
  // for the worker) is let go by Close.
  std::atomic<bool> progress{true};
  std::thread late([&] { progress = sink.SendImportProgress({}); });
  QThread::msleep(50);
  sink.Close();
  late.join();
  EXPECT_FALSE(progress);
  QCoreApplication::processEvents();
  EXPECT_EQ(handler.updates, 2);
  // After closing, posts are dropped.
  sink.PostUpdateData(task, "");
  QCoreApplication::processEvents();
  EXPECT_EQ(handler.updates, 2);
}

}  // namespace
