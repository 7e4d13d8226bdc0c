#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/task.h"

using TaskPtr = std::shared_ptr<CTask>;

// Gives a task that was just read from tasks.xml its comparison and price
// history, from the cache files in the two folders or from the servers. The
// services layer provides the program's one (AttachProductCaches); an empty
// function leaves both null (listing tasks without touching the network).
using AttachCachesFunction = std::function<void(CTask& task, const std::string& itemsFolder,
                                                const std::string& pricesFolder)>;

// All tasks in order, unique by Url without regard to case. A task lives as
// long as anything holds it, so a running pass or a queued message keeps its
// task valid after the list has let go of it. Every operation holds the
// list's lock for its whole run.
//
// A position is the task that stands there, as TaskAt or FindByUrl handed it
// out; an operation on a position that has left the list meanwhile does
// nothing and says so.
class CTaskList {
 public:
  // False, and the list unchanged, when a task with the same Url is there.
  bool AddTask(TaskPtr task);
  TaskPtr FindByUrl(const std::string& url) const;
  // Null when there is no index-th task.
  TaskPtr TaskAt(int index) const;
  // -1 when the task is not in the list.
  int IndexOf(const CTask* task) const;
  // Puts `task` where `position` stands.
  bool SetTaskAt(const TaskPtr& position, TaskPtr task);
  bool RemoveTaskAt(const TaskPtr& position);
  void RemoveAll();
  int GetCount() const;
  // The tasks as they are now, for walks that must not hold the lock.
  std::vector<TaskPtr> Tasks() const;

  // Reads tasks.xml and appends its tasks; false when the file can't be
  // loaded or is not well-formed (then no task is added). A file that exists
  // but can't be loaded is kept aside as path + ".bad" before anything can
  // overwrite it.
  bool LoadTasks(const std::string& path, const std::string& itemsFolder,
                 const std::string& pricesFolder, const AttachCachesFunction& attach);
  // Writes tasks.xml atomically; false when the file can't be written (the
  // old file is then left as it was).
  bool SaveTasks(const std::string& path) const;
  // The bytes SaveTasks writes.
  std::string ToFileText() const;

 private:
  std::list<TaskPtr>::const_iterator Find(const std::string& url) const;
  std::list<TaskPtr>::iterator Locate(const TaskPtr& position);

  mutable std::mutex m_listLock;
  mutable std::mutex m_saveLock;
  std::list<TaskPtr> m_tasks;
  // The size of the last file text, to build the next one in one piece.
  mutable size_t m_lastFileSize = 0;
};
