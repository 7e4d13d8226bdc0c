#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/codepage.h"
#include "base/filelock.h"
#include "base/files.h"
#include "engine/tasklist.h"
#include "support/lockholder.h"
#include "support/tempdir.h"

namespace {

const char kHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";

TaskPtr MakeTask(const std::string& url) {
  CTaskValues v;
  v.url = url;
  v.productName = "n";
  v.siteDomain = "shop.example";
  v.currentPrice = "1.00";
  return std::make_shared<CTask>(v);
}

std::vector<std::string> Urls(const CTaskList& list) {
  std::vector<std::string> urls;
  for (const TaskPtr& task : list.Tasks()) urls.push_back(task->GetUrl());
  return urls;
}

std::vector<std::string> FileUrls(const std::string& path) {
  CTaskList list;
  EXPECT_TRUE(list.LoadTasks(path, "", "", nullptr));
  return Urls(list);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool Load(CTaskList& list, const std::string& path) {
  return list.LoadTasks(path, "", "", nullptr);
}

TEST(TaskFileAside, TwoIncidentsKeepBothOldFilesReadable) {
  TempDir dir;
  const std::string path = dir.File("tasks.xml");
  SetClockForTesting([] { return std::time_t{1400000000}; });
  const std::string first = std::string(kHead) + "<Task><Url>one</Url></Task>\x01<Task>";
  const std::string second = std::string(kHead) + "<Task><Url>two</Url>";
  std::vector<std::string> asides;
  for (const std::string& bytes : {first, second}) {
    dir.Write("tasks.xml", bytes);
    CTaskList list;
    EXPECT_FALSE(Load(list, path));
    asides.push_back(list.SetAsideFile());
    list.AddTask(MakeTask("new"));
    EXPECT_TRUE(list.SaveTasks(path));
  }
  SetClockForTesting(nullptr);
  ASSERT_EQ(asides.size(), 2u);
  EXPECT_NE(asides[0], asides[1]);  // same second: the counter tells them apart
  EXPECT_EQ(asides[0].rfind(path + ".bad-", 0), 0u) << asides[0];
  EXPECT_EQ(ReadFile(asides[0]), first);
  EXPECT_EQ(ReadFile(asides[1]), second);
  EXPECT_EQ(FileUrls(path), std::vector<std::string>{"new"});
}

TEST(TaskFileAside, ASaveNeverReplacesAFileItDidNotLoad) {
  TempDir dir;
  const std::string path = dir.File("tasks.xml");
  CTaskList list;  // nothing loaded: the file appears afterwards, unreadable
  list.AddTask(MakeTask("mine"));
  dir.Write("tasks.xml", "<TaskList><Task><Url>theirs</Url>");
  ASSERT_TRUE(list.SaveTasks(path));
  ASSERT_FALSE(list.SetAsideFile().empty());
  EXPECT_EQ(ReadFile(list.SetAsideFile()), "<TaskList><Task><Url>theirs</Url>");
  EXPECT_EQ(FileUrls(path), std::vector<std::string>{"mine"});
}

TEST(TaskFileText, NonAsciiFieldsReadBackByteIdentical) {
  TempDir dir;
  const std::string path = dir.File("tasks.xml");
  CTaskValues v;
  v.url = Utf8ToLocal("http://shop.example/s?kw=手机&p=1");
  v.imageLink = Utf8ToLocal("http://img.example/图.jpg");
  v.siteDomain = Utf8ToLocal("商城.example");
  v.currentPrice = "1.00";
  v.targetPrice = Utf8ToLocal("９");
  CTaskList list;
  list.AddTask(std::make_shared<CTask>(v));
  ASSERT_TRUE(list.SaveTasks(path));
  EXPECT_TRUE(IsValidUtf8(ReadFile(path)));
  CTaskList again;
  ASSERT_TRUE(Load(again, path));
  const CTaskValues back = again.TaskAt(0)->GetValues();
  EXPECT_EQ(back.url, v.url);
  EXPECT_EQ(back.imageLink, v.imageLink);
  EXPECT_EQ(back.siteDomain, v.siteDomain);
  EXPECT_EQ(back.targetPrice, v.targetPrice);
  // Adding the link again finds the task instead of making a duplicate.
  EXPECT_FALSE(again.AddTask(MakeTask(v.url)));
}

TEST(TaskFileText, OlderFilesWithLocalBytesInLinksStillRead) {
  TempDir dir;
  // Older programs wrote links as local bytes and names as UTF-8.
  dir.Write("tasks.xml", std::string(kHead) + "<Task><Url>http://s/?kw=" + Utf8ToLocal("手机") +
                             "</Url><ProductName>手机</ProductName></Task></TaskList>");
  CTaskList list;
  ASSERT_TRUE(Load(list, dir.File("tasks.xml")));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.TaskAt(0)->GetUrl(), "http://s/?kw=" + Utf8ToLocal("手机"));
  EXPECT_EQ(list.TaskAt(0)->GetProductName(), Utf8ToLocal("手机"));
}

// Two lists on one file stand for two processes.
struct Sharing : ::testing::Test {
  TempDir dir;
  std::string path = dir.File("tasks.xml");
  CTaskList here, there;
  void SetUp() override {
    CTaskList first;
    for (const char* url : {"a", "b", "c"}) first.AddTask(MakeTask(url));
    ASSERT_TRUE(first.SaveTasks(path));
    ASSERT_TRUE(Load(here, path));
    ASSERT_TRUE(Load(there, path));
  }
};

TEST_F(Sharing, AddsAndDeletesOfBothSidesAreKept) {
  there.AddTask(MakeTask("x"));
  there.RemoveTaskAt(there.FindByUrl("b"));
  ASSERT_TRUE(there.SaveTasks(path));
  here.AddTask(MakeTask("y"));
  here.RemoveTaskAt(here.FindByUrl("c"));
  ASSERT_TRUE(here.SaveTasks(path));
  EXPECT_EQ(FileUrls(path), (std::vector<std::string>{"a", "y", "x"}));
  ASSERT_TRUE(there.SaveTasks(path));  // "c" deleted here must not come back
  EXPECT_EQ(FileUrls(path), (std::vector<std::string>{"a", "x", "y"}));
}

TEST_F(Sharing, FieldsChangedOnEachSideAreBothKept) {
  there.FindByUrl("a")->SetProductName("renamed");
  there.FindByUrl("b")->SetCurrentPrice("2.00");
  there.FindByUrl("c")->SetCurrentStock(-1);
  ASSERT_TRUE(there.SaveTasks(path));
  here.FindByUrl("a")->SetCurrentPrice("3.00");
  here.FindByUrl("b")->SetCurrentPrice("4.00");  // changed on both: the saver's value
  ASSERT_TRUE(here.SaveTasks(path));
  CTaskList file;
  ASSERT_TRUE(Load(file, path));
  EXPECT_EQ(file.FindByUrl("a")->GetProductName(), "renamed");
  EXPECT_EQ(file.FindByUrl("a")->GetCurrentPrice(), "3.00");
  EXPECT_EQ(file.FindByUrl("b")->GetCurrentPrice(), "4.00");
  EXPECT_EQ(here.FindByUrl("a")->GetProductName(), "renamed");
  EXPECT_EQ(here.FindByUrl("c")->GetCurrentStock(), -1);
}

TEST_F(Sharing, ATaskDeletedElsewhereIsGoneEvenWhenChangedHere) {
  std::vector<std::string> told;
  here.SetMergeListener(
      [&](const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed) {
        told.push_back(std::to_string(added.size()) + " " + std::to_string(removed.size()));
      });
  there.RemoveTaskAt(there.FindByUrl("a"));
  there.AddTask(MakeTask("x"));
  ASSERT_TRUE(there.SaveTasks(path));
  TaskPtr a = here.FindByUrl("a");
  a->SetCurrentPrice("9.00");
  // A pass asks before it writes the task's history files.
  EXPECT_TRUE(here.Refresh(path));
  EXPECT_EQ(here.IndexOf(a.get()), -1);
  EXPECT_FALSE(here.Refresh(path));
  ASSERT_TRUE(here.SaveTasks(path));
  EXPECT_EQ(FileUrls(path), (std::vector<std::string>{"b", "c", "x"}));
  EXPECT_EQ(told, std::vector<std::string>{"1 1"});
}

// A process stopped while it holds tasks.xml.lock: the others read, and a
// save gives up in time, names it and keeps the change for the next save.
TEST_F(Sharing, ALockHeldElsewhereBlocksNoReaderAndLosesNoChange) {
  LockHolder other(path + ".lock");
  ASSERT_TRUE(other.Holding());
  SetFileLockPatience(std::chrono::milliseconds(200));
  CTaskList reader;
  EXPECT_TRUE(Load(reader, path));
  EXPECT_FALSE(reader.Refresh(path));
  here.AddTask(MakeTask("x"));
  EXPECT_FALSE(here.SaveTasks(path));
  EXPECT_EQ(here.LastLockHolder(), other.Pid());
  EXPECT_NE(SaveTasksFailedText(here).find(std::to_string(other.Pid())), std::string::npos);
  other.Release();
  EXPECT_TRUE(here.SaveTasks(path));
  EXPECT_EQ(FileUrls(path), (std::vector<std::string>{"a", "b", "c", "x"}));
  SetFileLockPatience(std::chrono::seconds(10));
}

}  // namespace
