#include "engine/coalescedsave.h"

CCoalescedSave::CCoalescedSave(SaveFunction save, FailureFunction failed,
                               std::chrono::milliseconds interval)
    : m_save(std::move(save)), m_failed(std::move(failed)), m_interval(interval) {}

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
  m_lastSave = std::chrono::steady_clock::now();
  lock.unlock();
  const bool saved = m_save();
  if (!saved && m_failed) m_failed();
  lock.lock();
  m_saving = false;
  m_wake.notify_all();
}

void CCoalescedSave::MarkChanged() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_saving && std::chrono::steady_clock::now() - m_lastSave >= m_interval) {
    SaveUnlocked(lock);
    return;
  }
  m_pending = true;
  if (!m_thread.joinable() && !m_stop) m_thread = std::thread(&CCoalescedSave::Run, this);
  m_wake.notify_all();
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
    const auto due = m_lastSave + m_interval;
    if (std::chrono::steady_clock::now() < due) {
      m_wake.wait_until(lock, due);
      continue;
    }
    SaveUnlocked(lock);
  }
}
