// Importing the account's tasks from the server and uploading the list:
// counters, the progress reports, and stopping when the window is gone.
#include <atomic>
#include <string>
#include <vector>

#include "../engine/productfiles_fixture.h"
#include "services/account.h"
#include "services/taskimport.h"
#include "services/taskupload.h"
#include "support/fake_account_server.h"

// Found by argument lookup, so outside the unnamed namespace.
bool operator==(const CTaskImportStatus& a, const CTaskImportStatus& b) {
  return a.total == b.total && a.completed == b.completed && a.alreadyPresent == b.alreadyPresent &&
         a.failed == b.failed;
}
std::ostream& operator<<(std::ostream& out, const CTaskImportStatus& s) {
  return out << "{" << s.total << "," << s.completed << "," << s.alreadyPresent << "," << s.failed
             << "}";
}

namespace {

class TaskSyncTest : public ProductFilesFixture {
 protected:
  TaskSyncTest() {
    account.AddAccount(kLin.username, kLin.password, kLin.nickname);
    account.PointProgramAt();
    ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  }

  TaskPtr Task(int n, int status = 1) {
    CTaskValues v;
    v.url = shop.Link("/item/" + std::to_string(n) + ".html");
    v.productName = "Kettle " + std::to_string(n);
    v.productId = std::to_string(n);
    v.siteDomain = shop.Host();
    v.imageLink = shop.Link("/p.png");
    v.status = status;
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    v.currentPrice = "9.00";
    return std::make_shared<CTask>(v);
  }

  // Records every report and answers `answer` from the `stopAfter`-th on.
  SyncProgress Recorder(std::vector<CTaskImportStatus>& seen, int stopAfter = 1 << 30) {
    return [&seen, stopAfter](const CTaskImportStatus& status) {
      seen.push_back(status);
      return static_cast<int>(seen.size()) < stopAfter;
    };
  }

