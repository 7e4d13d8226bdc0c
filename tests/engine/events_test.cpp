// Events without a window: the dispatcher's order, waiting and dropping, the
// recording sink's waiting, and the printed lines.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "base/message.h"
#include "engine/events_print.h"
#include "engine/events_queue.h"
#include "engine/events_record.h"
#include "engine/task.h"
#include "engine/tracking.h"

namespace {

using std::chrono::milliseconds;

TaskPtr MakeTask(const std::string& url) {
  CTaskValues v;
  v.url = url;
  v.productName = "Kettle";
  v.currentPrice = "89.00";
  v.currentStock = 1;
  v.trackPrice = v.trackStock = v.priceDown = true;
  return std::make_shared<CTask>(v);
}

// Notes the thread and the order of what it handles; Send* hang until
// released when asked to.
class ThreadNotingSink : public CRecordingEventSink {
 public:
  void PostUpdateData(const std::shared_ptr<CTask>& task, const std::string& path) override {
    Note();
    CRecordingEventSink::PostUpdateData(task, path);
  }
  void SendUpdateData(const std::shared_ptr<CTask>& task, const std::string& path) override {
    Note();
    sending = true;
    if (hold) released.wait();
    CRecordingEventSink::SendUpdateData(task, path);
  }
  bool SendImportProgress(const CTaskImportStatus& status) override {
    Note();
    if (reenter) reenter->SendUploadProgress(status);
    return CRecordingEventSink::SendImportProgress(status);
  }
  std::set<std::thread::id> threads;
  bool hold = false;
  std::atomic<bool> sending{false};
  std::shared_future<void> released;
  EventSink* reenter = nullptr;

