// Every search has a step budget: patterns and texts built to backtrack
// for ever give up quickly as "not found" with a status the caller can read,
// while ordinary searches never meet the budget.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/regex.h"

namespace {

TEST(RegexBudget, RunawaySearchesGiveUpWithTheirReason) {
  const std::string as(30, 'a');
  struct Case {
    const char* pattern;
    int flags;
    std::string text;
  } const cases[] = {
      {"(a+)+b", 0, as + "cb"},
      {"(a|aa)+b", 0, as + "cb"},
      {"(a*)*b", RX_IGNORE_CASE, as + "cb"},
      {"c(a+)+b", RX_RIGHT_TO_LEFT, "d" + as + "b"},
      {"^(\\w+\\s?)*$", 0, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaa!"},
  };
  for (const Case& c : cases) {
    std::vector<RegexStatus> told;
    CRegexGiveUpWatch watch([&told](RegexStatus status) { told.push_back(status); });
    CRegexMatch match = CRegexPattern(c.pattern, c.flags).Search(c.text);
    EXPECT_FALSE(match.Found()) << c.pattern;
    EXPECT_EQ(match.Status(), RegexStatus::kMatchLimit) << c.pattern;
    EXPECT_EQ(told, std::vector<RegexStatus>{RegexStatus::kMatchLimit}) << c.pattern;
  }
  EXPECT_STREQ(RegexStatusText(RegexStatus::kMatchLimit), "match limit exceeded");
  EXPECT_STREQ(RegexStatusText(RegexStatus::kOk), "");
}

TEST(RegexBudget, OrdinarySearchesOverLargePagesKeepTheirResult) {
  std::string page;
  while (page.size() < 2'000'000) page += "<li class=\"item\"><a href=\"/i/1\">x</a></li>\n";
  const std::string tail = "<span id=\"price\">1,299.00</span>";
  struct Case {
    const char* pattern;
    std::string text;
    bool found;
  } const cases[] = {
      {"<span id=\"price\">(.*?)</span>", page + tail, true},
      {"id=\"price\">([0-9,.]+)<", page + tail, true},
      {"<title>(.*?)</title>", page, false},
      {"(a+)+b", "aaaaab", true},
  };
  for (const Case& c : cases) {
    CRegexMatch match = CRegexPattern(c.pattern, RX_DOT_ALL | RX_IGNORE_CASE).Search(c.text);
    EXPECT_EQ(match.Found(), c.found) << c.pattern;
    EXPECT_EQ(match.Status(), RegexStatus::kOk) << c.pattern;
  }
}

}  // namespace
