// vantrelctl regex: runs a rule pattern over a file, as extraction does.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/regex.h"
#include "tools/command.h"

namespace {

bool ParseInt(const std::string& text, int& value) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end || v < -2147483647L - 1 || v > 2147483647L) return false;
  value = static_cast<int>(v);
  return true;
}

void PrintMatch(const CRegexMatch& match) {
  std::string line;
  for (int v : match.Array()) {
    if (!line.empty()) line += ' ';
    line += std::to_string(v);
  }
  std::printf("%s\n", line.c_str());
}

int RunRegex(const std::vector<std::string>& args) {
  int flags = 0, start = -1;
  bool all = false;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (args[i] == "--flags" || args[i] == "--start") {
      int* target = args[i] == "--flags" ? &flags : &start;
      if (!TakeValue(args, i, value)) return 2;
      if (!ParseInt(value, *target)) {
        std::fprintf(stderr, "vantrelctl regex: %s is not a number\n", value.c_str());
        return 2;
      }
    } else if (args[i] == "--all") {
      all = true;
    } else if (args[i] == "--" && i + 1 < args.size()) {
      rest.insert(rest.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.empty() || rest.size() > 2) {
    std::fprintf(stderr,
                 "usage: vantrelctl regex [--flags N] [--start N] [--all] PATTERN [FILE]\n");
    return 2;
  }
  std::string text;
  if (!ReadInput(rest.size() > 1 ? rest[1] : "", text)) {
    std::fprintf(stderr, "vantrelctl regex: cannot read %s\n", rest[1].c_str());
    return 2;
  }
  CRegexPattern pattern;
  pattern.SetPattern(rest[0], flags);
  CRegexMatch match = pattern.SearchBytes(text.data(), text.size(), start);
  if (!match.Found()) {
    if (match.Status() != RegexStatus::kOk)
      std::printf("%s\n", RegexStatusText(match.Status()));
    else
      std::printf("none\n");
    return 1;
  }
  PrintMatch(match);
  while (all) {
    int next = pattern.NextStart(match);
    if (next < 0) break;
    match = pattern.SearchBytes(text.data(), text.size(), next);
    if (!match.Found()) {
      if (match.Status() == RegexStatus::kOk) break;
      std::printf("%s\n", RegexStatusText(match.Status()));
      return 1;
    }
    PrintMatch(match);
  }
  return 0;
}

}  // namespace

VANTREL_COMMAND(
    regex, "regex", "[--flags N] [--start N] [--all] PATTERN [FILE]",
    "Compiles the bytes of PATTERN with the flag mask N (default 0: 1 dot-all,\n"
    "2 multi-line, 4 global, 8 ignore case, 16 right to left, 32 extended; shop\n"
    "rules use 9) and searches the bytes of FILE (standard input when absent or\n"
    "\"-\") from position N (default -1: the beginning, the end right to left).\n"
    "Prints the match array as decimal integers separated by single blanks:\n"
    "1, the highest group number H, then begin and end of groups 0..H (-1 -1 for a\n"
    "group that took no part), or the word none; a search that gave up prints\n"
    "\"match limit exceeded\" (after 10,000,000 backtracking steps) or\n"
    "\"backtracking stack exhausted\" instead, exit status 1. --all repeats the search from\n"
    "the end of each match (one past it after an empty match; right to left from\n"
    "its begin) and prints one line per match. Exit status 0 when found, 1 when\n"
    "none, 2 for a usage error.",
    RunRegex);
