#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/tasklist.h"
#include "support/tempdir.h"

namespace {

std::string Gbk(const std::string& utf8) { return Utf8ToLocal(utf8); }

const char kHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";

TaskPtr MakeTask(const std::string& url, const std::string& name = "n") {
  CTaskValues v;
  v.url = url;
  v.productName = name;
  v.siteDomain = "shop.example";
  v.productId = url;
  v.status = 1;
  return std::make_shared<CTask>(v);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

// Loads a tasks.xml text without caches.
bool LoadText(CTaskList& list, const TempDir& dir, const std::string& text) {
  dir.Write("tasks.xml", text);
  return list.LoadTasks(dir.File("tasks.xml"), dir.File("productitems/"),
                        dir.File("productprices/"), nullptr);
}

TEST(TaskList, UrlsDifferingOnlyInCaseAreOneTask) {
  CTaskList list;
  EXPECT_TRUE(list.AddTask(MakeTask("http://Shop.example/A")));
  EXPECT_FALSE(list.AddTask(MakeTask("HTTP://shop.EXAMPLE/a")));
  EXPECT_TRUE(list.AddTask(MakeTask("http://shop.example/b")));
  EXPECT_EQ(list.GetCount(), 2);
  ASSERT_NE(list.FindByUrl("http://SHOP.example/a"), nullptr);
  EXPECT_EQ(list.FindByUrl("http://SHOP.example/a")->GetUrl(), "http://Shop.example/A");
  EXPECT_EQ(list.FindByUrl("http://shop.example/c"), nullptr);
}

TEST(TaskList, FoldingLeavesDoubleByteCharactersAlone) {
  // The trail byte of this GBK pair is "A" (0x41); folding it would make two
  // different characters one.
  CTaskList list;
  EXPECT_TRUE(list.AddTask(MakeTask("http://s/\x81\x41")));
  EXPECT_TRUE(list.AddTask(MakeTask("http://s/\x81\x61")));
  EXPECT_EQ(list.GetCount(), 2);
}

TEST(TaskList, PositionsThatLeftTheListAreRefused) {
  CTaskList list;
  TaskPtr a = MakeTask("a"), b = MakeTask("b"), c = MakeTask("c");
  list.AddTask(a);
  list.AddTask(b);
  EXPECT_EQ(list.TaskAt(1), b);
  EXPECT_EQ(list.TaskAt(2), nullptr);
  EXPECT_EQ(list.TaskAt(-1), nullptr);
  EXPECT_EQ(list.IndexOf(b.get()), 1);
  EXPECT_TRUE(list.SetTaskAt(b, c));
  EXPECT_EQ(list.TaskAt(1), c);
  EXPECT_FALSE(list.SetTaskAt(b, a));  // b is gone
  EXPECT_FALSE(list.RemoveTaskAt(b));
  EXPECT_TRUE(list.RemoveTaskAt(a));
  EXPECT_EQ(list.IndexOf(a.get()), -1);
  EXPECT_EQ(list.GetCount(), 1);
  // A task that left the list stays valid for whoever holds it.
  EXPECT_EQ(a->GetUrl(), "a");
}

TEST(TaskList, SavedFileHasTheExactBytesAndReadsBackUnchanged) {
  TempDir dir;
  CTaskList list;
  CTaskValues v;
  v.url = "http://shop.example/p?id=7&a=1";
  v.productName = Gbk("<新款> T恤 & 短裤 '夏'");
  v.productId = Gbk("编号/7");
  v.siteName = Gbk("商城");
  v.siteDomain = "shop.example";
  v.frequencyMinute = "5";
  v.frequencyHour = "0";
  v.status = 0;
  v.trackPrice = true;
  v.currentPrice = "99.90";
  v.currentStock = 0;
  v.lastUpdate = "2013-05-06 07:08:09";
  v.priceDown = true;
  v.gotoUrl = "http://go.example/?u=http%3A&s=\"x\"";
  list.AddTask(std::make_shared<CTask>(v));
  list.AddTask(MakeTask("http://shop.example/2", Gbk("第二")));
  ASSERT_TRUE(list.SaveTasks(dir.File("tasks.xml")));

  std::string expected =
      std::string(kHead) +
      "<Task><Url>http://shop.example/p?id=7&amp;a=1</Url><ImageLink></ImageLink>"
      "<ProductName>&lt;新款&gt; T恤 &amp; 短裤 &apos;夏&apos;</ProductName>"
      "<ProductID>编号/7</ProductID><FrequencyMinute>5</FrequencyMinute>"
      "<FrequencyHour>0</FrequencyHour><Status>false</Status><SiteName>商城</SiteName>"
      "<SiteDomain>shop.example</SiteDomain><TrackPrice>true</TrackPrice>"
      "<TrackStock>false</TrackStock><CurrentPrice>99.90</CurrentPrice>"
      "<CurrentStock>false</CurrentStock><LastUpdate>2013-05-06 07:08:09</LastUpdate>"
      "<PriceUp>false</PriceUp><PriceDown>true</PriceDown><TargetPrice></TargetPrice>"
      "<GotoUrl>http://go.example/?u=http%3A&amp;s=&quot;x&quot;</GotoUrl></Task>"
      "<Task><Url>http://shop.example/2</Url><ImageLink></ImageLink>"
      "<ProductName>第二</ProductName><ProductID>http://shop.example/2</ProductID>"
      "<FrequencyMinute></FrequencyMinute><FrequencyHour></FrequencyHour>"
      "<Status>true</Status><SiteName></SiteName><SiteDomain>shop.example</SiteDomain>"
      "<TrackPrice>false</TrackPrice><TrackStock>false</TrackStock>"
      "<CurrentPrice></CurrentPrice><CurrentStock>false</CurrentStock>"
      "<LastUpdate></LastUpdate><PriceUp>false</PriceUp><PriceDown>false</PriceDown>"
      "<TargetPrice></TargetPrice><GotoUrl></GotoUrl></Task></TaskList>";
  EXPECT_EQ(dir.Read("tasks.xml"), expected);

  CTaskList again;
  ASSERT_TRUE(again.LoadTasks(dir.File("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(again.GetCount(), 2);
  CTaskValues back = again.TaskAt(0)->GetValues();
  EXPECT_EQ(back.productName, v.productName);
  EXPECT_EQ(back.productId, v.productId);
  EXPECT_EQ(back.siteName, v.siteName);
  EXPECT_EQ(back.gotoUrl, v.gotoUrl);
  EXPECT_EQ(back.url, v.url);
  EXPECT_TRUE(back.trackPrice);
  EXPECT_TRUE(back.priceDown);
  EXPECT_FALSE(back.priceUp);
  ASSERT_TRUE(again.SaveTasks(dir.File("again.xml")));
  EXPECT_EQ(dir.Read("again.xml"), expected);
}

TEST(TaskList, EmptyListIsTheFrameOnly) {
  TempDir dir;
  CTaskList list;
  ASSERT_TRUE(list.SaveTasks(dir.File("tasks.xml")));
  EXPECT_EQ(dir.Read("tasks.xml"), std::string(kHead) + "</TaskList>");
}

TEST(TaskList, ReadingRecordsFieldByField) {
  TempDir dir;
  CTaskList list;
  ASSERT_TRUE(LoadText(list, dir,
                       std::string(kHead) +
                           // No ImageLink; Status in capitals; stock "true".
                           "<Task><Url>u1</Url><ProductName>A&amp;nbsp;B</ProductName>"
                           "<Status>FALSE</Status><TrackStock>no</TrackStock>"
                           "<CurrentStock>true</CurrentStock><GotoUrl>g</GotoUrl></Task>"
                           // Fields out of order: a field found before its place is skipped.
                           "<Task><Status>false</Status><Url>u2</Url><ImageLink>i2</ImageLink>"
                           "</Task>"
                           // A duplicate of the first, by case.
                           "<Task><Url>U1</Url></Task></TaskList>"));
  ASSERT_EQ(list.GetCount(), 2);
  CTaskValues first = list.TaskAt(0)->GetValues();
  EXPECT_EQ(first.url, "u1");
  EXPECT_EQ(first.imageLink, "");
  EXPECT_EQ(first.productName, "AB");
  EXPECT_EQ(first.status, 0);
  EXPECT_TRUE(first.trackStock);  // anything but "false" is true
  EXPECT_EQ(first.currentStock, 1);
  EXPECT_EQ(first.gotoUrl, "g");
  CTaskValues second = list.TaskAt(1)->GetValues();
  EXPECT_EQ(second.url, "u2");
  EXPECT_EQ(second.imageLink, "i2");
  EXPECT_EQ(second.status, 0);  // its Status came before Url, so it was not read
}

TEST(TaskList, UndeterminedStockComesBackUndetermined) {
  // CurrentStock keeps its flag form; the undetermined state is written
  // beside it, only when set, so other tasks keep their bytes.
  for (int stock : {-1, 0, 1}) {
    TempDir dir;
    CTaskList list;
    list.AddTask(MakeTask("u"));
    list.TaskAt(0)->SetCurrentStock(stock);
    ASSERT_TRUE(list.SaveTasks(dir.File("tasks.xml")));
    EXPECT_EQ(dir.Read("tasks.xml").find("<StockUndetermined>true</StockUndetermined>") !=
                  std::string::npos,
              stock == -1);
    CTaskList again;
    ASSERT_TRUE(again.LoadTasks(dir.File("tasks.xml"), "", "", nullptr));
    EXPECT_EQ(again.TaskAt(0)->GetCurrentStock(), stock);
  }
  // A file of an older program has no mark: "true" reads as in stock.
  TempDir dir;
  CTaskList older;
  ASSERT_TRUE(LoadText(older, dir,
                       std::string(kHead) + "<Task><Url>u</Url><CurrentStock>true"
                                            "</CurrentStock></Task></TaskList>"));
  EXPECT_EQ(older.TaskAt(0)->GetCurrentStock(), 1);
}

TEST(TaskList, LoadingAppendsAndRefusesTasksAlreadyThere) {
  TempDir dir;
  CTaskList list;
  list.AddTask(MakeTask("u1"));
  ASSERT_TRUE(LoadText(list, dir,
                       std::string(kHead) + "<Task><Url>U1</Url></Task><Task><Url>u2</Url></Task>"
                                            "</TaskList>"));
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.TaskAt(1)->GetUrl(), "u2");
}

TEST(TaskList, AttachRunsOncePerKeptTaskWithTheFolders) {
  TempDir dir;
  CTaskList list;
  std::vector<std::string> seen;
  dir.Write("tasks.xml", std::string(kHead) +
                             "<Task><Url>a</Url></Task><Task><Url>A</Url></Task>"
                             "<Task><Url>b</Url></Task></TaskList>");
  ASSERT_TRUE(list.LoadTasks(dir.File("tasks.xml"), "items/", "prices/",
                             [&](CTask& task, const std::string& items, const std::string& prices) {
                               seen.push_back(task.GetUrl() + " " + items + " " + prices);
                             }));
  EXPECT_EQ(seen, (std::vector<std::string>{"a items/ prices/", "b items/ prices/"}));
}

TEST(TaskList, AFileThatCannotBeLoadedIsKeptAsideAndSurvivesTheNextSave) {
  const std::string corrupt = std::string(kHead) + "<Task><Url>precious</Url></Task>\x01<Task>";
  struct Case {
    const char* what;
    std::string bytes;
  } const cases[] = {
      {"truncated", corrupt},
      {"two roots", std::string(kHead) + "</TaskList><TaskList></TaskList>"},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    CTaskList list;
    EXPECT_FALSE(LoadText(list, dir, c.bytes)) << c.what;
    EXPECT_EQ(list.GetCount(), 0) << c.what;
    list.AddTask(MakeTask("new"));
    ASSERT_TRUE(list.SaveTasks(dir.File("tasks.xml"))) << c.what;
    ASSERT_FALSE(list.SetAsideFile().empty()) << c.what;
    EXPECT_EQ(ReadFile(list.SetAsideFile()), c.bytes) << c.what;
    EXPECT_NE(dir.Read("tasks.xml").find("<Url>new</Url>"), std::string::npos) << c.what;
  }
}

TEST(TaskList, AMissingFileIsNoTaskListAndNothingIsKeptAside) {
  TempDir dir;
  CTaskList list;
  EXPECT_FALSE(list.LoadTasks(dir.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(list.SetAsideFile(), "");
}

TEST(TaskList, AFailedSaveLeavesTheOldFile) {
  TempDir dir;
  CTaskList list;
  list.AddTask(MakeTask("u"));
  EXPECT_FALSE(list.SaveTasks(dir.File("no/such/folder/tasks.xml")));
  dir.Write("tasks.xml", "old");
  ASSERT_EQ(chmod(dir.Path().c_str(), 0500), 0);
  bool saved = list.SaveTasks(dir.File("tasks.xml"));
  chmod(dir.Path().c_str(), 0700);
  if (geteuid() != 0) {
    EXPECT_FALSE(saved);
  }
  if (!saved) {
    EXPECT_EQ(dir.Read("tasks.xml"), "old");
  }
}

// Passes on several threads change tasks and save at once; the file always
// ends up complete and holding every task.
TEST(TaskList, ConcurrentPassesAndSaves) {
  TempDir dir;
  CTaskList list;
  for (int i = 0; i < 20; ++i) list.AddTask(MakeTask("u" + std::to_string(i)));
  std::vector<std::thread> passes;
  for (int t = 0; t < 4; ++t) {
    passes.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        TaskPtr task = list.TaskAt((t * 7 + i) % 20);
        task->SetCurrentPrice(std::to_string(i) + ".00");
        task->SetLastUpdate("2013-01-01 00:00:0" + std::to_string(t));
        list.SaveTasks(dir.File("tasks.xml"));
      }
    });
  }
  for (auto& p : passes) p.join();
  CTaskList again;
  ASSERT_TRUE(again.LoadTasks(dir.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(again.GetCount(), 20);
  EXPECT_EQ(again.ToFileText(), list.ToFileText());
}

}  // namespace

TEST(TaskList, FailureAndFirstLookElementsAreWrittenOnlyWhenSet) {
  TempDir dir;
  CTaskList list;
  TaskPtr failing = MakeTask("http://shop.example/1");
  failing->AddFailure("2026-01-02 03:04:05", Gbk("连接超时"));
  failing->AddFailure("2026-01-02 04:04:05", "HTTP 503");
  CTaskValues v;
  v.url = "http://shop.example/2";
  v.unobserved = true;
  list.AddTask(failing);
  list.AddTask(std::make_shared<CTask>(v));
  list.AddTask(MakeTask("http://shop.example/3"));
  ASSERT_TRUE(list.SaveTasks(dir.File("tasks.xml")));
  const std::string saved = dir.Read("tasks.xml");
  EXPECT_NE(saved.find("<GotoUrl></GotoUrl><FailCount>2</FailCount><FailTime>2026-01-02 "
                       "04:04:05</FailTime><FailReason>HTTP 503</FailReason></Task>"),
            std::string::npos);
  EXPECT_NE(saved.find("<GotoUrl></GotoUrl><Unobserved>true</Unobserved></Task>"),
            std::string::npos);
  EXPECT_NE(saved.find("<GotoUrl></GotoUrl></Task></TaskList>"), std::string::npos);

  CTaskList again;
  ASSERT_TRUE(again.LoadTasks(dir.File("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(again.GetCount(), 3);
  EXPECT_EQ(again.TaskAt(0)->GetFailCount(), 2);
  EXPECT_EQ(again.TaskAt(0)->GetFailReason(), "HTTP 503");
  EXPECT_EQ(again.TaskAt(0)->GetFailTime(), "2026-01-02 04:04:05");
  EXPECT_TRUE(again.TaskAt(1)->GetUnobserved());
  EXPECT_FALSE(again.TaskAt(2)->GetUnobserved());
  EXPECT_EQ(again.TaskAt(2)->GetFailCount(), 0);

  // A hand-edited count that is no count reads as none.
  for (const char* count : {"-3", "x", "7x", "99999999999"}) {
    SCOPED_TRACE(count);
    CTaskList edited;
    ASSERT_TRUE(LoadText(edited, dir,
                         std::string(kHead) + "<Task><Url>u</Url><FailCount>" + count +
                             "</FailCount></Task></TaskList>"));
    EXPECT_EQ(edited.TaskAt(0)->GetFailCount(), 0);
  }
}
