#include <sys/stat.h>

#include <unordered_set>

#include "base/codepage.h"
#include "base/filelock.h"
#include "base/files.h"
#include "base/message.h"
#include "base/setaside.h"
#include "base/stringtable.h"
#include "engine/nocase.h"
#include "engine/tasklist.h"
#include "text/xml.h"

namespace {

const char kTasksHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";
const char kTasksTail[] = "</TaskList>";

bool HasWideMark(const std::string& bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

}  // namespace

std::string TasksSetAsideText(const std::string& asidePath) {
  return LoadString(IDS_TASKS_SET_ASIDE) + Utf8ToLocal(asidePath);
}

bool CTaskList::ReadFile(const std::string& path, std::vector<TaskPtr>& tasks, bool& exists,
                         FileStamp& stamp) {
  tasks.clear();
  std::string bytes;
  stamp = StampOf(path);
  exists = stamp.exists;
  if (!exists) return true;
  if (!ReadWholeFile(path, bytes, &stamp)) return false;
  XmlDocument document;
  // Files of older programs hold links as raw local bytes beside UTF-8
  // names; such a file is read field by field.
  const bool mixed = !IsValidUtf8(bytes) && !HasWideMark(bytes);
  if (mixed ? !document.SetText(std::move(bytes)) : !document.LoadFromMemory(bytes)) return false;
  const auto form = mixed ? CTask::RecordText::kEachFieldItsOwn : CTask::RecordText::kConverted;
  std::unordered_set<std::string> urls;
  while (document.FindChildElement("Task")) {
    document.EnterElement();
    auto task = std::make_shared<CTask>(document, form);
    document.LeaveElement();
    if (urls.insert(FoldCase(task->GetUrl())).second) tasks.push_back(std::move(task));
  }
  return true;
}

bool CTaskList::LoadTasks(const std::string& path, const std::string& itemsFolder,
                          const std::string& pricesFolder, const AttachCachesFunction& attach,
                          Unreadable unreadable) {
  std::vector<TaskPtr> loaded;
  {
    // No file lock: a save renames a whole file over the old one, and a
    // process stopped while it holds the lock must not keep others from
    // starting.
    std::lock_guard<std::mutex> saving(m_saveLock);
    bool exists = false;
    FileStamp read;
    if (!ReadFile(path, loaded, exists, read)) {
      // The next save would replace the file with whatever is in memory:
      // the unreadable one goes where no later incident can reach it.
      if (unreadable == Unreadable::kMoveAside) m_setAside = MoveAside(path);
      m_stampKnown = !m_setAside.empty();
      m_stamp = StampOf(path);
      m_base.clear();
      return false;
    }
    m_stamp = read;
    m_stampKnown = true;
    m_base.clear();
    for (const TaskPtr& task : loaded) m_base.emplace(FoldCase(task->GetUrl()), task->GetValues());
    if (!exists) return false;
  }
  if (attach) {
    for (const TaskPtr& task : loaded) attach(*task, itemsFolder, pricesFolder);
  }
  std::lock_guard<std::mutex> lock(m_listLock);
  for (TaskPtr& task : loaded) {
    if (!FindLocked(task->GetUrl())) AppendLocked(std::move(task));
  }
  return true;
}

void CTaskList::Merge(std::vector<TaskPtr> theirs, Merged& merged) {
  SavedValues theirValues;
  for (const TaskPtr& task : theirs)
    theirValues.emplace(FoldCase(task->GetUrl()), task->GetValues());
  bool& changed = merged.changed;
  {
    std::lock_guard<std::mutex> lock(m_listLock);
    std::unordered_set<std::string> ours;
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
      const std::string key = FoldCase((*it)->GetUrl());
      const auto base = m_base.find(key);
      const auto their = theirValues.find(key);
      if (base != m_base.end() && their == theirValues.end()) {
        // Deleted elsewhere: it must not come back, whatever changed here.
        merged.removed.push_back(*it);
        it = EraseLocked(it);
        changed = true;
        continue;
      }
      if (base != m_base.end()) changed |= (*it)->MergeSaved(base->second, their->second);
      ours.insert(key);
      ++it;
    }
    for (TaskPtr& task : theirs) {
      const std::string key = FoldCase(task->GetUrl());
      // A task of the old file that is not here was deleted here.
      if (ours.count(key) != 0 || m_base.count(key) != 0) continue;
      merged.added.push_back(task);
      AppendLocked(std::move(task));
      changed = true;
    }
  }
  m_base = std::move(theirValues);
}

