// The timer queue on a hand-moved clock: due times, periods, deleting,
// overlapping and dropped firings, the bounded pool, and shutdown.
#include "engine/timerqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPatience{10000};

class TimerQueueTest : public testing::Test {
 protected:
  std::shared_ptr<ManualTimerClock> clock = std::make_shared<ManualTimerClock>();

  // Moves the clock and waits until everything due has run.
  void Advance(CTimerQueue& queue, milliseconds step) {
    clock->Advance(step);
    ASSERT_TRUE(queue.WaitIdle(kPatience));
  }
};

// Lets callbacks hang until the test opens the gate.
class Gate {
 public:
  void Pass() {
    ++m_waiting;
    m_open.wait();
    --m_waiting;
  }
  void Open() {
    if (!m_opened.exchange(true)) m_promise.set_value();
  }
  bool WaitForWaiting(int count) {
    for (int i = 0; i < 10000 && m_waiting < count; ++i)
      std::this_thread::sleep_for(milliseconds(1));
    return m_waiting >= count;
  }
  ~Gate() { Open(); }

 private:
  std::promise<void> m_promise;
  std::shared_future<void> m_open = m_promise.get_future().share();
  std::atomic<int> m_waiting{0};
  std::atomic<bool> m_opened{false};
};

TEST_F(TimerQueueTest, OneShotFiresAtItsDueTimeOnce) {
  CTimerQueue queue(clock, 2);
  std::atomic<int> fired{0};
  ASSERT_NE(queue.CreateTimer([&] { ++fired; }, 100, 0), 0u);
  ASSERT_TRUE(queue.WaitIdle(kPatience));
  EXPECT_EQ(fired, 0);
  Advance(queue, milliseconds(99));
  EXPECT_EQ(fired, 0);
  Advance(queue, milliseconds(1));
  EXPECT_EQ(fired, 1);
  Advance(queue, milliseconds(100000));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(queue.TimerCount(), 0u);
}

TEST_F(TimerQueueTest, PeriodicFiresEveryPeriodWithoutCatchingUp) {
  CTimerQueue queue(clock, 2);
  std::atomic<int> fired{0};
  TimerId id = queue.CreateTimer([&] { ++fired; }, 0, 1000);
  ASSERT_TRUE(queue.WaitIdle(kPatience));
  EXPECT_EQ(fired, 1);
  for (int i = 2; i <= 4; ++i) {
    Advance(queue, milliseconds(1000));
    EXPECT_EQ(fired, i);
  }
  // A long stall gives one firing, not one per missed period.
  Advance(queue, milliseconds(60000));
  EXPECT_EQ(fired, 5);
  Advance(queue, milliseconds(999));
  EXPECT_EQ(fired, 5);
  Advance(queue, milliseconds(1));
  EXPECT_EQ(fired, 6);
  EXPECT_TRUE(queue.DeleteTimer(id));
  EXPECT_FALSE(queue.DeleteTimer(id));
  Advance(queue, milliseconds(5000));
  EXPECT_EQ(fired, 6);
}

TEST_F(TimerQueueTest, RefusesWhatItCannotSchedule) {
  CTimerQueue queue(clock, 1);
  EXPECT_EQ(queue.CreateTimer({}, 0, 0), 0u);
  EXPECT_EQ(queue.CreateTimer([] {}, -1, 0), 0u);
  EXPECT_EQ(queue.CreateTimer([] {}, 0, -5), 0u);
  EXPECT_EQ(queue.CreateTimer([] {}, INT64_MAX, 0), 0u);
  EXPECT_EQ(queue.TimerCount(), 0u);
}

TEST_F(TimerQueueTest, DeletedBeforeItsTurnNeverRuns) {
  Gate gate;  // outlives the queue, which waits for callbacks inside it
  CTimerQueue queue(clock, 1);
  std::atomic<int> blocker{0}, waiting{0};
  queue.CreateTimer(
      [&] {
        ++blocker;
        gate.Pass();
      },
      0, 0);
  ASSERT_TRUE(gate.WaitForWaiting(1));
  // Due, but the only worker is busy: it waits in the queue.
  TimerId id = queue.CreateTimer([&] { ++waiting; }, 0, 0);
  TimerId later = queue.CreateTimer([&] { ++waiting; }, 500, 0);
  EXPECT_TRUE(queue.DeleteTimer(id));
  EXPECT_TRUE(queue.DeleteTimer(later));
  gate.Open();
  Advance(queue, milliseconds(1000));
  EXPECT_EQ(blocker, 1);
  EXPECT_EQ(waiting, 0);
}

