#include "services/taskexport.h"

#include <cstdlib>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "engine/tasklist.h"
#include "services/history.h"
#include "services/historyfile.h"

namespace {

using nlohmann::json;

// A saved field of a task, under its tasks.xml name.
struct ExportField {
  const char* name;
  std::variant<std::string CTaskValues::*, int CTaskValues::*, bool CTaskValues::*> member;
};

const ExportField kFields[] = {
    {"Url", &CTaskValues::url},
    {"SiteName", &CTaskValues::siteName},
    {"SiteDomain", &CTaskValues::siteDomain},
    {"ProductName", &CTaskValues::productName},
    {"ProductID", &CTaskValues::productId},
    {"ImageLink", &CTaskValues::imageLink},
    {"CurrentPrice", &CTaskValues::currentPrice},
    {"Currency", &CTaskValues::currency},
    {"CurrentStock", &CTaskValues::currentStock},
    {"TargetPrice", &CTaskValues::targetPrice},
    {"DropPercent", &CTaskValues::dropPercent},
    {"FrequencyHour", &CTaskValues::frequencyHour},
    {"FrequencyMinute", &CTaskValues::frequencyMinute},
    {"Status", &CTaskValues::status},
    {"TrackPrice", &CTaskValues::trackPrice},
    {"TrackStock", &CTaskValues::trackStock},
    {"PriceDown", &CTaskValues::priceDown},
    {"PriceUp", &CTaskValues::priceUp},
    {"LastUpdate", &CTaskValues::lastUpdate},
    {"GotoUrl", &CTaskValues::gotoUrl},
};

constexpr const char* kBom = "\xEF\xBB\xBF";

std::string Text(const std::string& local) { return LocalToUtf8(local); }

json HistoryJson(const CPriceInfo& history) {
  json points = json::array();
  for (const CPriceInfoItem& item : history.Items())
    points.push_back({{"Date", Text(item.date)}, {"Price", Text(item.price)}});
  return {{"LowestDate", Text(history.GetLowestDate())},
          {"LowestPrice", Text(history.GetLowestPrice())},
          {"HighestDate", Text(history.GetHighestDate())},
          {"HighestPrice", Text(history.GetHighestPrice())},
          {"Points", points}};
}

// The text of a field for CSV: flags "true"/"false", numbers in decimal.
std::string FieldText(const CTaskValues& values, const ExportField& field) {
  if (auto text = std::get_if<std::string CTaskValues::*>(&field.member))
    return Text(values.**text);
  if (auto number = std::get_if<int CTaskValues::*>(&field.member))
    return std::to_string(values.**number);
  return values.*std::get<bool CTaskValues::*>(field.member) ? "true" : "false";
}

// Whether a spreadsheet would run the cell as a formula once the quotes that
// guard it are taken away.
bool StartsLikeFormula(const std::string& text) {
  const size_t start = text.find_first_not_of('\'');
  return start != std::string::npos &&
         std::string_view("=+-@\t\r").find(text[start]) != std::string_view::npos;
}

std::string CsvCell(std::string text) {
  // One more "'" guards the cell; reading takes exactly one away again.
  if (StartsLikeFormula(text)) text.insert(0, 1, '\'');
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Sets a field from a text of the file; false when it is no such value.
bool SetField(CTaskValues& values, const ExportField& field, const std::string& utf8) {
  if (auto text = std::get_if<std::string CTaskValues::*>(&field.member)) {
    values.** text = Utf8ToLocal(utf8);
    return true;
  }
  if (auto number = std::get_if<int CTaskValues::*>(&field.member)) {
    char* end = nullptr;
    const long value = std::strtol(utf8.c_str(), &end, 10);
    if (utf8.empty() || *end != '\0' || value < -1 || value > 1000000) return false;
    values.** number = static_cast<int>(value);
    return true;
  }
  if (utf8 != "true" && utf8 != "false") return false;
  values.*std::get<bool CTaskValues::*>(field.member) = utf8 == "true";
  return true;
}

// What makes an entry unusable whatever its other fields say; empty when
// nothing does. A control character in a link would reach requests, files
// and the lines the command line prints.
std::string EntryProblem(const CTaskValues& values) {
  if (values.url.empty()) return "no Url";
  for (unsigned char c : values.url)
    if (c < 0x20 || c == 0x7F) return "its Url holds a control character";
  return std::string();
}

bool ReadJsonField(const json& entry, CTaskValues& values, const ExportField& field,
                   std::string& error) {
  auto found = entry.find(field.name);
  if (found == entry.end()) return true;  // a missing field keeps its default
  bool ok = false;
  if (std::holds_alternative<std::string CTaskValues::*>(field.member))
    ok = found->is_string() && SetField(values, field, found->get<std::string>());
  else if (std::holds_alternative<int CTaskValues::*>(field.member))
    ok = found->is_number_integer() &&
         SetField(values, field, std::to_string(found->get<long long>()));
  else
    ok = found->is_boolean() && SetField(values, field, found->get<bool>() ? "true" : "false");
  if (!ok) error = std::string("field ") + field.name + " has a wrong value";
  return ok;
}

bool ReadHistory(const json& history, CPriceInfo& info, std::string& error) {
  auto text = [&](const json& object, const char* key, std::string& out) {
    auto found = object.find(key);
    if (found == object.end()) return true;
    if (!found->is_string()) return false;
    out = Utf8ToLocal(found->get<std::string>());
    return true;
  };
  CPriceInfoItem lowest, highest;
  bool ok = history.is_object() && text(history, "LowestDate", lowest.date) &&
            text(history, "LowestPrice", lowest.price) &&
            text(history, "HighestDate", highest.date) &&
            text(history, "HighestPrice", highest.price);
  auto points = ok ? history.find("Points") : history.end();
  if (ok && points != history.end()) {
    ok = points->is_array();
    std::vector<CPriceInfoItem> items;
    for (size_t i = 0; ok && i < points->size(); ++i) {
      const json& point = (*points)[i];
      CPriceInfoItem item;
      ok = point.is_object() && text(point, "Date", item.date) && text(point, "Price", item.price);
      if (ok) items.push_back(std::move(item));
    }
    if (ok) info.AddItems(items);
  }
  if (!ok) {
    error = "its History is not a price history";
    return false;
  }
  info.SetSummary(lowest, highest);
  return true;
}

std::string TooManyTasks() { return "more than " + std::to_string(kMaxImportedTasks) + " tasks"; }

size_t LineOfByte(const std::string& bytes, size_t byte) {
  size_t line = 1;
  for (size_t i = 0; i < byte && i < bytes.size(); ++i)
    if (bytes[i] == '\n') ++line;
  return line;
}

// Thrown by the parser's callback to stop a document that would cost too much.
struct JsonBeyondLimits {
  std::string what;
};

// The document is built in memory: every level and every value costs, so
// both are counted while it is read and the reading stops at a limit.
json::parser_callback_t JsonLimits(size_t& values) {
  return [&values](int depth, json::parse_event_t event, json&) {
    const bool opens =
        event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    if (opens && depth > kMaxImportDepth)
      throw JsonBeyondLimits{"nested deeper than " + std::to_string(kMaxImportDepth) + " levels"};
    if ((opens || event == json::parse_event_t::value) && ++values > kMaxImportValues)
      throw JsonBeyondLimits{"more than " + std::to_string(kMaxImportValues) + " values"};
    return true;
  };
}

bool ReadJson(const std::string& bytes, std::vector<ExportedTask>& tasks, std::string& error) {
  json document;
  size_t values = 0;
  try {
    document = json::parse(bytes, JsonLimits(values));
  } catch (const json::parse_error& problem) {
    error = "line " + std::to_string(LineOfByte(bytes, problem.byte)) + ": not valid JSON";
    return false;
  } catch (const JsonBeyondLimits& beyond) {
    error = beyond.what;
    return false;
  } catch (const std::exception&) {
    error = "too large to read";
    return false;
  }
  auto list = document.is_object() ? document.find("Tasks") : document.end();
  if (list == document.end() || !list->is_array()) {
    error = "no \"Tasks\" list";
    return false;
  }
  if (list->size() > kMaxImportedTasks) {
    error = TooManyTasks();
    return false;
  }
  for (size_t i = 0; i < list->size(); ++i) {
    const json& entry = (*list)[i];
    const std::string where = "entry " + std::to_string(i + 1) + ": ";
    if (!entry.is_object()) {
      error = where + "not an object";
      return false;
    }
    ExportedTask task;
    for (const ExportField& field : kFields) {
      if (!ReadJsonField(entry, task.values, field, error)) {
        error = where + error;
        return false;
      }
    }
    if (const std::string problem = EntryProblem(task.values); !problem.empty()) {
      error = where + problem;
      return false;
    }
    auto history = entry.find("History");
    if (history != entry.end() && !history->is_null()) {
      task.history = std::make_shared<CPriceInfo>();
      if (!ReadHistory(*history, *task.history, error)) {
        error = where + error;
        return false;
      }
    }
    tasks.push_back(std::move(task));
  }
  return true;
}

// RFC 4180 records; false (with the line) for a quote left open or text
// after a closing quote.
bool SplitCsv(const std::string& text, std::vector<std::vector<std::string>>& rows,
              std::vector<size_t>& lines, std::string& error) {
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, afterQuote = false, any = false;
  size_t line = 1, rowLine = 1;
  // Rows and cells are held in memory: a file beyond what any task list has
  // is refused while it is read (the header is one row more).
  auto endRow = [&] {
    row.push_back(std::move(cell));
    rows.push_back(std::move(row));
    lines.push_back(rowLine);
    if (rows.size() <= kMaxImportedTasks + 1) return true;
    error = TooManyTasks();
    return false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
        afterQuote = true;
      } else {
        if (c == '\n') ++line;
        cell += c;
      }
      continue;
    }
    if (c == '"' && cell.empty() && !afterQuote) {
      quoted = any = true;
    } else if (c == ',') {
      row.push_back(std::move(cell));
      cell.clear();
      afterQuote = false;
      any = true;
      if (row.size() >= std::size(kFields)) {
        error = "line " + std::to_string(rowLine) + ": more cells than there are columns";
        return false;
      }
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if ((any || !cell.empty()) && !endRow()) return false;
      row.clear();
      cell.clear();
      afterQuote = any = false;
      rowLine = ++line;
    } else if (afterQuote) {
      error = "line " + std::to_string(line) + ": text after a closing quote";
      return false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (quoted) {
    error = "line " + std::to_string(rowLine) + ": a quote is never closed";
    return false;
  }
  return !(any || !cell.empty()) || endRow();
}

bool ReadCsv(const std::string& bytes, std::vector<ExportedTask>& tasks, std::string& error) {
  std::vector<std::vector<std::string>> rows;
  std::vector<size_t> lines;
  if (!SplitCsv(bytes, rows, lines, error)) return false;
  if (rows.empty()) {
    error = "line 1: no header";
    return false;
  }
  std::vector<const ExportField*> columns;
  for (const std::string& name : rows[0]) {
    const ExportField* found = nullptr;
    for (const ExportField& field : kFields)
      if (name == field.name) found = &field;
    if (!found) {
      error = "line " + std::to_string(lines[0]) + ": unknown column " + name;
      return false;
    }
    columns.push_back(found);
  }
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::string where = "line " + std::to_string(lines[r]) + ": ";
    if (rows[r].size() != columns.size()) {
      error = where + std::to_string(rows[r].size()) + " cells, the header has " +
              std::to_string(columns.size());
      return false;
    }
    ExportedTask task;
    for (size_t c = 0; c < columns.size(); ++c) {
      std::string& cell = rows[r][c];
      if (StartsLikeFormula(cell) && cell[0] == '\'') cell.erase(0, 1);
      if (!SetField(task.values, *columns[c], cell)) {
        error = where + "column " + columns[c]->name + " has a wrong value";
        return false;
      }
    }
    if (const std::string problem = EntryProblem(task.values); !problem.empty()) {
      error = where + problem;
      return false;
    }
    tasks.push_back(std::move(task));
  }
  return true;
}

}  // namespace

