#include "engine/timerqueue.h"

#include <algorithm>

int TimerClock::Watch(std::function<void()>) { return 0; }

void TimerClock::Unwatch(int) {}

TimerClock::TimePoint ManualTimerClock::Now() const {
  std::lock_guard lock(m_lock);
  return m_now;
}

void ManualTimerClock::Advance(std::chrono::milliseconds step) {
  std::vector<std::function<void()>> wakes;
  {
    std::lock_guard lock(m_lock);
    m_now += step;
    for (auto& [id, wake] : m_watchers) wakes.push_back(wake);
  }
  // Called without the clock's lock: a queue takes its own lock to wake.
  for (auto& wake : wakes) wake();
}

int ManualTimerClock::Watch(std::function<void()> wake) {
  std::lock_guard lock(m_lock);
  m_watchers[m_nextId] = std::move(wake);
  return m_nextId++;
}

void ManualTimerClock::Unwatch(int id) {
  std::lock_guard lock(m_lock);
  m_watchers.erase(id);
}

CTimerQueue::CTimerQueue(std::shared_ptr<TimerClock> clock, size_t workers)
    : m_clock(clock ? std::move(clock) : std::make_shared<SystemTimerClock>()),
      m_maxWorkers(std::max<size_t>(workers, 1)) {
  m_watchId = m_clock->Watch([this] {
    // Taking the lock orders the wake after the scheduler's last look at the
    // clock, so it cannot be lost between that look and the wait.
    { std::lock_guard lock(m_lock); }
    m_schedulerWake.notify_all();
    m_idle.notify_all();
  });
  m_scheduler = std::thread([this] { RunScheduler(); });
}

CTimerQueue::~CTimerQueue() {
  m_clock->Unwatch(m_watchId);
  {
    std::lock_guard lock(m_lock);
    m_stopping = true;
    m_timers.clear();
    m_work.clear();
  }
  m_schedulerWake.notify_all();
  m_workReady.notify_all();
  m_scheduler.join();
  // Workers finish the callback they run and take no other.
  for (std::thread& worker : m_workers) worker.join();
}

TimerId CTimerQueue::CreateTimer(std::function<void()> callback, std::int64_t dueMs,
                                 std::int64_t periodMs) {
  // Beyond a century the time arithmetic of the clocks could overflow.
  constexpr std::int64_t kLongest = 100LL * 366 * 24 * 3600 * 1000;
  if (!callback || dueMs < 0 || periodMs < 0 || dueMs > kLongest || periodMs > kLongest) return 0;
  std::lock_guard lock(m_lock);
  if (m_stopping) return 0;
  TimerId id = m_nextId++;
  m_timers[id] =
      Timer{std::make_shared<std::function<void()>>(std::move(callback)),
            m_clock->Now() + std::chrono::milliseconds(dueMs), std::chrono::milliseconds(periodMs)};
  m_schedulerWake.notify_all();
  return id;
}

bool CTimerQueue::DeleteTimer(TimerId id) {
  std::lock_guard lock(m_lock);
  if (m_timers.erase(id) == 0) return false;
  // A firing still waiting for a worker never runs.
  std::erase_if(m_work, [id](const Work& work) { return work.id == id; });
  m_idle.notify_all();
  return true;
}

bool CTimerQueue::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_lock);
  return m_idle.wait_for(lock, timeout, [this] { return IsIdleLocked(m_clock->Now()); });
}

size_t CTimerQueue::TimerCount() const {
  std::lock_guard lock(m_lock);
  return m_timers.size();
}

size_t CTimerQueue::ThreadCount() const {
  std::lock_guard lock(m_lock);
  return 1 + m_workers.size();
}

bool CTimerQueue::IsIdleLocked(TimerClock::TimePoint now) const {
  if (m_running > 0 || !m_work.empty()) return false;
  return std::none_of(m_timers.begin(), m_timers.end(),
                      [now](const auto& entry) { return entry.second.due <= now; });
}

void CTimerQueue::StartWorkerLocked() {
  if (m_idleWorkers >= m_work.size() || m_workers.size() >= m_maxWorkers) return;
  m_workers.emplace_back([this] { RunWorker(); });
}

void CTimerQueue::RunScheduler() {
  std::unique_lock lock(m_lock);
  while (!m_stopping) {
    const TimerClock::TimePoint now = m_clock->Now();
    TimerClock::TimePoint next = TimerClock::TimePoint::max();
    for (auto it = m_timers.begin(); it != m_timers.end();) {
      Timer& timer = it->second;
      if (timer.due > now) {
        next = std::min(next, timer.due);
        ++it;
        continue;
      }
      if (!timer.waiting) {
        timer.waiting = true;
        m_work.push_back(Work{it->first, timer.callback});
        StartWorkerLocked();
        m_workReady.notify_one();
      }
      if (timer.period.count() == 0) {
        // Kept until a worker takes the firing, so that it can still be
        // deleted while it waits.
        timer.due = TimerClock::TimePoint::max();
        ++it;
        continue;
      }
      // After a long stall the timer goes on from now rather than firing
      // every period it missed.
      timer.due += timer.period;
      if (timer.due <= now) timer.due = now + timer.period;
      next = std::min(next, timer.due);
      ++it;
    }
    m_idle.notify_all();
    if (next == TimerClock::TimePoint::max())
      m_schedulerWake.wait(lock);
    else
      m_schedulerWake.wait_for(lock, next - now);
  }
}

void CTimerQueue::RunWorker() {
  std::unique_lock lock(m_lock);
  for (;;) {
    ++m_idleWorkers;
    m_workReady.wait(lock, [this] { return m_stopping || !m_work.empty(); });
    --m_idleWorkers;
    if (m_stopping) return;
    Work work = std::move(m_work.front());
    m_work.pop_front();
    auto timer = m_timers.find(work.id);
    if (timer != m_timers.end()) {
      timer->second.waiting = false;
      if (timer->second.period.count() == 0) m_timers.erase(timer);
    }
    ++m_running;
    lock.unlock();
    try {
      (*work.callback)();
    } catch (...) {
      // A callback that throws must not take the worker with it.
    }
    work.callback.reset();
    lock.lock();
    --m_running;
    m_idle.notify_all();
  }
}
