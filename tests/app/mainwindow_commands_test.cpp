// The main window's commands: counters, tasks.xml and timers after start,
// pause, delete and their "all" forms; search; the context menu.
#include <QAction>
#include <QMenu>

#include "app/mypaneldlg.h"
#include "app/searchlistdlg.h"
#include "app/userpaneldlg.h"
#include "base/ini.h"
#include "base/openlink.h"
#include "base/stringtable.h"
#include "engine/productfiles.h"
#include "mainwindow_fixture.h"

namespace {

TEST_F(MainWindowTest, RowsShowTheTasksAndTheCountersAddUp) {
  AddTask("Kettle", true);
  AddTask("Teapot", false);
  AddTask("Mug", true);
  OpenWindow();
  ASSERT_EQ(Model().rowCount(), 3);
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("Kettle"));
  EXPECT_EQ(Cell(0, kColumnState), LoadQString(IDS_STATE_TRACKING));
  EXPECT_EQ(Cell(1, kColumnState), LoadQString(IDS_STATE_PAUSED));
  EXPECT_EQ(Cell(0, kColumnFrequency), QStringLiteral("1小时"));
  EXPECT_EQ(Cell(2, kColumnLink), FromLocal(tasks.TaskAt(2)->GetUrl()));
  ExpectCounts(3, 2, 1);
  EXPECT_TRUE(window->Tracker().IsScheduled(tasks.TaskAt(0)->GetUrl()));
  EXPECT_FALSE(window->Tracker().IsScheduled(tasks.TaskAt(1)->GetUrl()));
}

TEST_F(MainWindowTest, StartAndPauseKeepCountersTimersAndTasksFile) {
  AddTask("A", true);
  AddTask("B", false);
  AddTask("C", false);
  OpenWindow();
  const std::string b = tasks.TaskAt(1)->GetUrl();

  Select({1, 2});
  window->StartSelected();
  ExpectCounts(3, 3, 0);
  EXPECT_TRUE(window->Tracker().IsScheduled(b));
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Cell(1, kColumnState), LoadQString(IDS_STATE_TRACKING));

  // Starting tasks that already run changes nothing.
  window->StartSelected();
  ExpectCounts(3, 3, 0);

  Select({0, 1});
  window->PauseSelected();
  ExpectCounts(3, 1, 2);
  EXPECT_FALSE(window->Tracker().IsScheduled(b));
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(Cell(0, kColumnState), LoadQString(IDS_STATE_PAUSED));

  window->PauseAll();
  ExpectCounts(3, 0, 3);
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{0, 0, 0}));
  window->StartAll();
  ExpectCounts(3, 3, 0);
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{1, 1, 1}));
  EXPECT_TRUE(window->Tracker().IsScheduled(tasks.TaskAt(2)->GetUrl()));
}

TEST_F(MainWindowTest, StartAllSpreadsTheFirstFetchesBySleepTime) {
  for (int i = 0; i < 10; ++i) AddTask("Task " + std::to_string(i), false);
  OpenWindow(3000);
  window->StartAll();
  auto fetched = [this](int row) {
    return shop.Requests("/item/" + std::to_string(row) + ".html");
  };
  ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(fetched(0), 1);
  EXPECT_EQ(fetched(1), 0);
  for (int row = 1; row < 10; ++row) {
    clock->Advance(std::chrono::milliseconds(2999));
    ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(fetched(row), 0) << row;
    clock->Advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(window->Tracker().Queue().WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(fetched(row), 1) << row;
  }
  EXPECT_EQ(fetched(9), 1);
}

TEST_F(MainWindowTest, DeleteRunsOnAWorkerAndRemovesRowsFilesAndTasks) {
  AddTask("A", true);
  TaskPtr b = AddTask("B", false);
  TaskPtr c = AddTask("C", true);
  home.Write("productimgs/" + ProductFileKey(*b), "picture");
  home.Write("productprices/" + ProductFileKey(*c) + ".xml", "history");
  OpenWindow();
  Select({1, 2});
  bool finished = false;
  QObject::connect(window.get(), &CVantrelDlg::deleteFinished, [&] { finished = true; });
  window->DeleteSelected();
  ASSERT_TRUE(SpinUntil([&] { return finished; }));
  ASSERT_EQ(Model().rowCount(), 1);
  EXPECT_EQ(Cell(0, kColumnName), QStringLiteral("A"));
  ExpectCounts(1, 1, 0);
  EXPECT_EQ(tasks.GetCount(), 1);
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{1}));
  EXPECT_FALSE(FileExists(home.File("productimgs/" + ProductFileKey(*b))));
  EXPECT_FALSE(FileExists(home.File("productprices/" + ProductFileKey(*c) + ".xml")));
  EXPECT_FALSE(window->Tracker().IsScheduled(c->GetUrl()));
  EXPECT_EQ(window->CurrentRow(), -1);
  EXPECT_EQ(window->VisiblePanel(), CVantrelDlg::Panel::kWeb);
}

