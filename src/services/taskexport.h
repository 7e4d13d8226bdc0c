#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/task.h"

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
// the line or entry that is wrong; then `tasks` is empty.
bool ReadExportedTasks(const std::string& bytes, std::vector<ExportedTask>& tasks,
                       std::string& error);
