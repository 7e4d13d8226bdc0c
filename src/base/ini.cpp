#include "base/ini.h"

#include <strings.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "base/files.h"

namespace {

// One lock for every INI file: reads and writes are short and rare, and a
// write is read-modify-write of the whole file.
std::mutex g_iniLock;

const char* kBlanks = " \t\r\n";

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(kBlanks);
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

struct IniLines {
  std::vector<std::string> lines;  // without their line ends
  bool crlf = true;                // a file written with bare "\n" keeps them
};

IniLines ReadLines(const std::string& file) {
  IniLines ini;
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return ini;
  if (bytes.find("\r\n") == std::string::npos && bytes.find('\n') != std::string::npos)
    ini.crlf = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ini.lines.push_back(line);
    pos = end + 1;
  }
  return ini;
}

bool WriteLines(const std::string& file, const IniLines& ini) {
  std::string bytes;
  for (const std::string& line : ini.lines) {
    bytes += line;
    bytes += ini.crlf ? "\r\n" : "\n";
  }
  return WriteFileAtomic(file, bytes, 0600);
}

std::optional<std::string> SectionName(const std::string& line) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return std::nullopt;
  size_t close = t.find(']');
  return Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

bool KeyOfLine(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Lines [begin, end) of the section's body; begin is npos when it is missing.
struct SectionRange {
  size_t header = std::string::npos;
  size_t end = 0;
};

SectionRange FindSection(const IniLines& ini, const std::string& section) {
  SectionRange range;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    auto name = SectionName(ini.lines[i]);
    if (!name) continue;
    if (range.header != std::string::npos) {
      range.end = i;
      return range;
    }
    if (SameName(*name, section)) range.header = i;
  }
  range.end = ini.lines.size();
  return range;
}

std::optional<size_t> FindKey(const IniLines& ini, const SectionRange& range,
                              const std::string& key) {
  if (range.header == std::string::npos) return std::nullopt;
  std::string k, v;
  for (size_t i = range.header + 1; i < range.end; ++i)
    if (KeyOfLine(ini.lines[i], k, v) && SameName(k, key)) return i;
  return std::nullopt;
}

std::optional<std::string> ReadValue(const std::string& file, const std::string& section,
                                     const std::string& key) {
  std::lock_guard lock(g_iniLock);
  IniLines ini = ReadLines(file);
  auto line = FindKey(ini, FindSection(ini, section), key);
  if (!line) return std::nullopt;
  std::string k, v;
  KeyOfLine(ini.lines[*line], k, v);
  return Unquote(v);
}

}  // namespace

std::string IniGetString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  return ReadValue(file, section, key).value_or(defaultValue);
}

int IniGetInt(const std::string& file, const std::string& section, const std::string& key,
              int defaultValue) {
  auto value = ReadValue(file, section, key);
  if (!value) return defaultValue;
  return static_cast<int>(std::strtol(value->c_str(), nullptr, 10));
}

bool IniTextWritable(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  if (!IniTextWritable(section) || !IniTextWritable(key) || !IniTextWritable(value)) return false;
  std::lock_guard lock(g_iniLock);
  IniLines ini = ReadLines(file);
  SectionRange range = FindSection(ini, section);
  std::string line = key + "=" + value;
  if (range.header == std::string::npos) {
    ini.lines.push_back("[" + section + "]");
    ini.lines.push_back(line);
  } else if (auto at = FindKey(ini, range, key)) {
    ini.lines[*at] = line;
  } else {
    size_t insert = range.end;
    while (insert > range.header + 1 && Trim(ini.lines[insert - 1]).empty()) --insert;
    ini.lines.insert(ini.lines.begin() + static_cast<long>(insert), line);
  }
  return WriteLines(file, ini);
}

bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key) {
  std::lock_guard lock(g_iniLock);
  IniLines ini = ReadLines(file);
  auto at = FindKey(ini, FindSection(ini, section), key);
  if (!at) return true;
  ini.lines.erase(ini.lines.begin() + static_cast<long>(*at));
  return WriteLines(file, ini);
}

bool IniDeleteSection(const std::string& file, const std::string& section) {
  std::lock_guard lock(g_iniLock);
  IniLines ini = ReadLines(file);
  SectionRange range = FindSection(ini, section);
  if (range.header == std::string::npos) return true;
  ini.lines.erase(ini.lines.begin() + static_cast<long>(range.header),
                  ini.lines.begin() + static_cast<long>(range.end));
  return WriteLines(file, ini);
}
