#include "base/autostart.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "base/files.h"
#include "base/message.h"
#include "base/stringtable.h"

namespace {

constexpr char kFileName[] = "Vantrel.desktop";

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string AutoStartFolder() {
  // XDG: a relative XDG_CONFIG_HOME is invalid and must be ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    return WithoutTrailingSlashes(config) + "/autostart/";
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return WithoutTrailingSlashes(home) + "/.config/autostart/";
  return std::string();
}

// One argument of an Exec line: always quoted, with the four characters that
// stay special inside quotes escaped, and "%" doubled so that it is no field
// code.
std::string QuoteExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

// A desktop-file string value: backslashes and control characters escaped.
std::string EscapeValue(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string UnescapeValue(const std::string& value) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        text += ' ';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      case 'r':
        text += '\r';
        break;
      default:
        text += value[i];
    }
  }
  return text;
}

// The arguments of an unescaped Exec value, quotes and "%%" undone.
std::vector<std::string> SplitExec(const std::string& command) {
  std::vector<std::string> arguments;
  std::string current;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '%' && i + 1 < command.size() && command[i + 1] == '%') {
        current += command[++i];
      } else {
        if (c == '\\' && i + 1 < command.size()) ++i;
        current += command[i];
      }
    } else if (c == ' ' || c == '\t') {
      if (inWord) arguments.push_back(current);
      current.clear();
      inWord = false;
      continue;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '%' && i + 1 < command.size() && command[i + 1] == '%') {
      current += command[++i];
    } else {
      current += c;
    }
    inWord = true;
  }
  if (inWord) arguments.push_back(current);
  return arguments;
}

// The raw value of a key of the main group; later groups (actions) are
// skipped.
std::string DesktopEntryValue(const std::string& file, const std::string& key) {
  std::istringstream lines(file);
  std::string line;
  bool inMainGroup = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup || line.compare(0, key.size(), key) != 0) continue;
    size_t at = key.size();
    while (at < line.size() && line[at] == ' ') ++at;
    if (at < line.size() && line[at] == '=') {
      ++at;
      while (at < line.size() && line[at] == ' ') ++at;
      return line.substr(at);
    }
  }
  return std::string();
}

std::string DesktopFileText() {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         EscapeValue(LoadStringUtf8(IDS_APP_TITLE)) +
         "\n"
         "Exec=" +
         AutoStartExec(RunningProgramPath()) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace

std::string AutoStartExec(const std::string& programPath) {
  return EscapeValue(QuoteExecArgument(programPath) + " hidewnd");
}

std::vector<std::string> ParseExec(const std::string& execValue) {
  return SplitExec(UnescapeValue(execValue));
}

std::string AutoStartFilePath() {
  const std::string folder = AutoStartFolder();
  return folder.empty() ? folder : folder + kFileName;
}

std::string RunningProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

bool IsAutoStartEnabled() {
  const std::string program = RunningProgramPath();
  std::string file;
  if (program.empty() || !ReadWholeFile(AutoStartFilePath(), file)) return false;
  if (DesktopEntryValue(file, "Hidden") == "true") return false;
  std::string command;
  for (const std::string& argument : ParseExec(DesktopEntryValue(file, "Exec")))
    command += (command.empty() ? "" : " ") + argument;
  return command.find(program) != std::string::npos;
}

unsigned SetAutoStart(bool on) {
  if (on) ShowMessage(IDS_AUTOSTART_WARNING, kMessageInfo);
  const std::string folder = AutoStartFolder();
  if (folder.empty()) return 0;
  const std::string path = folder + kFileName;
  if (!on) {
    // Nothing to remove is what was asked for.
    DeleteFile(path);
    return FileExists(path) ? IDS_AUTOSTART_OFF_FAILED : IDS_AUTOSTART_OFF_OK;
  }
  if (!MakeDirectories(folder)) return 0;
  const std::string program = RunningProgramPath();
  if (program.empty() || !WriteFileAtomic(path, DesktopFileText())) return IDS_AUTOSTART_ON_FAILED;
  return IDS_AUTOSTART_ON_OK;
}

void OfferAutoStart() {
  if (IsAutoStartEnabled()) return;
  if (ShowMessage(IDS_AUTOSTART_OFFER, kMessageQuestion) == IDYES) SetAutoStart(true);
}
