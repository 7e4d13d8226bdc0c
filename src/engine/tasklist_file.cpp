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

CTaskList::FileStamp CTaskList::StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
}

bool CTaskList::ReadFile(const std::string& path, std::vector<TaskPtr>& tasks, bool& exists) {
  tasks.clear();
  std::string bytes;
  exists = FileExists(path);
  if (!exists) return true;
  if (!ReadWholeFile(path, bytes)) return false;
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
    std::lock_guard<std::mutex> saving(m_saveLock);
    FileLock fileLock(path + ".lock");
    bool exists = false;
    if (!ReadFile(path, loaded, exists)) {
      // The next save would replace the file with whatever is in memory:
      // the unreadable one goes where no later incident can reach it.
      if (unreadable == Unreadable::kMoveAside) m_setAside = MoveAside(path);
      m_stampKnown = !m_setAside.empty();
      m_stamp = StampOf(path);
      m_base.clear();
      return false;
    }
    m_stamp = StampOf(path);
    m_stampKnown = true;
    m_base.clear();
    for (const TaskPtr& task : loaded) m_base.emplace(FoldCase(task->GetUrl()), task->GetValues());
    if (!exists) return false;
  }
  if (attach) {
    for (const TaskPtr& task : loaded) attach(*task, itemsFolder, pricesFolder);
  }
  std::lock_guard<std::mutex> lock(m_listLock);
  std::unordered_set<std::string> urls;
  for (const TaskPtr& task : m_tasks) urls.insert(FoldCase(task->GetUrl()));
  for (TaskPtr& task : loaded) {
    if (urls.insert(FoldCase(task->GetUrl())).second) m_tasks.push_back(std::move(task));
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
        it = m_tasks.erase(it);
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
      m_tasks.push_back(std::move(task));
      changed = true;
    }
  }
  m_base = std::move(theirValues);
}

bool CTaskList::TakeInFile(const std::string& path, Merged& merged) {
  const FileStamp now = StampOf(path);
  if (m_stampKnown && now == m_stamp) return true;
  std::vector<TaskPtr> theirs;
  bool exists = false;
  if (!ReadFile(path, theirs, exists)) {
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
  m_stamp = StampOf(path);
  m_stampKnown = true;
  return true;
}

std::string CTaskList::FileText(SavedValues* written) const {
  std::lock_guard<std::mutex> lock(m_listLock);
  std::string text;
  text.reserve(m_lastFileSize + m_lastFileSize / 8);
  text = kTasksHead;
  CTaskValues values;
  for (const TaskPtr& task : m_tasks) {
    task->AppendXml(text, written ? &values : nullptr);
    if (written) written->insert_or_assign(FoldCase(values.url), values);
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
    // snapshot is never renamed over a newer one.
    std::lock_guard<std::mutex> saving(m_saveLock);
    listener = m_mergeListener;
    FileLock fileLock(path + ".lock");
    if (TakeInFile(path, merged)) {
      SavedValues written;
      saved = WriteFileAtomic(path, FileText(&written));
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
    FileLock fileLock(path + ".lock");
    TakeInFile(path, merged);
  }
  if (merged.changed && listener) listener(merged.added, merged.removed);
  return merged.changed;
}

std::string CTaskList::SetAsideFile() const {
  std::lock_guard<std::mutex> saving(m_saveLock);
  return m_setAside;
}

void CTaskList::SetMergeListener(MergeListener listener) {
  std::lock_guard<std::mutex> saving(m_saveLock);
  m_mergeListener = std::move(listener);
}
