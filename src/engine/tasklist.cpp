#include "engine/tasklist.h"

#include "engine/nocase.h"

TaskPtr CTaskList::FindLocked(const std::string& url) const {
  auto it = m_byUrl.find(FoldCase(url));
  return it == m_byUrl.end() ? nullptr : *m_positions.at(it->second);
}

void CTaskList::AppendLocked(TaskPtr task) {
  const CTask* key = task.get();
  m_byUrl.emplace(FoldCase(task->GetUrl()), key);
  m_tasks.push_back(std::move(task));
  m_positions[key] = std::prev(m_tasks.end());
}

CTaskList::Position CTaskList::EraseLocked(Position at) {
  const CTask* key = at->get();
  auto byUrl = m_byUrl.find(FoldCase((*at)->GetUrl()));
  if (byUrl != m_byUrl.end() && byUrl->second == key) m_byUrl.erase(byUrl);
  m_positions.erase(key);
  return m_tasks.erase(at);
}

bool CTaskList::AddTask(TaskPtr task) {
  if (!task) return false;
  std::lock_guard<std::mutex> lock(m_listLock);
  if (FindLocked(task->GetUrl())) return false;
  AppendLocked(std::move(task));
  return true;
}

TaskPtr CTaskList::FindByUrl(const std::string& url) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  return FindLocked(url);
}

TaskPtr CTaskList::TaskAt(int index) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  if (index < 0 || static_cast<size_t>(index) >= m_tasks.size()) return nullptr;
  return *std::next(m_tasks.begin(), index);
}

int CTaskList::IndexOf(const CTask* task) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  if (m_positions.count(task) == 0) return -1;
  int index = 0;
  for (const TaskPtr& t : m_tasks) {
    if (t.get() == task) return index;
    ++index;
  }
  return -1;
}

bool CTaskList::Contains(const CTask* task) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  return m_positions.count(task) != 0;
}

bool CTaskList::SetTaskAt(const TaskPtr& position, TaskPtr task) {
  if (!task) return false;
  std::lock_guard<std::mutex> lock(m_listLock);
  auto it = m_positions.find(position.get());
  if (it == m_positions.end()) return false;
  // The new task may carry another Url; the index follows it.
  const Position at = it->second;
  const TaskPtr old = *at;
  auto byUrl = m_byUrl.find(FoldCase(old->GetUrl()));
  if (byUrl != m_byUrl.end() && byUrl->second == old.get()) m_byUrl.erase(byUrl);
  m_positions.erase(it);
  *at = std::move(task);
  m_positions[at->get()] = at;
  m_byUrl[FoldCase((*at)->GetUrl())] = at->get();
  return true;
}

bool CTaskList::RemoveTaskAt(const TaskPtr& position) {
  std::lock_guard<std::mutex> lock(m_listLock);
  auto it = m_positions.find(position.get());
  if (it == m_positions.end()) return false;
  EraseLocked(it->second);
  return true;
}

void CTaskList::RemoveAll() {
  std::list<TaskPtr> gone;
  {
    std::lock_guard<std::mutex> lock(m_listLock);
    gone.swap(m_tasks);
    m_positions.clear();
    m_byUrl.clear();
  }
  // The tasks are let go of outside the lock: a last owner's destructor runs
  // with the list free.
}

int CTaskList::GetCount() const {
  std::lock_guard<std::mutex> lock(m_listLock);
  return static_cast<int>(m_tasks.size());
}

std::vector<TaskPtr> CTaskList::Tasks() const {
  std::lock_guard<std::mutex> lock(m_listLock);
  return std::vector<TaskPtr>(m_tasks.begin(), m_tasks.end());
}
