#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/types.h>

#include "base/files.h"
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
  // Whether the task is in the list, without walking it.
  bool Contains(const CTask* task) const;
  // Puts `task` where `position` stands.
  bool SetTaskAt(const TaskPtr& position, TaskPtr task);
  bool RemoveTaskAt(const TaskPtr& position);
  void RemoveAll();
  int GetCount() const;
  // The tasks as they are now, for walks that must not hold the lock.
  std::vector<TaskPtr> Tasks() const;

  // Several processes (the window, `vantrelctl`, their tracking passes)
  // share one tasks.xml. Each save takes the lock file path + ".lock"
  // (FileLock, a bounded wait), and when the file changed since this list
  // last loaded or saved it, reads it again and takes in what the others did
  // before writing: tasks they added are added, tasks they deleted are
  // removed (even when changed here), fields they changed are taken unless
  // changed here too, and tasks deleted here stay deleted. Reading takes no
  // lock: saves rename a whole file over the old one.

  // Reads tasks.xml and appends its tasks; false when the file can't be
  // loaded or is not well-formed (then no task is added). A file that exists
  // but can't be loaded is moved aside (MoveAside; SetAsideFile names it)
  // before anything can overwrite it; a reader that never saves (a listing)
  // passes kLeave and the file stays where it is.
  enum class Unreadable { kMoveAside, kLeave };
  bool LoadTasks(const std::string& path, const std::string& itemsFolder,
                 const std::string& pricesFolder, const AttachCachesFunction& attach,
                 Unreadable unreadable = Unreadable::kMoveAside);
  // Writes tasks.xml atomically after taking in the changes of other
  // processes; false when the file can't be written (the old file is then
  // left as it was) or another process held the lock longer than
  // FileLockPatience() (LastLockHolder names it). The list keeps its
  // changes either way, for the next save.
  bool SaveTasks(const std::string& path);
  // The process that held tasks.xml.lock when the last save gave up waiting
  // for it; 0 when the last save did not fail for the lock.
  pid_t LastLockHolder() const;
  // Whether the last save failed for the lock.
  bool LastSaveFoundLockBusy() const;
  // Takes in the changes other processes saved since this list last read or
  // wrote the file, without writing. False when nothing changed.
  bool Refresh(const std::string& path);
  // Where the last unreadable tasks.xml went; "" when none was moved.
  std::string SetAsideFile() const;
  // Called, on the thread that saved or refreshed, after changes of another
  // process were taken in, with the tasks they added and the tasks they
  // deleted (a window redraws its rows, a tracker starts and stops timers).
  using MergeListener =
      std::function<void(const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed)>;
  void SetMergeListener(MergeListener listener);
  // The bytes SaveTasks writes.
  std::string ToFileText() const;

 private:
  using Position = std::list<TaskPtr>::iterator;
  // The task with that Url (without regard to case); null when none.
  TaskPtr FindLocked(const std::string& url) const;
  // Appends a task and indexes it; the caller holds m_listLock.
  void AppendLocked(TaskPtr task);
  Position EraseLocked(Position at);

  using SavedValues = std::unordered_map<std::string, CTaskValues>;
  std::string FileText(SavedValues* written) const;
  // Reads the file as it is now; false when it exists but can't be loaded.
  // `stamp` is the version read.
  bool ReadFile(const std::string& path, std::vector<TaskPtr>& tasks, bool& exists,
                FileStamp& stamp);
  // Brings the list up to date with the file when its stamp changed. False
  // when the file can't be read and, `locked` (the file lock is held), could
  // not be moved aside either.
  struct Merged {
    bool changed = false;
    std::vector<TaskPtr> added, removed;
  };
  bool TakeInFile(const std::string& path, Merged& merged, bool locked);
  // Applies the file's tasks to the list against m_base.
  void Merge(std::vector<TaskPtr> theirs, Merged& merged);

  mutable std::mutex m_listLock;
  mutable std::mutex m_saveLock;
  std::list<TaskPtr> m_tasks;
  // Under m_listLock: where each task stands, and the tasks by folded Url
  // (Url is fixed while a task is listed: an edit puts a new task in).
  std::unordered_map<const CTask*, Position> m_positions;
  std::unordered_map<std::string, const CTask*> m_byUrl;
  // The size of the last file text, to build the next one in one piece.
  mutable size_t m_lastFileSize = 0;
  // Under m_saveLock: the file as this list last read or wrote it.
  FileStamp m_stamp;
  bool m_stampKnown = false;
  SavedValues m_base;
  std::string m_setAside;
  MergeListener m_mergeListener;
  bool m_lastSaveBusy = false;
  pid_t m_lastLockHolder = 0;
};

// The message that tells the user where an unreadable tasks.xml went.
std::string TasksSetAsideText(const std::string& asidePath);
// The message of a failed save of tasks.xml: "保存任务文件失败！", and when
// another process held the file, which one and that the changes are kept.
std::string SaveTasksFailedText(const CTaskList& tasks);