TEST_F(MainWindowTest, DeleteAllEmptiesListCountersAndTasksFile) {
  AddTask("A", true);
  TaskPtr b = AddTask("B", false);
  home.Write("productitems/" + ProductFileKey(*b) + ".xml", "offers");
  OpenWindow();
  window->DeleteAll();
  EXPECT_EQ(Model().rowCount(), 0);
  ExpectCounts(0, 0, 0);
  EXPECT_EQ(tasks.GetCount(), 0);
  EXPECT_TRUE(SavedStatuses().empty());
  EXPECT_FALSE(FileExists(home.File("productitems/" + ProductFileKey(*b) + ".xml")));
  EXPECT_EQ(window->Tracker().Queue().TimerCount(), 0u);
}

TEST_F(MainWindowTest, SelectAllAndInvert) {
  for (const char* name : {"A", "B", "C", "D"}) AddTask(name, true);
  OpenWindow();
  Select({1});
  window->InvertSelection();
  EXPECT_EQ(window->TaskList().SelectedRows(), (std::vector<int>{0, 2, 3}));
  window->SelectAll();
  EXPECT_EQ(window->TaskList().SelectedRows(), (std::vector<int>{0, 1, 2, 3}));
  window->InvertSelection();
  EXPECT_TRUE(window->TaskList().SelectedRows().empty());
}

TEST_F(MainWindowTest, SearchFindsTrackedTasksByNameOrShopIgnoringCase) {
  AddTask("abc kettle", true);
  AddTask("ABC teapot", false);  // paused: never found
  AddTask("Mug", true, "AbcShop");
  AddTask("Plate", true);
  OpenWindow();
  CSearchListDlg& results = window->SearchPanel();

  window->SetSearchText(QStringLiteral("输入关键词，搜索任务"));
  window->Search();
  EXPECT_TRUE(results.isHidden());

  window->SetSearchText(QStringLiteral("ABC"));
  window->Search();
  EXPECT_FALSE(results.isHidden());
  ASSERT_EQ(results.RowCount(), 2);
  // Each match goes to the top: task-list order reversed.
  EXPECT_EQ(results.CellText(0, CSearchListDlg::kName), QStringLiteral("Mug"));
  EXPECT_EQ(results.CellText(1, CSearchListDlg::kName), QStringLiteral("abc kettle"));
  EXPECT_EQ(results.CellText(1, CSearchListDlg::kUrl), FromLocal(tasks.TaskAt(0)->GetUrl()));
  EXPECT_EQ(results.CountText(), QStringLiteral("搜索结果，共2个结果"));

  // A click on a result selects its task row.
  results.ClickCell(1, CSearchListDlg::kName);
  EXPECT_EQ(window->TaskList().SelectedRows(), (std::vector<int>{0}));

  // No match still shows the panel, with its count.
  window->SetSearchText(QStringLiteral("nothing"));
  window->Search();
  EXPECT_FALSE(results.isHidden());
  EXPECT_EQ(results.RowCount(), 0);
  EXPECT_EQ(results.CountText(), QStringLiteral("搜索结果，共0个结果"));
}

TEST_F(MainWindowTest, DeletingTheLastSearchResultHidesThePanel) {
  AddTask("Kettle", true);
  AddTask("Kettle two", true);
  OpenWindow();
  window->SetSearchText(QStringLiteral("kettle"));
  window->Search();
  CSearchListDlg& results = window->SearchPanel();
  ASSERT_EQ(results.RowCount(), 2);
  results.ClickCell(0, CSearchListDlg::kDelete);
  EXPECT_EQ(results.RowCount(), 1);
  EXPECT_FALSE(results.isHidden());
  results.ClickCell(0, CSearchListDlg::kDelete);
  EXPECT_TRUE(results.isHidden());
  // The tasks themselves stay.
  EXPECT_EQ(Model().rowCount(), 2);
}

// Which items of the context menu are enabled.
std::map<unsigned, bool> MenuState(QMenu* menu) {
  std::map<unsigned, bool> state;
  for (QAction* action : menu->findChildren<QAction*>())
    if (action->data().isValid()) state[action->data().toUInt()] = action->isEnabled();
  return state;
}

