// Editing tasks from the main window: the edit window for one task and the
// batch window for the frequency of several.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/batcheditdlg.h"
#include "app/taskeditdlg.h"
#include "controls/spinedit.h"
#include "mainwindow_fixture.h"

namespace {

// Fills the modal window that the next command opens and presses `button`.
template <typename Dialog>
void AnswerNextDialog(std::function<void(Dialog&)> fill, const char* button) {
  QTimer::singleShot(0, [fill, button] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    fill(*dialog);
    dialog->template findChild<QPushButton*>(QString::fromLatin1(button))->click();
  });
}

void SetSpin(QDialog& dialog, const char* name, const char* text) {
  dialog.findChild<CSpinEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
}

TEST_F(MainWindowTest, EditReplacesTheTaskAndItsTimerAndSaves) {
  TaskPtr old = AddTask("Kettle", true);
  AddTask("Mug", true);
  OpenWindow();
  Select({0});
  AnswerNextDialog<CTaskEditDlg>(
      [](CTaskEditDlg& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("nameEdit"))
            ->setText(QStringLiteral("Kettle 2"));
      },
      "editButton");
  window->EditSelected();

  TaskPtr edited = tasks.TaskAt(0);
  ASSERT_NE(edited, old);
  EXPECT_EQ(edited->GetProductName(), "Kettle 2");
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("Kettle 2"));
  EXPECT_EQ(Cell(0, kColumnFrequency), QStringLiteral("1小时"));
  EXPECT_TRUE(window->Tracker().IsScheduled(edited->GetUrl()));
  ExpectCounts(2, 2, 0);
  window->FlushTaskFile();
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.TaskAt(0)->GetProductName(), "Kettle 2");

  // With the frequency unchanged the next pass comes a period later, and it
  // is the edited task's, not the old one's.
  ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
  shop.Page("/item/0.html",
            ProductPage("Kettle 2", edited->GetProductID(), "79.00", shop.Link("/pic.png")));
  clock->Advance(std::chrono::minutes(59));
  ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(edited->GetCurrentPrice(), "99.00");
  clock->Advance(std::chrono::minutes(1));
  ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(edited->GetCurrentPrice(), "79.00");
  EXPECT_EQ(old->GetCurrentPrice(), "99.00");
}

TEST_F(MainWindowTest, EditThatPausesAdjustsCountsAndTimer) {
  TaskPtr task = AddTask("Kettle", true);
  OpenWindow();
  Select({0});
  AnswerNextDialog<CTaskEditDlg>(
      [](CTaskEditDlg& dialog) {
        dialog.findChild<QCheckBox*>(QStringLiteral("trackedCheck"))->setChecked(false);
      },
      "editButton");
  window->EditSelected();
  ExpectCounts(1, 0, 1);
  EXPECT_FALSE(window->Tracker().IsScheduled(task->GetUrl()));
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{0}));
}

TEST_F(MainWindowTest, BatchEditSetsTheFrequencyOfEverySelectedTask) {
  AddTask("A", true);
  AddTask("B", false);
  AddTask("C", true);
  OpenWindow();
  Select({0, 1});
  AnswerNextDialog<CBatchEditDlg>(
      [](CBatchEditDlg& dialog) {
        SetSpin(dialog, "hourEdit", "2");
        SetSpin(dialog, "minuteEdit", "15");
      },
      "editButton");
  window->BatchEditSelected();
  EXPECT_EQ(tasks.TaskAt(0)->GetFrequencyHour(), "2");
  EXPECT_EQ(tasks.TaskAt(1)->GetFrequencyMinute(), "15");
  EXPECT_EQ(tasks.TaskAt(2)->GetFrequencyHour(), "1");
  EXPECT_EQ(Cell(1, kColumnFrequency), QStringLiteral("2小时"));
  window->FlushTaskFile();
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.TaskAt(0)->GetFrequencyHour(), "2");
  EXPECT_EQ(saved.TaskAt(2)->GetFrequencyHour(), "1");
  // A paused task stays without a timer.
  EXPECT_FALSE(window->Tracker().IsScheduled(tasks.TaskAt(1)->GetUrl()));
  ExpectCounts(3, 2, 1);
}

}  // namespace
