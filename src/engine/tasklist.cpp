#include "engine/tasklist.h"

#include <algorithm>

#include "engine/nocase.h"

std::list<TaskPtr>::const_iterator CTaskList::Find(const std::string& url) const {
  return std::find_if(m_tasks.begin(), m_tasks.end(),
                      [&](const TaskPtr& task) { return EqualNoCase(task->GetUrl(), url); });
}

std::list<TaskPtr>::iterator CTaskList::Locate(const TaskPtr& position) {
  return std::find(m_tasks.begin(), m_tasks.end(), position);
}

bool CTaskList::AddTask(TaskPtr task) {
  if (!task) return false;
  std::lock_guard<std::mutex> lock(m_listLock);
  if (Find(task->GetUrl()) != m_tasks.end()) return false;
  m_tasks.push_back(std::move(task));
  return true;
}

TaskPtr CTaskList::FindByUrl(const std::string& url) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  auto it = Find(url);
  return it == m_tasks.end() ? nullptr : *it;
}

TaskPtr CTaskList::TaskAt(int index) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  if (index < 0 || static_cast<size_t>(index) >= m_tasks.size()) return nullptr;
  return *std::next(m_tasks.begin(), index);
}

int CTaskList::IndexOf(const CTask* task) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  int index = 0;
  for (const TaskPtr& t : m_tasks) {
    if (t.get() == task) return index;
    ++index;
  }
  return -1;
}

bool CTaskList::SetTaskAt(const TaskPtr& position, TaskPtr task) {
  if (!task) return false;
  std::lock_guard<std::mutex> lock(m_listLock);
  auto it = Locate(position);
  if (it == m_tasks.end()) return false;
  *it = std::move(task);
  return true;
}

bool CTaskList::RemoveTaskAt(const TaskPtr& position) {
  std::lock_guard<std::mutex> lock(m_listLock);
  auto it = Locate(position);
  if (it == m_tasks.end()) return false;
  m_tasks.erase(it);
  return true;
}

void CTaskList::RemoveAll() {
  std::list<TaskPtr> gone;
  {
    std::lock_guard<std::mutex> lock(m_listLock);
    gone.swap(m_tasks);
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
