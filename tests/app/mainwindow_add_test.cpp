// Adding a task through the add window until its row shows the product,
// and the two ways an add can fail.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/taskadddlg.h"
#include "base/stringtable.h"
#include "mainwindow_fixture.h"

namespace {

class MainWindowAddTest : public MainWindowTest {
 protected:
  // Fills the add window that NewTask opens and presses "添加".
  void AddThroughWindow(const std::string& link) {
    QTimer::singleShot(0, [link] {
      auto* dialog = qobject_cast<CTaskAddDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QLineEdit*>(QStringLiteral("linkEdit"))->setText(FromLocal(link));
      dialog->findChild<QPushButton*>(QStringLiteral("addButton"))->click();
    });
    window->NewTask();
  }
};

TEST_F(MainWindowAddTest, AddedTaskShowsNameAndPrice) {
  shop.Page("/item/new.html",
            ProductPage("Electric kettle", "4711", "129.00", shop.Link("/pic.png")));
  OpenWindow();
  window->show();
  AddThroughWindow(shop.Link("/item/new.html"));
  // The placeholder row shows at once, then the product.
  ASSERT_EQ(Model().rowCount(), 1);
  ASSERT_TRUE(SpinUntil([&] { return Cell(0, kColumnName) == QStringLiteral("Electric kettle"); }));
  ASSERT_TRUE(SpinUntil([&] { return window->TotalCount() == 1; }));
  EXPECT_EQ(Cell(0, kColumnPrice).section(QStringLiteral("\r\n"), 0, 0), QStringLiteral("129.00"));
  EXPECT_EQ(Cell(0, kColumnState), LoadQString(IDS_STATE_TRACKING));
  ExpectCounts(1, 1, 0);
  ASSERT_EQ(tasks.GetCount(), 1);
  EXPECT_TRUE(Messages().empty());
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 1);
}

TEST_F(MainWindowAddTest, ADuplicateSelectsTheExistingRowAndSaysSo) {
  AddTask("Kettle", true);
  AddTask("Teapot", true);
  OpenWindow();
  AddChoices choices;
  choices.link = tasks.TaskAt(1)->GetUrl();
  choices.siteName = "Fake";
  window->AddNewTask(choices);
  EXPECT_EQ(Model().rowCount(), 3);
  ASSERT_TRUE(SpinUntil([&] { return Model().rowCount() == 2; }));
  ASSERT_TRUE(SpinUntil([&] { return !Messages().empty(); }));
  EXPECT_EQ(Messages(), (std::vector<unsigned>{IDS_ADD_DUPLICATE}));
  EXPECT_EQ(window->TaskList().SelectedRows(), (std::vector<int>{1}));
  EXPECT_EQ(window->CurrentRow(), 1);
  ExpectCounts(2, 2, 0);
}

TEST_F(MainWindowAddTest, AFailedFetchRemovesThePlaceholder) {
  AddTask("Kettle", true);
  OpenWindow();
  AddChoices choices;
  choices.link = shop.Link("/item/missing.html");
  choices.siteName = "Fake";
  window->AddNewTask(choices);
  EXPECT_EQ(Model().rowCount(), 2);
  EXPECT_EQ(Cell(1, kColumnState), LoadQString(IDS_STATE_FETCHING));
  ExpectCounts(1, 1, 0);
  ASSERT_TRUE(SpinUntil([&] { return Model().rowCount() == 1; }));
  ASSERT_TRUE(SpinUntil([&] { return !Messages().empty(); }));
  EXPECT_EQ(Messages(), (std::vector<unsigned>{IDS_ADD_FETCH_FAILED}));
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("Kettle"));
  ExpectCounts(1, 1, 0);
}

}  // namespace