std::string ExportJson(const std::vector<ExportedTask>& tasks) {
  json list = json::array();
  for (const ExportedTask& task : tasks) {
    json entry = json::object();
    for (const ExportField& field : kFields) {
      if (auto text = std::get_if<std::string CTaskValues::*>(&field.member))
        entry[field.name] = Text(task.values.**text);
      else if (auto number = std::get_if<int CTaskValues::*>(&field.member))
        entry[field.name] = task.values.**number;
      else
        entry[field.name] = task.values.*std::get<bool CTaskValues::*>(field.member);
    }
    entry["History"] = task.history ? HistoryJson(*task.history) : json();
    list.push_back(std::move(entry));
  }
  json document = {{"Format", "vantrel-tasks"}, {"Version", 1}, {"Tasks", list}};
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string ExportCsv(const std::vector<ExportedTask>& tasks) {
  std::string csv = kBom;
  for (const ExportField& field : kFields)
    csv += std::string(&field == kFields ? "" : ",") + field.name;
  csv += "\r\n";
  for (const ExportedTask& task : tasks) {
    for (const ExportField& field : kFields)
      csv += (&field == kFields ? "" : ",") + CsvCell(FieldText(task.values, field));
    csv += "\r\n";
  }
  return csv;
}

bool ReadExportedTasks(const std::string& bytes, std::vector<ExportedTask>& tasks,
                       std::string& error) {
  tasks.clear();
  if (bytes.size() > kMaxImportBytes) {
    error = "larger than " + std::to_string(kMaxImportBytes >> 20) + " MB";
    return false;
  }
  std::string text = bytes.rfind(kBom, 0) == 0 ? bytes.substr(3) : bytes;
  if (!IsValidUtf8(text)) {
    error = "not UTF-8 text";
    return false;
  }
  const size_t first = text.find_first_not_of(" \t\r\n");
  const bool ok = first != std::string::npos && text[first] == '{' ? ReadJson(text, tasks, error)
                                                                   : ReadCsv(text, tasks, error);
  if (!ok) tasks.clear();
  return ok;
}

namespace {

std::string HistoryPath(const CTaskValues& values) {
  return ProgramFile("productprices/" + ProductFileKey(values.siteDomain, values.productId) +
                     ".xml");
}

}  // namespace

std::vector<ExportedTask> CollectExportedTasks(const CTaskList& tasks, bool withHistories) {
  std::vector<ExportedTask> exported;
  for (const TaskPtr& task : tasks.Tasks()) {
    ExportedTask entry{task->GetValues(), nullptr};
    auto history = std::make_shared<CPriceInfo>();
    if (withHistories && history->LoadCache(HistoryPath(entry.values))) entry.history = history;
    exported.push_back(std::move(entry));
  }
  return exported;
}

ImportOutcome ImportExportedTasks(const std::vector<ExportedTask>& entries, const CTaskList& list,
                                  const std::function<bool(const TaskPtr&)>& add) {
  ImportOutcome outcome;
  MakePrivateDirectories(ProgramFile("productprices"));
  for (const ExportedTask& entry : entries) {
    // A history file of the same product already there is the newer one.
    const std::string historyPath = HistoryPath(entry.values);
    if (entry.history && !list.FindByUrl(entry.values.url) && !FileExists(historyPath))
      SaveHistoryFile(*entry.history, historyPath);
    auto task = std::make_shared<CTask>(entry.values);
    const bool taken = add(task);
    if (taken) outcome.added.push_back(task);
    outcome.taken.push_back(taken);
  }
  return outcome;
}
