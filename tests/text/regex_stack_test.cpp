// Long texts and deep patterns: matching keeps its backtracking points on the
// heap, so none of these may exhaust the call stack.
#include <string>

#include "text/regex_table.h"

namespace {

constexpr size_t kTenMegabytes = 10 * 1024 * 1024;

TEST(RegexStack, LazyScanOverTenMegabytes) {
  std::string text(kTenMegabytes, 'a');
  CRegexPattern p;
  p.SetPattern("(.*?)z", 0);
  EXPECT_FALSE(p.Search(text).Found());
  text.back() = 'z';
  CRegexMatch m = p.Search(text);
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.MatchEnd(), static_cast<int>(text.size()));
  EXPECT_EQ(m.GroupEnd(1), static_cast<int>(text.size()) - 1);
  p.SetPattern("(.*?)z", RX_IGNORE_CASE | RX_DOT_ALL);
  EXPECT_TRUE(p.Search(text).Found());
}

TEST(RegexStack, RepeatedGroupOverTenMegabytes) {
  std::string text;
  text.reserve(kTenMegabytes + 1);
  while (text.size() < kTenMegabytes) text += "ab";
  CRegexPattern p;
  p.SetPattern("(a|b)*c", 0);
  EXPECT_FALSE(p.Search(text).Found());
  text += 'c';
  CRegexMatch m = p.Search(text);
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.MatchBegin(), 0);
  EXPECT_EQ(m.GroupBegin(1), static_cast<int>(text.size()) - 2);
}

TEST(RegexStack, GeneralLoopsOverMegabytes) {
  std::string text;
  while (text.size() < 1024 * 1024) text += "ab";
  text += 'c';
  CRegexPattern p;
  p.SetPattern("(?:ab)*c", 0);
  EXPECT_TRUE(p.Search(text).Found());
  p.SetPattern("(?:(a)b)+?c", 0);
  CRegexMatch m = p.Search(text);
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.GroupBegin(1), static_cast<int>(text.size()) - 3);
  p.SetPattern("(?>(?:ab)+)c", 0);
  EXPECT_TRUE(p.Search(text).Found());
  p.SetPattern("(?:ab)*c", RX_RIGHT_TO_LEFT);
  EXPECT_TRUE(p.Search(text).Found());
}

TEST(RegexStack, DeepRecursionOverNestedText) {
  std::string text = std::string(100000, '(') + std::string(100000, ')');
  CRegexPattern p;
  p.SetPattern("\\((?R)*\\)", 0);
  CRegexMatch m = p.Search(text);
  ASSERT_TRUE(m.Found());
  EXPECT_EQ(m.MatchEnd(), static_cast<int>(text.size()));
}

TEST(RegexStack, ManyCountedRepetitionsStayBounded) {
  // Nothing here can backtrack, so the registers are saved once, not once
  // per repetition: 999 * 999 empty steps must not eat memory.
  CRegexPattern p;
  p.SetPattern("(?:(?:){999}){999}a", 0);
  EXPECT_TRUE(p.Search("a").Found());
}

}  // namespace
