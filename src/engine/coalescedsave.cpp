#include "engine/coalescedsave.h"

#include <algorithm>

CCoalescedSave::CCoalescedSave(SaveFunction save, FailureFunction failed,
                               std::chrono::milliseconds interval, First first)
    : m_save(std::move(save)), m_failed(std::move(failed)), m_interval(interval), m_first(first) {}

CCoalescedSave::~CCoalescedSave() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
  Flush();
}

void CCoalescedSave::SaveUnlocked(std::unique_lock<std::mutex>& lock) {
  m_pending = false;
  m_saving = true;
  lock.unlock();
  const bool saved = m_save();
  lock.lock();
  // The interval runs from the end of a save: a save that waited long for a
  // lock is not followed at once by the next wait.
  m_lastSave = std::chrono::steady_clock::now();
  const bool tell = !saved && !m_failureTold;
  m_failing = !saved;
  m_failureTold = !saved;
  if (!saved) m_pending = true;
  m_saving = false;
  m_wake.notify_all();
  if (tell && m_failed) {
    lock.unlock();
    m_failed();
    lock.lock();
  }
}

void CCoalescedSave::StartSaverLocked() {
  if (!m_thread.joinable() && !m_stop) m_thread = std::thread(&CCoalescedSave::Run, this);
}

void CCoalescedSave::MarkChanged() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_failureTold = false;
  if (m_first == First::kOnChangingThread && !m_saving && !m_failing &&
      std::chrono::steady_clock::now() - m_lastSave >= m_interval) {
    SaveUnlocked(lock);
    if (!m_pending) return;
  }
  // A saver already waiting for the interval to end needs no waking.
  const bool wake = !m_pending;
  if (wake) m_firstChange = std::chrono::steady_clock::now();
  m_pending = true;
  StartSaverLocked();
  if (wake) m_wake.notify_all();
}

void CCoalescedSave::Flush() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_wake.wait(lock, [this] { return !m_saving; });
  if (m_pending) SaveUnlocked(lock);
}

void CCoalescedSave::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stop) {
    if (!m_pending || m_saving) {
      m_wake.wait(lock);
      continue;
    }
    const auto after =
        m_first == First::kAfterInterval ? std::max(m_lastSave, m_firstChange) : m_lastSave;
    const auto due = after + m_interval;
    if (std::chrono::steady_clock::now() < due) {
      m_wake.wait_until(lock, due);
      continue;
    }
    SaveUnlocked(lock);
  }
}