 private:
  void Note() {
    std::lock_guard lock(m_lock);
    threads.insert(std::this_thread::get_id());
  }
  std::mutex m_lock;
};

TEST(EventDispatcherTest, PostedEventsKeepTheirOrderOnOneThread) {
  ThreadNotingSink target;
  {
    CEventDispatcher dispatcher(target);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
      posters.emplace_back([&dispatcher, t] {
        for (int i = 0; i < 50; ++i)
          dispatcher.PostUpdateData(MakeTask("http://t" + std::to_string(t)), std::to_string(i));
      });
    for (auto& poster : posters) poster.join();
    dispatcher.Flush();
    EXPECT_EQ(target.Count("UpdateData"), 200u);
  }
  EXPECT_EQ(target.threads.size(), 1u);
  EXPECT_EQ(target.threads.count(std::this_thread::get_id()), 0u);
  // Each poster's events in the order it posted them.
  std::map<std::string, int> next;
  for (const RecordedEvent& event : target.Events()) {
    EXPECT_EQ(event.text, std::to_string(next[event.url]++));
    EXPECT_FALSE(event.sent);
  }
}

TEST(EventDispatcherTest, SendReturnsOnlyOnceHandled) {
  ThreadNotingSink target;
  std::promise<void> release;
  target.hold = true;
  target.released = release.get_future().share();
  CEventDispatcher dispatcher(target);
  std::atomic<bool> returned{false};
  std::thread sender([&] {
    dispatcher.SendUpdateData(MakeTask("http://a"), "");
    returned = true;
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(returned);
  release.set_value();
  sender.join();
  EXPECT_TRUE(returned);
  ASSERT_EQ(target.Count(), 1u);
  EXPECT_TRUE(target.Events()[0].sent);
}

TEST(EventDispatcherTest, SendFromAHandlerDoesNotWaitForItself) {
  ThreadNotingSink target;
  CEventDispatcher dispatcher(target);
  target.reenter = &dispatcher;
  target.SetProgressAnswer(false);
  EXPECT_FALSE(dispatcher.SendImportProgress({3, 1, 0, 0}));
  EXPECT_EQ(target.Count("UpdateDataTaskUploadDlg"), 1u);
  EXPECT_EQ(target.Named("UpdateDataTaskImportDlg")[0].status.total, 3);
}

TEST(EventDispatcherTest, PostedEventsAboutADeletedTaskAreDropped) {
  ThreadNotingSink target;
  std::promise<void> release;
  target.hold = true;
  target.released = release.get_future().share();
  TaskPtr task = MakeTask("http://gone");
  {
    CEventDispatcher dispatcher(target);
    std::thread blocker([&] { dispatcher.SendUpdateData(MakeTask("http://first"), ""); });
    while (!target.sending) std::this_thread::yield();
    // Queued behind the hanging send; the task is deleted before they run.
    dispatcher.PostUpdateData(task, "");
    dispatcher.PostUpdateChangeData(task);
    dispatcher.PlaySound("ding.wav");
    task->SetAddMode("del");
    release.set_value();
    blocker.join();
  }  // the dispatcher handles what is queued before it goes
  EXPECT_EQ(target.Count("UpdateData"), 1u);
  EXPECT_EQ(target.Count("UpdateChangeData"), 0u);
  EXPECT_EQ(target.Count("Sound"), 1u);
}

TEST(RecordingSinkTest, WaitsForEventsFromOtherThreads) {
  CRecordingEventSink sink;
  EXPECT_FALSE(sink.WaitForCount(1, milliseconds(10)));
  std::thread poster([&] {
    sink.PlaySound("a.wav");
    sink.ShowChangePopup("text", "http://u", "http://g", DealNote{});
  });
  EXPECT_TRUE(sink.WaitForCount(1, milliseconds(10000), "Popup"));
  poster.join();
  EXPECT_EQ(sink.Count(), 2u);
  RecordedEvent popup = sink.Named("Popup")[0];
  EXPECT_EQ(popup.text, "text");
  EXPECT_EQ(popup.gotoUrl, "http://g");
}

TEST(RecordingSinkTest, KeepsTheTaskFieldsOfTheMoment) {
  CRecordingEventSink sink;
  TaskPtr task = MakeTask("http://a");
  task->SetPriceState("down");
  sink.PostUpdateData(task, "pic");
  task->SetPriceState("up");
  task->SetCurrentPrice("95.00");
  RecordedEvent event = sink.Events()[0];
  EXPECT_EQ(event.priceState, "down");
  EXPECT_EQ(event.currentPrice, "89.00");
  EXPECT_EQ(event.text, "pic");
  EXPECT_EQ(event.task, task);
}

TEST(PrintingSinkTest, TaskLineColumns) {
  TaskPtr task = MakeTask("http://shop.example/1\thtml");
  task->SetProductName(Utf8ToLocal("电水壶"));
  task->SetPriceState("down");
  task->SetStockState("change");
  task->SetCurrentStock(-1);
  EXPECT_EQ(CPrintingEventSink::TaskLine("2024-01-02 03:04:05", "UpdateChangeData", *task),
            "2024-01-02 03:04:05\tUpdateChangeData\thttp://shop.example/1\\thtml\tdown\tchange\t"
            "89.00\t-1\t电水壶价格变为89.00库存变为不确定");
  CTask fresh;
  EXPECT_EQ(CPrintingEventSink::TaskLine("t", "UpdateData", fresh),
            "t\tUpdateData\t-\t-\t-\t-\t0\t-");
}

TEST(PrintingSinkTest, PrintsOneLinePerEvent) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  CPrintingEventSink sink(out);
  sink.PostUpdateData(MakeTask("http://a"), "");
  sink.ShowChangePopup(Utf8ToLocal("降价\n了"), "http://a", "", DealNote{});
  sink.PlaySound("/p/ding.wav");
  EXPECT_TRUE(sink.SendUploadProgress({5, 2, 1, 0}));
  EXPECT_EQ(sink.ShowMessage(57692, kMessageInfo), IDOK);
  EXPECT_EQ(sink.ShowMessage(57692, kMessageQuestion), IDNO);
  auto judged = MakeTask("http://a");
  judged->SetDealNote({DealNote::Kind::kLow, Utf8ToLocal("近90天最低"), true});
  sink.PostUpdateChangeData(judged);
  std::rewind(out);
  std::vector<std::string> lines;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, out)) lines.push_back(buffer);
  std::fclose(out);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[0].find("\tUpdateData\thttp://a\t-\t-\t89.00\t1\t-\n"), std::string::npos);
  EXPECT_NE(lines[1].find("\tPopup\thttp://a\t-\t-\t-\t-\t降价\\n了\n"), std::string::npos);
  EXPECT_NE(lines[2].find("\tSound\t-\t-\t-\t-\t-\t/p/ding.wav\n"), std::string::npos);
  EXPECT_NE(lines[3].find("\tUpdateDataTaskUploadDlg\t-\t-\t-\t-\t-\t5/2/1/0\n"),
            std::string::npos);
  EXPECT_NE(lines[4].find("\tMessage\t-\t-\t-\t-\t-\t保存任务文件失败！\n"), std::string::npos);
  EXPECT_NE(lines[7].find("\tVerdict\thttp://a\t-\t-\t-\t-\t近90天最低\n"), std::string::npos);
}

TEST(EventDispatcherTest, MessagesWaitForTheAnswer) {
  CRecordingEventSink target;
  CEventDispatcher dispatcher(target);
  EXPECT_EQ(dispatcher.ShowMessage(57721, kMessageInfo), IDOK);
  ASSERT_EQ(target.Count("Message"), 1u);
  EXPECT_EQ(target.Named("Message")[0].text, "57721");
}

}  // namespace
