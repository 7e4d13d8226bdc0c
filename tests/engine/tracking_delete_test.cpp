// Deleting tasks while their passes run: the pass may finish, nothing it
// holds is freed under it, and nothing about the deleted task is reported
// or written. Run under ThreadSanitizer too (-DVANTREL_TSAN=ON).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tracking_fixture.h"

namespace {

constexpr std::chrono::milliseconds kPatience{10000};

class TrackingDeleteTest : public TrackingFixture {
 protected:
  // Product pages that answer only when the test releases them, with a
  // dropped price.
  void HoldPages(const std::string& path) {
    shop.Serve(path, [this](const ShopRequest&) {
      {
        std::lock_guard lock(m_lock);
        ++m_entered;
      }
      m_enteredChanged.notify_all();
      m_released.wait();
      return MakeReply(ProductPage("89.00", "0", "sold out"));
    });
  }
  bool WaitEntered(int count) {
    std::unique_lock lock(m_lock);
    return m_enteredChanged.wait_for(lock, kPatience, [&] { return m_entered >= count; });
  }
  void Release() {
    if (!m_releasedOnce.exchange(true)) m_release.set_value();
  }

  // What the main window's delete does, in its order.
  void DeleteTask(CTracker& tracker, TaskPtr& task) {
    tracker.UnscheduleTask(task->GetUrl());
    task->SetAddMode("del");
    tasks.RemoveTaskAt(task);
    DeleteFile(HistoryPath(*task));
    task.reset();
  }

  ~TrackingDeleteTest() override {
    // A failed test must not leave passes waiting for the shop, or the
    // tracker would wait for them for ever.
    Release();
    tracker.reset();
  }

  std::unique_ptr<CTracker> tracker;

 private:
  std::mutex m_lock;
  std::condition_variable m_enteredChanged;
  int m_entered = 0;
  std::promise<void> m_release;
  std::shared_future<void> m_released = m_release.get_future().share();
  std::atomic<bool> m_releasedOnce{false};
};

TEST_F(TrackingDeleteTest, PassOfADeletedTaskReportsAndWritesNothing) {
  HoldPages("/item/1.html");
  HoldPages("/item/2.html");
  TaskPtr doomed = AddTask(Values("/item/1.html"));
  TaskPtr kept = AddTask(Values("/item/2.html"));
  kept->SetProductID("2002");
  std::weak_ptr<CTask> watch = doomed;
  const std::string doomedUrl = doomed->GetUrl();
  const std::string doomedHistory = HistoryPath(*doomed);
  tracker = MakeTracker();
  tracker->ScheduleAllTasks();
  ASSERT_TRUE(WaitEntered(2));

  DeleteTask(*tracker, doomed);
  EXPECT_FALSE(watch.expired()) << "the running pass holds the task";
  Release();
  ASSERT_TRUE(tracker->Queue().WaitIdle(kPatience));

  EXPECT_TRUE(watch.expired());
  for (const RecordedEvent& event : events.Events()) EXPECT_NE(event.url, doomedUrl);
  EXPECT_FALSE(FileExists(doomedHistory));
  // The other task's pass went through.
  EXPECT_EQ(events.Count("UpdateChangeData"), 1u);
  EXPECT_EQ(kept->GetCurrentPrice(), "89.00");
  EXPECT_EQ(HistoryPoints(*kept), 1);
  tracker->FlushTaskFile();
  const std::string saved = home.Read("tasks.xml");
  EXPECT_EQ(saved.find(doomedUrl), std::string::npos);
  EXPECT_NE(saved.find(kept->GetUrl()), std::string::npos);
}

TEST_F(TrackingDeleteTest, ManyPassesWhileTasksComeAndGo) {
  constexpr int kTasks = 24;
  std::vector<TaskPtr> all;
  for (int i = 0; i < kTasks; ++i) {
    const std::string path = "/item/" + std::to_string(i) + ".html";
    HoldPages(path);
    CTaskValues v = Values(path);
    v.productId = std::to_string(i);
    all.push_back(AddTask(v));
  }
  tracker = MakeTracker({0, 0}, 6);
  tracker->ScheduleAllTasks();
  // One shop: only its share of the workers enters at once.
  ASSERT_TRUE(WaitEntered(static_cast<int>(CPassGate::kDefaultPerHost)));
  // Every other task goes while the first passes hang and the rest wait.
  std::vector<std::string> deleted;
  for (int i = 0; i < kTasks; i += 2) {
    deleted.push_back(all[i]->GetUrl());
    DeleteTask(*tracker, all[i]);
  }
  Release();
  ASSERT_TRUE(tracker->Queue().WaitIdle(kPatience));
  EXPECT_LE(tracker->Queue().ThreadCount(), 7u);

  for (const RecordedEvent& event : events.Events())
    for (const std::string& url : deleted) EXPECT_NE(event.url, url);
  EXPECT_EQ(events.Count("UpdateData"), static_cast<size_t>(kTasks / 2));
  for (int i = 1; i < kTasks; i += 2) EXPECT_EQ(all[i]->GetCurrentStock(), 0);
  EXPECT_EQ(tasks.GetCount(), kTasks / 2);
}

TEST_F(TrackingDeleteTest, DestroyingTheTrackerWaitsForRunningPasses) {
  HoldPages("/item/1.html");
  TaskPtr task = AddTask(Values());
  tracker = MakeTracker();
  tracker->ScheduleAllTasks();
  ASSERT_TRUE(WaitEntered(1));
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    tracker.reset();
    destroyed = true;
  });
  // The pass is stuck in its fetch; the tracker can't be gone yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  Release();
  destroyer.join();
  EXPECT_TRUE(destroyed);
  // The pass ran to its end before the tracker went.
  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
  EXPECT_EQ(events.Count("UpdateData"), 1u);
}

}  // namespace
