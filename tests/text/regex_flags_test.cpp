#include <string>

#include "text/regex_table.h"

namespace {

TEST(RegexFlags, IgnoreCaseAndDotAll) {
  CheckCases({
      {"abc", 8, "xAbC", -1, "1 0 1 4"},
      {"<TITLE>(.*?)</title>", 9, "<title>A\nB</TITLE>", -1, "1 1 0 18 7 10"},
      {"<title>(.*?)</title>", 8, "<title>A\nB</title>", -1, "none"},
      {"\"t\":\"(.*?)\"", 9, "{\"t\":\"a\"}", -1, "1 1 1 8 6 7"},
      {"\xc8\xfd", 8, "\xc8\xfd", -1, "1 0 0 2"},
      {"\xc8\xfd", 8, "\xe8\xfd", -1, "none"},  // only ASCII letters fold
      {"^.+@.+\\..+$", 9, "a@b.c", -1, "1 0 0 5"},
      {"^.+@.+\\..+$", 9, "a@bc", -1, "none"},
      {"^.+@.+\\..+$", 0, "a@b.c\n", -1, "none"},
      {"^.+@.+\\..+$", 9, "a@b.c\n", -1, "1 0 0 6"},
  });
}

TEST(RegexFlags, Extended) {
  CheckCases({
      {"a b # comment\n c", 32, "abc", -1, "1 0 0 3"},
      {"a\\ b", 32, "a b", -1, "1 0 0 3"},
      {"\\Qa b\\E", 32, "a b", -1, "1 0 0 3"},
      {"[a b]", 32, " ", -1, "none"},
      {"a{1, 2}", 32, "aa", -1, "1 0 0 2"},
      {"( ?:a)", 32, "a", -1, "1 0 0 1"},
      {"a#b\rc", 32, "ac", -1, "1 0 0 2"},
      {"a b", 0, "a b", -1, "1 0 0 3"},
  });
}

TEST(RegexFlags, RowLoopOverRecords) {
  CRegexPattern p;
  p.SetPattern("\"t\":\"(.*?)\"", RX_IGNORE_CASE | RX_DOT_ALL);
  std::string reply =
      "[{\"t\":\"2013-01-01\",\"p\":\"1.00\"},{\"T\":\"2013-01-02\",\"p\":\"2.00\"},{\"t\":"
      "\"x\ny\"}]";
  std::vector<std::string> values;
  for (CRegexMatch m = p.Search(reply, 0); m.Found(); m = p.Search(reply, m.MatchEnd()))
    values.push_back(reply.substr(static_cast<size_t>(m.GroupBegin(1)),
                                  static_cast<size_t>(m.GroupEnd(1) - m.GroupBegin(1))));
  EXPECT_EQ(values, (std::vector<std::string>{"2013-01-01", "2013-01-02", "x\ny"}));
}

TEST(RegexFlags, NextStartMovesPastEmptyMatches) {
  CRegexPattern p;
  p.SetPattern("x*", 0);
  std::string text = "axxb";
  std::vector<std::string> rows;
  for (CRegexMatch m = p.Search(text); m.Found(); m = p.Search(text, p.NextStart(m))) {
    rows.push_back(MatchText(m));
    ASSERT_LT(rows.size(), 10u);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"1 0 0 0", "1 0 1 3", "1 0 3 3", "1 0 4 4"}));
  p.SetPattern("x*", RX_RIGHT_TO_LEFT);
  rows.clear();
  for (CRegexMatch m = p.Search(text); m.Found(); m = p.Search(text, p.NextStart(m))) {
    rows.push_back(MatchText(m));
    ASSERT_LT(rows.size(), 10u);
    if (p.NextStart(m) < 0) break;
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"1 0 4 4", "1 0 1 3", "1 0 1 1", "1 0 0 0"}));
}

TEST(RegexFlags, SearchStopsAtTheTerminatingZero) {
  CRegexPattern p;
  p.SetPattern("b", 0);
  EXPECT_FALSE(p.Search(std::string("a\0b", 3)).Found());
  EXPECT_FALSE(p.Search("a\0b").Found());
  EXPECT_TRUE(p.SearchBytes("a\0b", 3).Found());
  EXPECT_EQ(p.Flags(), 0);
  p.SetPattern("b", 9);
  EXPECT_EQ(p.Flags(), 9);
}

TEST(RegexFlags, StartPositions) {
  CheckCases({
      {"x*", 0, "", -1, "1 0 0 0"},
      {"x*", 0, "", 1, "none"},
      {"a", 0, "aa", 5, "none"},
      {"a", 0, "aa", 1, "1 0 1 2"},
      {"a", 0, "aa", 2, "none"},
      {"", 0, "ab", 2, "1 0 2 2"},
      {"a", 16, "aa", 99, "1 0 1 2"},
      {"a", 16, "aaaa", 2, "1 0 1 2"},
      {"a", 16, "aaaa", 0, "none"},
  });
}

}  // namespace