TEST_F(TimerQueueTest, DeletingDoesNotWaitForARunningCallback) {
  Gate gate;  // outlives the queue, which waits for callbacks inside it
  CTimerQueue queue(clock, 2);
  TimerId id = queue.CreateTimer([&] { gate.Pass(); }, 0, 1000);
  ASSERT_TRUE(gate.WaitForWaiting(1));
  EXPECT_TRUE(queue.DeleteTimer(id));  // returns while the callback hangs
  EXPECT_EQ(queue.TimerCount(), 0u);
  EXPECT_FALSE(queue.WaitIdle(milliseconds(20)));
  gate.Open();
  EXPECT_TRUE(queue.WaitIdle(kPatience));
}

TEST_F(TimerQueueTest, SlowCallbacksOverlapButFiringsDoNotPileUp) {
  // Two workers: the second firing of a hanging timer runs beside the first.
  {
    Gate gate;  // outlives the queue, which waits for callbacks inside it
    CTimerQueue queue(clock, 2);
    std::atomic<int> started{0};
    queue.CreateTimer(
        [&] {
          ++started;
          gate.Pass();
        },
        0, 1000);
    ASSERT_TRUE(gate.WaitForWaiting(1));
    clock->Advance(milliseconds(1000));
    ASSERT_TRUE(gate.WaitForWaiting(2));
    EXPECT_EQ(started, 2);
    gate.Open();
  }
  // One worker: while it hangs, many periods leave one firing waiting.
  Gate gate;  // outlives the queue, which waits for callbacks inside it
  CTimerQueue queue(clock, 1);
  std::atomic<int> started{0};
  queue.CreateTimer(
      [&] {
        ++started;
        gate.Pass();
      },
      0, 1000);
  ASSERT_TRUE(gate.WaitForWaiting(1));
  for (int i = 0; i < 10; ++i) clock->Advance(milliseconds(1000));
  gate.Open();
  ASSERT_TRUE(queue.WaitIdle(kPatience));
  EXPECT_EQ(started, 2);
}

TEST_F(TimerQueueTest, ThreadsStayBoundedWhateverTheNumberOfTimers) {
  CTimerQueue queue(clock, 3);
  std::atomic<int> fired{0}, running{0}, mostAtOnce{0};
  for (int i = 0; i < 500; ++i) {
    queue.CreateTimer(
        [&] {
          int now = ++running;
          int seen = mostAtOnce;
          while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
          }
          std::this_thread::yield();
          --running;
          ++fired;
        },
        i % 7, 10);
  }
  Advance(queue, milliseconds(10));
  Advance(queue, milliseconds(10));
  EXPECT_GE(fired, 1000);
  EXPECT_LE(mostAtOnce, 3);
  EXPECT_LE(queue.ThreadCount(), 4u);
}

TEST_F(TimerQueueTest, DestroyingWaitsForRunningCallbacksAndDropsTheRest) {
  Gate gate;
  std::atomic<bool> finished{false}, destroyed{false};
  std::atomic<int> late{0};
  auto queue = std::make_unique<CTimerQueue>(clock, 1);
  queue->CreateTimer(
      [&] {
        gate.Pass();
        finished = true;
      },
      0, 0);
  ASSERT_TRUE(gate.WaitForWaiting(1));
  queue->CreateTimer([&] { ++late; }, 0, 0);  // waits for the busy worker
  std::thread destroyer([&] {
    queue.reset();
    destroyed = true;
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(destroyed);
  gate.Open();
  destroyer.join();
  EXPECT_TRUE(finished);
  EXPECT_EQ(late, 0);
}

TEST_F(TimerQueueTest, SystemClockFiresWithoutHelp) {
  CTimerQueue queue(nullptr, 1);
  std::promise<void> fired;
  queue.CreateTimer([&] { fired.set_value(); }, 1, 0);
  EXPECT_EQ(fired.get_future().wait_for(kPatience), std::future_status::ready);
}

TEST_F(TimerQueueTest, CallbackMayDeleteItsOwnTimerAndCreateAnother) {
  CTimerQueue queue(clock, 2);
  std::atomic<int> fired{0}, second{0};
  TimerId id = 0;
  std::atomic<bool> ready{false};
  id = queue.CreateTimer(
      [&] {
        while (!ready) std::this_thread::yield();
        ++fired;
        queue.DeleteTimer(id);
        queue.CreateTimer([&] { ++second; }, 0, 0);
      },
      0, 1000);
  ready = true;
  ASSERT_TRUE(queue.WaitIdle(kPatience));
  Advance(queue, milliseconds(5000));
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(second, 1);
}

}  // namespace
