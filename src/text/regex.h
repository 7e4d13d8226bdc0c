#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A backtracking regular-expression engine over 8-bit text in the local code
// page: one byte is one character, except that the ASCII digits inside a
// GB18030 four-byte character are never taken for digits and no match or
// group begins or ends inside one. Every shop rule and server reply is read
// with it.

enum RegexFlags : int {
  RX_DOT_ALL = 0x01,        // "." also matches "\n"
  RX_MULTI_LINE = 0x02,     // "^" and "$" match at line breaks
  RX_GLOBAL = 0x04,         // "\G" is active
  RX_IGNORE_CASE = 0x08,    // ASCII letters match without regard to case
  RX_RIGHT_TO_LEFT = 0x10,  // matched from right to left
  RX_EXTENDED = 0x20,       // white space ignored, "#" starts a comment
};

// A text as a pattern that matches it literally: every ASCII byte other than
// a letter or a digit is escaped; bytes of other characters stay as they are.
std::string PatternLiteral(std::string_view text);

// Why a search found nothing: it looked everywhere, or it gave up. A search
// gives up after kRegexStepLimit backtracking steps (a pattern or a text
// built to backtrack for ever) or when its backtracking points outgrow their
// memory limit; it then counts as finding nothing.
enum class RegexStatus { kOk, kMatchLimit, kStackLimit };
inline constexpr long long kRegexStepLimit = 10'000'000;
// "match limit exceeded", "backtracking stack exhausted", or "" for kOk.
const char* RegexStatusText(RegexStatus status);

// While one lives, every search on its thread that gives up tells `report`
// why (the innermost watch of the thread hears it), so that a caller deep
// below can be traced without passing results up.
class CRegexGiveUpWatch {
 public:
  explicit CRegexGiveUpWatch(std::function<void(RegexStatus)> report);
  ~CRegexGiveUpWatch();
  CRegexGiveUpWatch(const CRegexGiveUpWatch&) = delete;
  CRegexGiveUpWatch& operator=(const CRegexGiveUpWatch&) = delete;
  static void Tell(RegexStatus status);

 private:
  std::function<void(RegexStatus)> m_report;
  CRegexGiveUpWatch* m_outer;
};

// The result of a search: {1, N, begin0, end0, ..., beginN, endN}, or empty
// when nothing was found. A group that took no part has -1, -1.
class CRegexMatch {
 public:
  CRegexMatch() = default;
  explicit CRegexMatch(std::vector<int> array) : m_array(std::move(array)) {}
  explicit CRegexMatch(RegexStatus gaveUp) : m_status(gaveUp) {}

  bool Found() const { return !m_array.empty() && m_array[0] != 0; }
  RegexStatus Status() const { return m_status; }
  int MatchBegin() const { return At(2); }
  int MatchEnd() const { return At(3); }
  int GroupBegin(int n) const { return At(2 * n + 2); }
  int GroupEnd(int n) const { return At(2 * n + 3); }
  int HighestGroup() const { return At(1); }
  const std::vector<int>& Array() const { return m_array; }

 private:
  int At(int i) const {
    return i >= 0 && static_cast<size_t>(i) < m_array.size() ? m_array[static_cast<size_t>(i)] : -1;
  }
  std::vector<int> m_array;
  RegexStatus m_status = RegexStatus::kOk;
};

class RegexProgram;  // the compiled form, private to the engine

// A compiled expression. Compiling never fails: any byte string gives a
// usable expression. A compiled pattern is only read by Search, so one
// pattern may be searched from several threads at once.
class CRegexPattern {
 public:
  CRegexPattern();
  CRegexPattern(const std::string& pattern, int flags);
  ~CRegexPattern();
  CRegexPattern(CRegexPattern&&) noexcept;
  CRegexPattern& operator=(CRegexPattern&&) noexcept;
  CRegexPattern(const CRegexPattern&) = delete;
  CRegexPattern& operator=(const CRegexPattern&) = delete;

  // Discards any previous compilation and compiles `length` bytes of pattern.
  void SetPattern(const char* pattern, size_t length, int flags);
  void SetPattern(const std::string& pattern, int flags);

  // Searches the text up to its terminating zero byte from `start`; a
  // negative start means the beginning (the end when right to left).
  CRegexMatch Search(const char* text, int start = -1) const;
  CRegexMatch Search(const std::string& text, int start = -1) const;
  // The same over exactly `length` bytes, zero bytes included.
  CRegexMatch SearchBytes(const char* text, size_t length, int start = -1) const;

  // Where the row loop searches next after `match`: its end, moved on by one
  // past an empty match so that the loop cannot find the same match forever
  // (right to left: its begin, moved back by one). -1 when nothing is left.
  int NextStart(const CRegexMatch& match) const;

  int Flags() const;

 private:
  std::unique_ptr<RegexProgram> m_program;
};
