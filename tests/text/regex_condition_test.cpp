#include <string>

#include "text/regex_table.h"

namespace {

TEST(RegexCondition, ByGroup) {
  CheckCases({
      {"(a)?(?(1)b|c)", 0, "ab", -1, "1 1 0 2 0 1"},
      {"(a)?(?(1)b|c)", 0, "c", -1, "1 1 0 1 -1 -1"},
      {"(a)?(?(1)b|c)", 0, "ac", -1, "1 1 1 2 -1 -1"},
      {"(?<n>a)?(?(n)b|c)", 0, "c", -1, "1 1 0 1 -1 -1"},
      {"(?<n>a)?(?(<n>)b|c)", 0, "ab", -1, "1 1 0 2 0 1"},
      {"(?<n>a)?(?('N')b|c)", 0, "ab", -1, "1 1 0 2 0 1"},
      {"(a)?(?(1)b)c", 0, "c", -1, "1 1 0 1 -1 -1"},
      {"(?(1)a|b|c)", 0, "c", -1, "1 0 0 1"},
      {"(?(1)a|b)", 0, "b", -1, "1 0 0 1"},
      {"(?(x)a|b)(?<x>c)", 0, "bc", -1, "1 1 0 2 1 2"},
      {"(a)?(?(1)(?:b|c)|d)", 0, "ac", -1, "1 1 0 2 0 1"},
  });
}

TEST(RegexCondition, ByAssertion) {
  CheckCases({
      {"(?(?=a)ab|cd)", 0, "cd", -1, "1 0 0 2"},
      {"(?(?=a)ab|cd)", 0, "ab", -1, "1 0 0 2"},
      {"(?(?!a)cd|ab)", 0, "ab", -1, "1 0 0 2"},
      {"(?(?<=x)a|b)", 0, "xa b", -1, "1 0 1 2"},
      {"(?(?<!x)b|a)", 0, "xa b", -1, "1 0 1 2"},
      {"(?(?=(a))a\\1|b)", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(?(?!(a))b|a)", 0, "a", -1, "1 1 0 1 -1 -1"},
      // Text that names no group is a look-ahead.
      {"(?(ab)ab|cd)", 0, "ab", -1, "1 0 0 2"},
      {"(?(ab)ab|cd)", 0, "cd", -1, "1 0 0 2"},
      {"(?(a|c)\\w\\w|x)", 0, "cd", -1, "1 0 0 2"},
  });
}

TEST(RegexCondition, BacktrackingStaysInTheChosenBranch) {
  CheckCases({
      {"(?:(?(?=a)a|ab))c", 0, "abc", -1, "none"},
      {"(?:a|ab)c", 0, "abc", -1, "1 0 0 3"},
      {"(?(?=a)(?:a|ab))c", 0, "abc", -1, "1 0 0 3"},
  });
}

}  // namespace