bool CTaskList::TakeInFile(const std::string& path, Merged& merged, bool locked) {
  const FileStamp now = StampOf(path);
  if (m_stampKnown && now == m_stamp) return true;
  std::vector<TaskPtr> theirs;
  bool exists = false;
  FileStamp read;
  if (!ReadFile(path, theirs, exists, read)) {
    // Without the lock another process may be saving a good file there
    // right now: the next save, which holds it, deals with this one.
    if (!locked) return false;
    // Unreadable, and never loaded here: it is kept, not replaced.
    const std::string aside = MoveAside(path);
    if (aside.empty()) return false;
    m_setAside = aside;
    ShowMessageText(IDS_TASKS_SET_ASIDE, kMessageInfo, TasksSetAsideText(aside));
    exists = false;
  }
  if (!exists) {
    // A file that vanished deletes nothing: this list is all there is.
    m_base.clear();
  } else {
    Merge(std::move(theirs), merged);
  }
  m_stamp = exists ? read : StampOf(path);
  m_stampKnown = true;
  return true;
}

std::string CTaskList::FileText(SavedValues* written) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  std::string text;
  text.reserve(m_lastFileSize + m_lastFileSize / 8);
  text = kTasksHead;
  if (written) written->reserve(m_tasks.size());
  for (const TaskPtr& task : m_tasks) {
    CTaskValues values;
    task->AppendXml(text, written ? &values : nullptr);
    if (written) {
      std::string key = FoldCase(values.url);
      written->insert_or_assign(std::move(key), std::move(values));
    }
  }
  text += kTasksTail;
  m_lastFileSize = text.size();
  return text;
}

std::string CTaskList::ToFileText() const { return FileText(nullptr); }

bool CTaskList::SaveTasks(const std::string& path) {
  bool saved = false;
  Merged merged;
  MergeListener listener;
  {
    // Saves from several threads are taken one at a time, so that an older
    // snapshot is never renamed over a newer one. The file lock comes first:
    // its wait may be long, and refreshes must not wait with it.
    FileLock fileLock(path + ".lock");
    std::lock_guard<std::mutex> saving(m_saveLock);
    m_lastSaveBusy = fileLock.Busy();
    m_lastLockHolder = fileLock.Holder();
    if (m_lastSaveBusy) return false;
    listener = m_mergeListener;
    if (TakeInFile(path, merged, true)) {
      SavedValues written;
      // Saved after every pass that changed something: swapped in through
      // its spare, a save costs no new file.
      saved = WriteFileSwapped(path, FileText(&written));
      if (saved) {
        m_base = std::move(written);
        m_stamp = StampOf(path);
      }
    }
  }
  if (merged.changed && listener) listener(merged.added, merged.removed);
  return saved;
}

bool CTaskList::Refresh(const std::string& path) {
  Merged merged;
  MergeListener listener;
  {
    std::lock_guard<std::mutex> saving(m_saveLock);
    listener = m_mergeListener;
    if (m_stampKnown && StampOf(path) == m_stamp) return false;
    TakeInFile(path, merged, false);
  }
  if (merged.changed && listener) listener(merged.added, merged.removed);
  return merged.changed;
}

pid_t CTaskList::LastLockHolder() const {
  std::lock_guard<std::mutex> saving(m_saveLock);
  return m_lastLockHolder;
}

bool CTaskList::LastSaveFoundLockBusy() const {
  std::lock_guard<std::mutex> saving(m_saveLock);
  return m_lastSaveBusy;
}

std::string SaveTasksFailedText(const CTaskList& tasks) {
  std::string text = LoadString(IDS_SAVE_TASKS_FAILED);
  if (tasks.LastSaveFoundLockBusy()) text += FileHeldText(tasks.LastLockHolder());
  return text;
}

std::string CTaskList::SetAsideFile() const {
  std::lock_guard<std::mutex> saving(m_saveLock);
  return m_setAside;
}

void CTaskList::SetMergeListener(MergeListener listener) {
  std::lock_guard<std::mutex> saving(m_saveLock);
  m_mergeListener = std::move(listener);
}
