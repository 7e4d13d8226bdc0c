// A shop that never answers holds at most its share of the workers: passes
// of other shops go on, and a task's pass never stacks on its own.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/passgate.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "tracking_fixture.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class TrackingHostsTest : public TrackingFixture {
 protected:
  // A hung pass ends well after the good one must have.
  ShortSpiderTimeouts m_timeouts{SpiderTimeouts{2000, 6}};
};

TEST_F(TrackingHostsTest, AHungShopLeavesWorkersForTheOthers) {
  auto hung = std::make_unique<RawHttpServer>();
  for (int i = 0; i < 8; ++i) {
    hung->Silent("/item/" + std::to_string(i) + ".html");
    CTaskValues v = Values();
    v.url = hung->Url("/item/" + std::to_string(i) + ".html");
    AddTask(v);
  }
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr good = AddTask(Values());
  auto tracker = MakeTracker({0, 0}, CTimerQueue::kDefaultWorkers);

  const auto start = steady_clock::now();
  tracker->ScheduleAllTasks();
  while (good->GetCurrentPrice() != "89.00" && steady_clock::now() - start < milliseconds(4000))
    std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(good->GetCurrentPrice(), "89.00");
  EXPECT_LT(steady_clock::now() - start, milliseconds(3000));
  EXPECT_EQ(tracker->Gate().Running(hung->Url("/")), CPassGate::kDefaultPerHost);
  EXPECT_EQ(tracker->Gate().Queued(hung->Url("/")), 6u);
  EXPECT_LE(tracker->Queue().ThreadCount(), CTimerQueue::kDefaultWorkers + 1);
  // The shop going away ends the hung passes; the tracker then waits for them.
  tracker->UnscheduleAll();
  hung.reset();
  tracker.reset();
}

// Runs passes that wait until released, on their own threads.
struct HeldPasses {
  std::mutex lock;
  std::condition_variable changed;
  bool released = false;
  int started = 0;

  std::function<void()> Pass() {
    return [this] {
      std::unique_lock guard(lock);
      ++started;
      changed.notify_all();
      changed.wait(guard, [this] { return released; });
    };
  }
  void WaitStarted(int count) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, std::chrono::seconds(5), [&] { return started >= count; });
  }
  void Release() {
    std::lock_guard guard(lock);
    released = true;
    changed.notify_all();
  }
};

TEST(PassGate, PerHostLimitQueueAndSkippedRepeats) {
  CPassGate gate(2);
  HeldPasses held;
  int tasks[4];
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i)
    threads.emplace_back([&, i] { gate.Run(&tasks[i], "http://A.test:80/x", held.Pass()); });
  held.WaitStarted(2);
  // The host is full: a third task waits without holding a thread...
  EXPECT_TRUE(gate.Run(&tasks[2], "http://a.test:80/y", held.Pass()));
  EXPECT_EQ(gate.Queued("http://a.test:80/"), 1u);
  // ...a task already running or waiting is skipped...
  EXPECT_FALSE(gate.Run(&tasks[0], "http://a.test:80/x", held.Pass()));
  EXPECT_FALSE(gate.Run(&tasks[2], "http://a.test:80/y", held.Pass()));
  // ...and another host runs at once.
  int other = 0;
  EXPECT_TRUE(gate.Run(&tasks[3], "https://b.test/z", [&other] { ++other; }));
  EXPECT_EQ(other, 1);

  held.Release();
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(held.started, 3);  // the queued pass ran on a freed thread
  EXPECT_EQ(gate.Running("http://a.test:80/"), 0u);
  EXPECT_EQ(gate.Queued("http://a.test:80/"), 0u);
  // Done passes don't block the next ones.
  EXPECT_TRUE(gate.Run(&tasks[0], "http://a.test:80/x", [] {}));
}

}  // namespace