  const CAccount kLin{"lin@example.com", EncodePassword("secret"), "Lin"};
  FakeAccountServer account;
};

TEST_F(TaskSyncTest, ImportSkipsTasksAlreadyInTheList) {
  for (int n : {1, 2, 3}) account.StoreTask(kLin.username, Task(n)->GetUrl(), Task(n)->ToXml());
  ASSERT_TRUE(tasks.AddTask(Task(2)));
  std::vector<CTaskImportStatus> seen;
  CTaskImportStatus last;
  {
    CAddWorkers workers(Environment());
    last = ImportServerTasks(kLin, workers, Recorder(seen));
  }
  std::vector<CTaskImportStatus> expected = {{3, 1, 0, 0}, {3, 1, 1, 0}, {3, 2, 1, 0}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(last, expected.back());
  ASSERT_EQ(tasks.GetCount(), 3);
  // Imported tasks came through the add pipeline: "import" rows with pictures.
  for (int index : {1, 2}) {
    TaskPtr task = tasks.TaskAt(index);
    EXPECT_EQ(SentPicture(task), ProductPicturePath(*task)) << index;
    EXPECT_TRUE(tracker->IsScheduled(task->GetUrl()));
  }
  EXPECT_EQ(tasks.TaskAt(1)->GetProductName(), "Kettle 1");
  for (const RecordedEvent& event : events.Named("UpdateData")) EXPECT_EQ(event.addMode, "import");
}

TEST_F(TaskSyncTest, ImportOfNothing) {
  std::vector<CTaskImportStatus> seen;
  // Logged out, an empty server and an unreachable one all give one report of zeros.
  ImportServerTasks(
      CAccount(), [](const TaskPtr&) { return true; }, Recorder(seen));
  ImportServerTasks(
      kLin, [](const TaskPtr&) { return true; }, Recorder(seen));
  account.Reply("task", "garbage <Task");
  ImportServerTasks(
      kLin, [](const TaskPtr&) { return true; }, Recorder(seen));
  EXPECT_EQ(seen, std::vector<CTaskImportStatus>(3, CTaskImportStatus{}));
}

TEST_F(TaskSyncTest, ImportCountsUnreadableRecordsAsFailed) {
  // Two records counted, one of them without a link, and one cut off.
  account.Reply("task",
                "<TaskList><Task><Url>http://a.example/1</Url></Task><Task><Name>x"
                "</Name></Task><Task><Url>http://a.example/2");
  std::vector<CTaskImportStatus> seen;
  std::vector<std::string> offered;
  CTaskImportStatus last = ImportServerTasks(
      kLin,
      [&offered](const TaskPtr& task) {
        offered.push_back(task->GetUrl());
        return true;
      },
      Recorder(seen));
  EXPECT_EQ(last.total, 3);
  EXPECT_EQ(last.completed + last.alreadyPresent + last.failed, 3);  // the window can finish
  EXPECT_GE(last.failed, 1);
  for (const std::string& url : offered) EXPECT_FALSE(url.empty());
}

TEST_F(TaskSyncTest, ImportStopsWhenTheWindowIsGone) {
  for (int n : {1, 2, 3}) account.StoreTask(kLin.username, Task(n)->GetUrl(), Task(n)->ToXml());
  std::vector<CTaskImportStatus> seen;
  int offers = 0;
  ImportServerTasks(
      kLin,
      [&offers](const TaskPtr&) {
        ++offers;
        return true;
      },
      Recorder(seen, 1));
  EXPECT_EQ(offers, 1);
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(TaskSyncTest, UploadCountsRepliesAndSkipsPausedTasks) {
  std::vector<TaskPtr> list = {Task(1), Task(2, 0), Task(3), Task(4)};
  for (const TaskPtr& task : list) tasks.AddTask(task);
  account.StoreTask(kLin.username, list[2]->GetUrl(), list[2]->ToXml());
  std::vector<CTaskImportStatus> seen;
  // The fourth task's request fails: the server is told to answer nonsense
  // once three requests arrived.
  CTaskImportStatus last = UploadTasks(
      list,
      [this](const CTask& task) {
        if (account.Requests("task") == 2) account.Reply("task", "10001");
        return ServerTaskAdd(kLin, task);
      },
      Recorder(seen));
  std::vector<CTaskImportStatus> expected = {
      {4, 1, 0, 0}, {4, 1, 0, 0}, {4, 1, 1, 0}, {4, 1, 1, 1}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(last, expected.back());
  // One short of the total: the window never shows the finish text.
  EXPECT_LT(last.completed + last.alreadyPresent + last.failed, last.total);
  EXPECT_EQ(account.StoredUrls(kLin.username),
            (std::vector<std::string>{list[2]->GetUrl(), list[0]->GetUrl()}));
  EXPECT_EQ(account.StoredRecord(kLin.username, list[0]->GetUrl()), list[0]->ToXml());
}

TEST_F(TaskSyncTest, UploadOfTheListAndItsEnds) {
  std::vector<CTaskImportStatus> seen;
  UploadTasks(kLin, tasks, Recorder(seen));  // no tasks: one report of zeros
  EXPECT_EQ(seen, std::vector<CTaskImportStatus>{CTaskImportStatus{}});

  for (int n : {1, 2, 3}) tasks.AddTask(Task(n));
  seen.clear();
  UploadTasks(kLin, tasks, Recorder(seen, 2));  // the window closes after two
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(account.StoredUrls(kLin.username).size(), 2u);

  // Unreachable server: every task failed.
  account.Reply("task", "");
  seen.clear();
  CTaskImportStatus last = UploadTasks(kLin, tasks, Recorder(seen));
  EXPECT_EQ(last, (CTaskImportStatus{3, 0, 0, 3}));
}

TEST_F(TaskSyncTest, SinkReportsAndStopsTheWorkers) {
  for (int n : {1, 2}) tasks.AddTask(Task(n));
  UploadTasks(kLin, tasks, events);
  EXPECT_EQ(events.Count("UpdateDataTaskUploadDlg"), 2u);
  events.SetProgressAnswer(false);
  UploadTasks(kLin, tasks, events);
  EXPECT_EQ(events.Count("UpdateDataTaskUploadDlg"), 3u);
  // The server now holds tasks 1 and 2 and then 5; the import stops after
  // the first, which the list has already.
  account.StoreTask(kLin.username, Task(5)->GetUrl(), Task(5)->ToXml());
  {
    CAddWorkers workers(Environment());
    ImportServerTasks(kLin, workers, events);
  }
  ASSERT_EQ(events.Count("UpdateDataTaskImportDlg"), 1u);
  EXPECT_EQ(events.Named("UpdateDataTaskImportDlg")[0].status, (CTaskImportStatus{3, 0, 1, 0}));
  EXPECT_EQ(tasks.GetCount(), 2);
}

TEST_F(TaskSyncTest, WorkerStopsAtTheNextTask) {
  for (int n = 1; n <= 50; ++n) tasks.AddTask(Task(n));
  std::atomic<int> reports{0};
  std::atomic<bool> finished{false};
  CTaskImportStatus last;
  {
    CAccountWorker worker(
        [this](const SyncProgress& progress) { return UploadTasks(kLin, tasks, progress); },
        [&reports](const CTaskImportStatus&) { return ++reports < 1000; },
        [&](const CTaskImportStatus& status) {
          last = status;
          finished = true;
        });
    while (reports == 0) std::this_thread::yield();
    worker.Stop();
    worker.Wait();
    EXPECT_TRUE(worker.Stopped());
  }
  EXPECT_TRUE(finished);
  // At most the task in flight when Stop came was still sent.
  EXPECT_LE(account.Requests("task"), reports + 1);
  EXPECT_LT(account.Requests("task"), 50);
  EXPECT_EQ(last.total, 50);
}

}  // namespace
