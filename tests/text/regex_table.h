#pragma once

// Table-driven checks for the regular-expression engine: each row names a
// pattern, flags, a text and a start position, and the match array expected
// in the form vantrelctl prints it ("1 H b0 e0 ... bH eH", or "none").

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/regex.h"

struct RegexCase {
  std::string pattern;
  int flags;
  std::string text;
  int start;
  std::string expected;
};

inline std::string MatchText(const CRegexMatch& match) {
  if (!match.Found()) return "none";
  std::string out;
  for (int v : match.Array()) {
    if (!out.empty()) out += ' ';
    out += std::to_string(v);
  }
  return out;
}

inline std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

inline std::string RunCase(const std::string& pattern, int flags, const std::string& text,
                           int start) {
  CRegexPattern compiled;
  compiled.SetPattern(pattern.data(), pattern.size(), flags);
  return MatchText(compiled.SearchBytes(text.data(), text.size(), start));
}

inline void CheckCases(const std::vector<RegexCase>& cases) {
  for (const RegexCase& c : cases) {
    EXPECT_EQ(RunCase(c.pattern, c.flags, c.text, c.start), c.expected)
        << "pattern \"" << Printable(c.pattern) << "\" flags " << c.flags << " text \""
        << Printable(c.text) << "\" start " << c.start;
  }
}
