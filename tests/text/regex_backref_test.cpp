#include <string>

#include "text/regex_table.h"

namespace {

TEST(RegexBackref, ByNumberAndName) {
  CheckCases({
      {"(?<Price>\\d+)-\\k<price>", 0, "12-12", -1, "1 1 0 5 0 2"},
      {"(?<Price>\\d+)-\\k<price>", 0, "12-13", -1, "none"},
      {"(?<x>a)\\k'x'", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(?<x>a)\\g<x>", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(?<x>a)\\g'X'", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(a)\\k1", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(a)\\g1", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(a)\\k<1>", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(a)\\1", 0, "aa", -1, "1 1 0 2 0 1"},
      {"(a)\\1", 0, "aA", -1, "none"},
      {"(a)\\1", 8, "aA", -1, "1 1 0 2 0 1"},
      {"(?i)(a)\\1", 0, "Aa", -1, "1 1 0 2 0 1"},
      {"(a*)b\\1", 0, "aabaa", -1, "1 1 0 5 0 2"},
      {"(a*)b\\1$", 0, "aaba", -1, "1 1 1 4 1 2"},
      {"(\\w+)\\s\\1", 0, "hello hello", -1, "1 1 0 11 0 5"},
  });
}

TEST(RegexBackref, MissingGroupsNeverMatch) {
  CheckCases({
      {"\\1(a)", 0, "aa", -1, "none"},
      {"(a)?b\\1", 0, "b", -1, "none"},
      {"(a)\\2", 0, "aa", -1, "none"},
      {"(a)\\10", 0, "aa0", -1, "none"},
      {"\\k<nope>a", 0, "a", -1, "none"},
      {"\\k<nope>|a", 0, "a", -1, "1 0 0 1"},
      {"(a)|\\1b", 0, "b", -1, "none"},
      {"\\k", 0, "k", -1, "1 0 0 1"},
      {"\\gx", 0, "gx", -1, "1 0 0 2"},
  });
}

TEST(RegexBackref, EmptyCaptureMatchesEmpty) {
  CheckCases({
      {"(a*)\\1b", 0, "b", -1, "1 1 0 1 0 0"},
      {"(?:(a)|b)\\1", 0, "b", -1, "none"},
      {"(a)|(b)\\1", 0, "b", -1, "none"},
  });
}

}  // namespace
