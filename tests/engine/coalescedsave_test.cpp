#include "engine/coalescedsave.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(CoalescedSave, ManyChangesMakeFewSavesAndNoneIsLost) {
  std::atomic<int> saves{0};
  std::atomic<int> changes{0}, savedChanges{0};
  {
    CCoalescedSave save(
        [&] {
          ++saves;
          savedChanges = changes.load();
          return true;
        },
        nullptr, 200ms);
    for (int i = 0; i < 1000; ++i) {
      ++changes;
      save.MarkChanged();
    }
    EXPECT_EQ(saves, 1);  // the first at once, the rest waits for the interval
  }
  // The object's end saved the rest.
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(savedChanges, 1000);
}

TEST(CoalescedSave, APendingChangeIsSavedByTheSaverThread) {
  std::atomic<int> saves{0}, failures{0};
  CCoalescedSave save([&] { return ++saves > 1 ? false : true; }, [&] { ++failures; }, 50ms);
  save.MarkChanged();
  save.MarkChanged();
  for (int i = 0; i < 400 && saves < 2; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(failures, 1);
}

TEST(CoalescedSave, AFailedSaveIsToldOnceAndTriedAgainOnTheSaverThread) {
  std::atomic<int> saves{0}, failures{0};
  std::atomic<bool> succeed{false}, onCaller{false};
  const std::thread::id caller = std::this_thread::get_id();
  CCoalescedSave save(
      [&] {
        onCaller = onCaller || std::this_thread::get_id() == caller;
        ++saves;
        return succeed.load();
      },
      [&] { ++failures; }, 10ms, CCoalescedSave::First::kOnSaverThread);
  save.MarkChanged();
  for (int i = 0; i < 400 && saves < 3; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_GE(saves, 3);
  EXPECT_EQ(failures, 1);
  EXPECT_FALSE(onCaller);
  succeed = true;
  save.Flush();
  const int saved = saves;
  save.Flush();  // nothing is left to save
  EXPECT_EQ(saves, saved);
}

TEST(CoalescedSave, ABurstOfChangesMakesOneSaveAnIntervalLater) {
  std::atomic<int> saves{0};
  CCoalescedSave save([&] { return ++saves > 0; }, nullptr, 100ms,
                      CCoalescedSave::First::kAfterInterval);
  for (int i = 0; i < 100; ++i) save.MarkChanged();
  EXPECT_EQ(saves, 0);
  for (int i = 0; i < 400 && saves < 1; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(saves, 1);
}

}  // namespace
