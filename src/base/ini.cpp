#include "base/ini.h"

#include <strings.h>
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
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

std::atomic<unsigned long> g_fileReads{0};

IniLines ReadLines(const std::string& file, FileStamp* stamp = nullptr) {
  IniLines ini;
  std::string bytes;
  ++g_fileReads;
  if (!ReadWholeFile(file, bytes, stamp)) return ini;
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

bool WriteLinesToFile(const std::string& file, const IniLines& ini) {
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

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

std::string ValueKey(const std::string& section, const std::string& key) {
  return Fold(section) + '\n' + Fold(key);
}

// Every value a read can find, by ValueKey: the keys of the first section of
// each name, the first of each name in it, as FindSection and FindKey find
// them.
std::unordered_map<std::string, std::string> IndexValues(const IniLines& ini) {
  std::unordered_map<std::string, std::string> values;
  std::unordered_map<std::string, bool> seen;
  std::optional<std::string> section;  // none before the first header, or in a later twin
  for (const std::string& line : ini.lines) {
    if (auto name = SectionName(line)) {
      section = seen.emplace(Fold(*name), true).second ? std::optional(*name) : std::nullopt;
      continue;
    }
    std::string k, v;
    if (section && KeyOfLine(line, k, v)) values.emplace(ValueKey(*section, k), Unquote(v));
  }
  return values;
}

// config.ini is read by every pass, for every setting and host: each file
// is parsed once and read again only when its stamp changes.
struct CachedIni {
  FileStamp stamp;
  // A file changed twice within one tick of the file clock keeps its stamp:
  // until the clock has moved past the stamp, the file is read again.
  bool settled = false;
  std::shared_ptr<const std::unordered_map<std::string, std::string>> values;
};
std::map<std::string, CachedIni> g_cache;  // under g_iniLock

int64_t FileClockNowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void CacheLocked(const std::string& file, const FileStamp& stamp, const IniLines& ini) {
  CachedIni& cached = g_cache[file];
  cached.stamp = stamp;
  cached.settled = !stamp.exists || FileClockNowNs() > std::max(stamp.mtimeNs, stamp.ctimeNs);
  cached.values =
      std::make_shared<const std::unordered_map<std::string, std::string>>(IndexValues(ini));
}

std::optional<std::string> ReadValue(const std::string& file, const std::string& section,
                                     const std::string& key) {
  // Looked at before the lock, so that the workers' reads don't queue behind
  // each other's stat; a write in between only makes the stamps differ.
  const FileStamp stamp = StampOf(file);
  std::lock_guard lock(g_iniLock);
  auto cached = g_cache.find(file);
  if (cached == g_cache.end() || !cached->second.settled || cached->second.stamp != stamp) {
    FileStamp read = stamp;
    const IniLines ini = stamp.exists ? ReadLines(file, &read) : IniLines{};
    CacheLocked(file, read, ini);
    cached = g_cache.find(file);
  }
  auto value = cached->second.values->find(ValueKey(section, key));
  if (value == cached->second.values->end()) return std::nullopt;
  return value->second;
}

bool WriteLines(const std::string& file, const IniLines& ini) {
  if (!WriteLinesToFile(file, ini)) {
    g_cache.erase(file);
    return false;
  }
  CacheLocked(file, StampOf(file), ini);
  return true;
}

}  // namespace

std::string IniGetString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  return ReadValue(file, section, key).value_or(defaultValue);
}

unsigned long IniFileReads() { return g_fileReads.load(); }

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
