#include <string>

#include "text/regex_table.h"

namespace {

TEST(RegexRecursion, WholeExpressionAndGroups) {
  CheckCases({
      {"\\((?:[^()]|(?R))*\\)", 0, "x(a(b)c)", -1, "1 0 1 8"},
      {"\\((?:[^()]|(?0))*\\)", 0, "x((a)", -1, "1 0 2 5"},
      {"(a(?1)?b)", 0, "aabb", -1, "1 1 0 4 0 4"},
      {"(a(?1)?b)", 0, "aaabbb", -1, "1 1 0 6 0 6"},
      {"(a(?R1)?b)", 0, "aabb", -1, "1 1 0 4 0 4"},
      {"(a)(?1)", 0, "aa", -1, "1 1 0 2 1 2"},
      {"(?1)(a)", 0, "aa", -1, "1 1 0 2 1 2"},
      {"(?<p>x|\\((?R<p>)\\))", 0, "((x))", -1, "1 1 0 5 0 5"},
      {"(?<p>x|\\((?R'P')\\))", 0, "((x))", -1, "1 1 0 5 0 5"},
      {"(?2)", 0, "a", -1, "none"},
      {"(?R<nope>)a", 0, "a", -1, "none"},
      {"(a){0}(?1)", 0, "a", -1, "1 1 0 1 0 1"},
      {"^(a|b(?1)c)$", 0, "bbacc", -1, "1 1 0 5 0 5"},
  });
}

TEST(RegexRecursion, CountedLoopsKeepTheirCountAcrossACall) {
  CheckCases({
      {"(\\((?:a|(?1)){2}\\))", 0, "(a(aa))", -1, "1 1 0 7 0 7"},
      {"(\\((?:a|(?1)){2}\\))", 0, "((aa)a)", -1, "1 1 0 7 0 7"},
      {"(\\((?:a|(?1)){2}\\))", 0, "((aa))", -1, "1 1 1 5 1 5"},
  });
}

TEST(RegexRecursion, LeftRecursionEnds) {
  CheckCases({
      {"(?R)", 0, "a", -1, "none"},
      {"(?R)?a", 0, "a", -1, "1 0 0 1"},
      {"a|(?R)b", 0, "ab", -1, "1 0 0 1"},
      {"(a|(?1)b)", 0, "abb", -1, "1 1 0 1 0 1"},
  });
}

}  // namespace
