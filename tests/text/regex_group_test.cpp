#include <string>

#include "text/regex_table.h"

namespace {

TEST(RegexGroup, NumberingAndNames) {
  CheckCases({
      {"(a)|b", 0, "b", -1, "1 1 0 1 -1 -1"},
      {"(a)(b)?", 0, "a", -1, "1 2 0 1 0 1 -1 -1"},
      {"((a)(b))", 0, "ab", -1, "1 3 0 2 0 2 0 1 1 2"},
      {"(?:a)(b)", 0, "ab", -1, "1 1 0 2 1 2"},
      {"(?<x>a)(b)", 0, "ab", -1, "1 2 0 2 1 2 0 1"},
      {"(?'x'a)(b)", 0, "ab", -1, "1 2 0 2 1 2 0 1"},
      {"(?P<x>a)(b)", 0, "ab", -1, "1 2 0 2 1 2 0 1"},
      {"(?P'x'a)(b)", 0, "ab", -1, "1 2 0 2 1 2 0 1"},
      {"(?<x>a)|(?<X>b)", 0, "b", -1, "1 1 0 1 0 1"},
      {"(?<y>a)(?<x>b)(?<y>c)?", 0, "ab", -1, "1 2 0 2 0 1 1 2"},
      {"(?<3>a)", 0, "a", -1, "1 3 0 1 -1 -1 -1 -1 0 1"},
      {"(a)(?<1>b)", 0, "ab", -1, "1 1 0 2 1 2"},
      {"()", 0, "", -1, "1 1 0 0 0 0"},
      {"(a)(?:b(c))", 0, "abc", -1, "1 2 0 3 0 1 2 3"},
  });
}

TEST(RegexGroup, UnbalancedParentheses) {
  CheckCases({
      {"a)b", 0, "ab", -1, "1 0 0 1"},
      {"(ab", 0, "xab", -1, "1 1 1 3 1 3"},
      {"((a", 0, "a", -1, "1 2 0 1 0 1 0 1"},
      {"(a|b", 0, "b", -1, "1 1 0 1 0 1"},
      {")", 0, "x", -1, "1 0 0 0"},
      {"(?:a", 0, "a", -1, "1 0 0 1"},
      {"(?", 0, "a", -1, "1 0 0 0"},
      {"(?<x", 0, "a", -1, "1 1 0 0 0 0"},
  });
}

TEST(RegexGroup, InlineFlags) {
  CheckCases({
      {"(?i)abc", 0, "ABC", -1, "1 0 0 3"},
      {"(?i:a)b", 0, "Ab", -1, "1 0 0 2"},
      {"(?i:a)b", 0, "AB", -1, "none"},
      {"a(?i)b|c", 0, "C", -1, "1 0 0 1"},
      {"(a(?i)b)c", 0, "aBC", -1, "none"},
      {"(a(?i)b)c", 0, "aBc", -1, "1 1 0 3 0 2"},
      {"(?-i)a", 8, "A", -1, "none"},
      {"(?I)a", 0, "A", -1, "1 0 0 1"},
      {"(?i-i)a", 0, "A", -1, "none"},
      {"(?s).", 0, "\n", -1, "1 0 0 1"},
      {"(?-s).", 1, "\n", -1, "none"},
      {"(?m)^b", 0, "a\nb", -1, "1 0 2 3"},
      {"(?xyz)a", 0, "a", -1, "1 0 0 1"},
      {"a(?i)*b", 0, "b", -1, "none"},
      {"(?i)*a", 0, "*A", -1, "1 0 1 2"},
      {"(?g)\\Ga", 0, "ba", -1, "none"},
      {"a(?#comment)b", 0, "ab", -1, "1 0 0 2"},
      {"a(?#unclosed", 0, "ab", -1, "1 0 0 1"},
  });
}

TEST(RegexGroup, AtomicGroups) {
  CheckCases({
      {"(?>a|ab)c", 0, "abc", -1, "none"},
      {"(?>ab|a)c", 0, "abc", -1, "1 0 0 3"},
      {"(?>a+)a", 0, "aaa", -1, "none"},
      {"(?>(a+))b", 0, "aab", -1, "1 1 0 3 0 2"},
      {"(?>x(a)|x)b", 0, "xb xab", -1, "1 1 0 2 -1 -1"},
      {"(?>.*?)x", 0, "ax", -1, "1 0 1 2"},
  });
}

TEST(RegexGroup, DeepNestingCompilesAndMatches) {
  const int depth = 5000;
  std::string pattern = std::string(depth, '(') + "a" + std::string(depth, ')');
  CRegexPattern p;
  p.SetPattern(pattern, 0);
  CRegexMatch m = p.Search("xa");
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.HighestGroup(), depth);
  EXPECT_EQ(m.GroupBegin(depth), 1);
  EXPECT_EQ(m.GroupEnd(depth), 2);
  EXPECT_EQ(m.GroupBegin(1), 1);

  // Unclosed groups are closed at the end, however many there are.
  p.SetPattern(std::string(100000, '(') + "b", 0);
  m = p.Search("ab");
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.MatchBegin(), 1);

  p.SetPattern(std::string(20000, '(') + "?:a|" + std::string(20000, ')') + "*", 0);
  EXPECT_TRUE(p.Search("aaa").Found());
}

}  // namespace
