// The window and `vantrelctl` on one program folder: tasks added and deleted
// by the other process show in the list and survive the window's saves.
#include "mainwindow_fixture.h"
#include "support/command_line.h"

namespace {

class MainWindowSharingTest : public MainWindowTest {};

TEST_F(MainWindowSharingTest, AddsAndDeletesOfVantrelctlAreKept) {
  ASSERT_TRUE(sites.SaveSites(home.File("sites.xml")));
  const TaskPtr first = AddTask("First", true);
  AddTask("Second", true);
  ASSERT_TRUE(tasks.SaveTasks(ProgramFile("tasks.xml")));
  OpenWindow();

  std::vector<std::string> added;
  for (const char* sku : {"7001", "7002", "7003"}) {
    const std::string path = std::string("/new/") + sku + ".html";
    shop.Page(path, ProductPage("Kettle", sku, "59.00", shop.Link("/pic.png")));
    added.push_back(shop.Link(path));
    EXPECT_EQ(RunVantrelctl("add '" + added.back() + "'"), 0);
  }
  EXPECT_EQ(RunVantrelctl("delete '" + first->GetUrl() + "'"), 0);

  // The rows follow without a restart.
  EXPECT_TRUE(SpinUntil([&] { return window->TotalCount() == 4; }));
  EXPECT_EQ(tasks.FindByUrl(first->GetUrl()), nullptr);
  window.reset();  // ends tracking and saves

  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  std::vector<std::string> urls;
  for (const TaskPtr& task : saved.Tasks()) urls.push_back(task->GetUrl());
  EXPECT_EQ(urls,
            (std::vector<std::string>{tasks.TaskAt(0)->GetUrl(), added[0], added[1], added[2]}));
}

}  // namespace