TEST_F(MainWindowTest, ContextMenuGreysTaskItemsBySelection) {
  AddTask("A", true);
  AddTask("B", true);
  OpenWindow();
  const unsigned taskItems[] = {32783, 32784, 32785, 32779, 32812, 32786, 32810, 32792,
                                32794, 32797, 32796, 32798, 32793, 32795, 32811};

  std::unique_ptr<QMenu> none(window->CreateContextMenu());
  std::map<unsigned, bool> state = MenuState(none.get());
  for (unsigned id : taskItems) {
    ASSERT_TRUE(state.count(id)) << id;
    EXPECT_FALSE(state[id]) << id;
  }
  EXPECT_TRUE(state[32777]);
  EXPECT_TRUE(state[32778]);

  Select({1});
  std::unique_ptr<QMenu> one(window->CreateContextMenu());
  for (const auto& [id, enabled] : MenuState(one.get())) EXPECT_TRUE(enabled) << id;

  Select({0, 1});
  std::unique_ptr<QMenu> two(window->CreateContextMenu());
  for (const auto& [id, enabled] : MenuState(two.get())) EXPECT_EQ(enabled, id != 32779) << id;
}

TEST_F(MainWindowTest, CloseBoxHidesAndExitEndsTrackingAndSaves) {
  AddTask("A", true);
  OpenWindow();
  window->show();
  window->close();
  EXPECT_TRUE(window->isHidden());
  EXPECT_TRUE(window->Tracker().IsScheduled(tasks.TaskAt(0)->GetUrl()));

  DeleteFile(ProgramFile("tasks.xml"));
  bool exited = false;
  QObject::connect(window.get(), &CVantrelDlg::exitRequested, [&] { exited = true; });
  window->Exit();
  EXPECT_TRUE(exited);
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{1}));
}

}  // namespace

namespace {

// The links handed to the browser.
class OpenedLinks {
 public:
  OpenedLinks() {
    SetLinkOpener([this](const std::string& utf8Url) { m_links.push_back(utf8Url); });
  }
  ~OpenedLinks() { SetLinkOpener({}); }
  const std::vector<std::string>& Links() const { return m_links; }

 private:
  std::vector<std::string> m_links;
};

TEST_F(MainWindowTest, ShareItemsReachTheirOwnSites) {
  AddTask("Kettle", true);
  OpenWindow();
  IniWriteString(ProgramFile("config.ini"), "Hosts", "ShareNeteaseUrl",
                 "http://netease.example/share?link=");
  IniWriteString(ProgramFile("config.ini"), "Hosts", "ShareBaiduUrl",
                 "http://baidu.example/share?url=");
  OpenedLinks opened;
  Select({0});
  std::unique_ptr<QMenu> menu(window->CreateContextMenu());
  for (QAction* action : menu->findChildren<QAction*>())
    if (action->data().toUInt() == 32795) action->trigger();  // "分享到网易微博"
  // The product's shop link is rewritten on a worker first.
  ASSERT_TRUE(SpinUntil([&] { return opened.Links().size() == 1; }));
  EXPECT_EQ(opened.Links()[0].rfind("http://netease.example/share?link=", 0), 0u)
      << opened.Links()[0];
  for (QAction* action : menu->findChildren<QAction*>())
    if (action->data().toUInt() == 32811) action->trigger();  // "分享到百度空间"
  ASSERT_TRUE(SpinUntil([&] { return opened.Links().size() == 2; }));
  EXPECT_EQ(opened.Links()[1].rfind("http://baidu.example/share?url=", 0), 0u) << opened.Links()[1];
}

}  // namespace

namespace {

TEST_F(MainWindowTest, TheAccountAreaShowsTheSignedInPanelOnlyWithNameAndPassword) {
  struct Case {
    const char* username;
    const char* password;
    bool signedIn;
  };
  for (const Case& c : {Case{"lin@example.com", "c2VjcmV0", true},
                        Case{"lin@example.com", "", false}, Case{"", "c2VjcmV0", false}}) {
    MainWindowOptions options;
    options.settings.username = c.username;
    options.settings.password = c.password;
    options.clock = clock;
    options.offerAutoStart = false;
    options.loadWebPanel = false;
    CVantrelDlg dialog(sites, tasks, options);
    auto* user = dialog.findChild<CUserPanelDlg*>();
    auto* mine = dialog.findChild<CMyPanelDlg*>();
    ASSERT_TRUE(user && mine);
    EXPECT_EQ(mine->isHidden(), !c.signedIn) << c.username << "/" << c.password;
    EXPECT_EQ(user->isHidden(), c.signedIn) << c.username << "/" << c.password;
  }
}

}  // namespace
