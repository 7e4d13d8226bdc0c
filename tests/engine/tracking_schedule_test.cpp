// Task timers: the first firing of a new task, the start-up stagger, one-shot
// timers, replacing and deleting timers. The clock moves by hand.
#include <chrono>
#include <string>

#include "tracking_fixture.h"

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{10000};

class TrackingScheduleTest : public TrackingFixture {
 protected:
  bool Settle(CTracker& tracker) { return tracker.Queue().WaitIdle(kPatience); }
};

TEST_F(TrackingScheduleTest, FirstFiringOfANewTaskOnlyClearsAddMode) {
  for (const char* mode : {"add", "IMPORT"}) {
    SCOPED_TRACE(mode);
    const std::string path = std::string("/") + mode + ".html";
    shop.Page(path, ProductPage("89.00"));
    TaskPtr task = AddTask(Values(path));
    task->SetAddMode(mode);
    auto tracker = MakeTracker();
    ASSERT_TRUE(tracker->ScheduleTask(0, 60000, task));
    ASSERT_TRUE(Settle(*tracker));
    EXPECT_EQ(task->GetAddMode(), "");
    EXPECT_EQ(shop.Requests(path), 0);
    EXPECT_EQ(task->GetCurrentPrice(), "99.00");
    EXPECT_EQ(events.Count(), 0u);

    clock->Advance(milliseconds(60000));
    ASSERT_TRUE(Settle(*tracker));
    EXPECT_EQ(shop.Requests(path), 1);
    EXPECT_EQ(task->GetCurrentPrice(), "89.00");
    EXPECT_EQ(events.Count("UpdateChangeData"), 1u);
    events.Clear();
  }
}

TEST_F(TrackingScheduleTest, StartUpStaggersByListPosition) {
  for (int i = 0; i < 4; ++i) {
    const std::string path = "/item/" + std::to_string(i) + ".html";
    shop.Page(path, ProductPage("99.00"));
    CTaskValues v = Values(path);
    v.status = i == 1 ? 0 : 1;  // the paused task still counts for the stagger
    AddTask(v);
  }
  auto tracker = MakeTracker({2000, 0});
  tracker->ScheduleAllTasks();
  EXPECT_FALSE(tracker->IsScheduled(shop.Link("/item/1.html")));
  auto fetched = [&] {
    std::string seen;
    for (int i = 0; i < 4; ++i)
      seen += shop.Requests("/item/" + std::to_string(i) + ".html") ? '1' : '0';
    return seen;
  };
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(fetched(), "1000");
  clock->Advance(milliseconds(3999));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(fetched(), "1000");
  clock->Advance(milliseconds(1));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(fetched(), "1010");
  clock->Advance(milliseconds(2000));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(fetched(), "1011");
  // Then each task on its own period (an hour).
  clock->Advance(hours(1));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.Requests("/item/0.html"), 2);
  EXPECT_EQ(shop.Requests("/item/1.html"), 0);
}

TEST_F(TrackingScheduleTest, ZeroPeriodFiresOnce) {
  shop.Page("/item/1.html", ProductPage("99.00"));
  CTaskValues v = Values();
  v.frequencyHour = v.frequencyMinute = "0";
  TaskPtr task = AddTask(v);
  auto tracker = MakeTracker();
  tracker->ScheduleAllTasks();
  ASSERT_TRUE(Settle(*tracker));
  clock->Advance(hours(100));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.Requests("/item/1.html"), 1);
}

TEST_F(TrackingScheduleTest, ReschedulingReplacesAndUnschedulingStops) {
  shop.Page("/item/1.html", ProductPage("99.00"));
  TaskPtr task = AddTask(Values());
  auto tracker = MakeTracker();
  ASSERT_TRUE(tracker->ScheduleTask(1000, 1000, task));
  // An edit reschedules: the earlier timer must not go on firing unseen.
  ASSERT_TRUE(tracker->ScheduleTask(5000, 5000, task));
  EXPECT_EQ(tracker->Queue().TimerCount(), 1u);
  clock->Advance(milliseconds(4999));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.Requests("/item/1.html"), 0);
  clock->Advance(milliseconds(1));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.Requests("/item/1.html"), 1);

  tracker->UnscheduleTask(task->GetUrl());
  tracker->UnscheduleTask("http://never.scheduled/");
  EXPECT_FALSE(tracker->IsScheduled(task->GetUrl()));
  clock->Advance(hours(1));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.Requests("/item/1.html"), 1);
}

TEST_F(TrackingScheduleTest, UnscheduleAllLeavesNoTimer) {
  for (int i = 0; i < 5; ++i) AddTask(Values("/item/" + std::to_string(i) + ".html"));
  auto tracker = MakeTracker({60000, 0});
  tracker->ScheduleAllTasks();
  EXPECT_EQ(tracker->Queue().TimerCount(), 5u);
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.TotalRequests(), 1);  // the first task is due at once
  tracker->UnscheduleAll();
  EXPECT_EQ(tracker->Queue().TimerCount(), 0u);
  clock->Advance(hours(2));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.TotalRequests(), 1);
}

TEST_F(TrackingScheduleTest, TimerDoesNotKeepADroppedTaskAlive) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  auto task = std::make_shared<CTask>(Values());
  std::weak_ptr<CTask> weak = task;
  auto tracker = MakeTracker();
  ASSERT_TRUE(tracker->ScheduleTask(1000, 1000, task));
  task.reset();
  EXPECT_TRUE(weak.expired());
  clock->Advance(milliseconds(1000));
  ASSERT_TRUE(Settle(*tracker));
  EXPECT_EQ(shop.TotalRequests(), 0);
}

}  // namespace
