#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/task.h"
#include "engine/tasklist.h"

class CPriceInfo;

// Tasks in and out of the program: every saved field of a task, and in JSON
// its price history too. JSON files read back to the same tasks and
// histories; CSV files (UTF-8 with a byte-order mark, RFC 4180 quoting) are
// for spreadsheets and read back without histories.

struct ExportedTask {
  CTaskValues values;
  std::shared_ptr<CPriceInfo> history;  // null: none
};

std::string ExportJson(const std::vector<ExportedTask>& tasks);
std::string ExportCsv(const std::vector<ExportedTask>& tasks);

// Reads an exported file (JSON when its first character other than white
// space or a byte-order mark is "{", else CSV). False with `error` naming
// the line or entry that is wrong; then `tasks` is empty. A link with a
// control character is wrong. Files beyond the limits below are refused
// whole: what they would cost in memory and time grows with them.
inline constexpr size_t kMaxImportBytes = size_t{64} << 20;
inline constexpr size_t kMaxImportedTasks = 5000;
inline constexpr int kMaxImportDepth = 64;
inline constexpr size_t kMaxImportValues = size_t{8} << 20;  // JSON values
bool ReadExportedTasks(const std::string& bytes, std::vector<ExportedTask>& tasks,
                       std::string& error);

// The list's tasks as entries; with histories, each one's history file of
// productprices/ in the program directory, where there is one.
std::vector<ExportedTask> CollectExportedTasks(const CTaskList& tasks, bool withHistories);

// Offers each entry, as a new task, to `add` (the list's own add: false for
// a link already tracked). A taken task's history is written first where
// the product has no history file yet.
struct ImportOutcome {
  std::vector<TaskPtr> added;
  std::vector<bool> taken;  // per entry, in the file's order
};
ImportOutcome ImportExportedTasks(const std::vector<ExportedTask>& entries, const CTaskList& list,
                                  const std::function<bool(const TaskPtr&)>& add);
