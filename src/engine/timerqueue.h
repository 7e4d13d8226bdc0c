#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The time a timer queue runs on: a steady clock that tests can replace with
// one they move by hand, so that no test sleeps to wait for a timer.
class TimerClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~TimerClock() = default;
  virtual TimePoint Now() const = 0;
  // `wake` is called whenever the clock jumps; the system clock never does.
  // Returns an id for Unwatch.
  virtual int Watch(std::function<void()> wake);
  virtual void Unwatch(int id);
};

class SystemTimerClock : public TimerClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

// A clock that stands still until Advance is called.
class ManualTimerClock : public TimerClock {
 public:
  TimePoint Now() const override;
  void Advance(std::chrono::milliseconds step);
  int Watch(std::function<void()> wake) override;
  void Unwatch(int id) override;

 private:
  mutable std::mutex m_lock;
  TimePoint m_now{};
  int m_nextId = 1;
  std::map<int, std::function<void()>> m_watchers;
};

using TimerId = std::uint64_t;

// Timers on one scheduler thread, their callbacks run by a small pool of
// worker threads whose size does not grow with the number of timers.
//
// A periodic timer fires again every `period` after its due time whether or
// not its last callback has ended, so callbacks of one timer may overlap; a
// firing that finds the previous one still waiting for a worker is dropped,
// so a slow pool never piles up firings.
class CTimerQueue {
 public:
  static constexpr size_t kDefaultWorkers = 8;

  // A null clock means the system's steady clock.
  explicit CTimerQueue(std::shared_ptr<TimerClock> clock = nullptr,
                       size_t workers = kDefaultWorkers);
  // Drops every timer, then waits for the callbacks that are running.
  ~CTimerQueue();
  CTimerQueue(const CTimerQueue&) = delete;
  CTimerQueue& operator=(const CTimerQueue&) = delete;

  // A timer that first fires `dueMs` from now, then every `periodMs`
  // (0: once). 0 when the queue is stopping or the times are negative.
  TimerId CreateTimer(std::function<void()> callback, std::int64_t dueMs, std::int64_t periodMs);
  // The timer fires no more; a callback already running is not waited for.
  // False when there is no such timer.
  bool DeleteTimer(TimerId id);

  // Waits until no timer is due at the clock's present time, no firing waits
  // for a worker and no callback runs; false when `timeout` (real time)
  // passes first. What tests call after moving a manual clock.
  bool WaitIdle(std::chrono::milliseconds timeout);

  size_t TimerCount() const;
  // Threads the queue has started: the scheduler and the workers.
  size_t ThreadCount() const;
  TimerClock& Clock() const { return *m_clock; }

 private:
  struct Timer {
    std::shared_ptr<std::function<void()>> callback;
    TimerClock::TimePoint due;
    std::chrono::milliseconds period;
    bool waiting = false;  // a firing sits in m_work
  };
  struct Work {
    TimerId id;
    std::shared_ptr<std::function<void()>> callback;
  };

  void RunScheduler();
  void RunWorker();
  bool IsIdleLocked(TimerClock::TimePoint now) const;
  void StartWorkerLocked();

  std::shared_ptr<TimerClock> m_clock;
  size_t m_maxWorkers;
  int m_watchId = 0;

  mutable std::mutex m_lock;
  std::condition_variable m_schedulerWake;
  std::condition_variable m_workReady;
  std::condition_variable m_idle;
  bool m_stopping = false;
  TimerId m_nextId = 1;
  std::map<TimerId, Timer> m_timers;
  std::deque<Work> m_work;
  size_t m_running = 0;
  size_t m_idleWorkers = 0;
  std::thread m_scheduler;
  std::vector<std::thread> m_workers;
};
