// Deal verdicts over crafted price histories.
#include "services/verdict.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/timetext.h"
#include "support/tempdir.h"

namespace {

constexpr std::time_t kNow = 1700000000;
constexpr std::time_t kDay = 24 * 60 * 60;

using Kind = PriceVerdict::Kind;

// (days ago, price) pairs, oldest first, as the newest-first points of a
// history.
std::vector<CPriceInfoItem> History(const std::vector<std::pair<int, const char*>>& points) {
  std::vector<CPriceInfoItem> items;
  for (const auto& [daysAgo, price] : points)
    items.insert(items.begin(), {FormatTimeText(kNow - daysAgo * kDay), price});
  return items;
}

TEST(Verdict, CraftedHistories) {
  const struct {
    const char* what;
    std::vector<std::pair<int, const char*>> points;  // the new price's own point last
    VerdictSettings settings;
    Kind kind;
    const char* text;  // UTF-8
    int lowDays;
    bool realDeal;
  } cases[] = {
      // clang-format off
      {"a new low", {{200, "150"}, {120, "160"}, {60, "140"}, {10, "145"}, {0, "130"}},
       {}, Kind::kAllTimeLow, "历史最低", 180, true},
      {"a 90-day low that is no half-year low", {{200, "120"}, {100, "170"}, {50, "175"}, {0, "165"}},
       {}, Kind::kLowOfDays, "近90天最低", 90, true},
      {"a rise undone", {{100, "199"}, {10, "259"}, {0, "199"}},
       {}, Kind::kRiseUndone, "先涨后降：14天内从199.00涨到259.00", 90, false},
      {"a rise undone only partly", {{100, "199"}, {10, "259"}, {0, "239"}},
       {}, Kind::kRiseUndone, "先涨后降：14天内从199.00涨到259.00", 0, false},
      {"a rise more than undone", {{100, "199"}, {10, "259"}, {0, "189"}},
       {}, Kind::kAllTimeLow, "历史最低", 90, true},
      {"a rise below the least percent", {{100, "100"}, {20, "95"}, {10, "98"}, {0, "97"}},
       {}, Kind::kNone, "", 0, false},
      {"a rise older than the window", {{100, "199"}, {10, "259"}, {0, "209"}},
       {7, 5}, Kind::kNone, "", 0, false},
      {"a rise below a higher least percent", {{100, "199"}, {10, "259"}, {0, "209"}},
       {14, 40}, Kind::kNone, "", 0, false},
      {"a history of three days", {{3, "150"}, {1, "160"}, {0, "140"}},
       {}, Kind::kTooShort, "", 0, false},
      // The price set 100 days ago held until 5 days ago: it counts in the
      // last 90 days though no point lies there, and 150 counts in 180.
      {"a history with gaps", {{200, "150"}, {100, "170"}, {5, "180"}, {0, "160"}},
       {}, Kind::kLowOfDays, "近90天最低", 90, true},
      {"a 45-day history is no all-time low", {{45, "150"}, {0, "140"}},
       {}, Kind::kLowOfDays, "近30天最低", 30, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<CPriceInfoItem> items = History(c.points);
    const PriceVerdict verdict = JudgePrice(items, items.front().price, kNow, c.settings);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_EQ(LocalToUtf8(VerdictText(verdict)), c.text);
    EXPECT_EQ(verdict.lowDays, c.lowDays);
    const DealNote note = MakeDealNote(verdict);
    EXPECT_EQ(note.realDeal, c.realDeal);
    EXPECT_EQ(LocalToUtf8(note.text), c.text);
  }
}

TEST(Verdict, LowsOfEachStretchWithTheirDays) {
  const std::vector<CPriceInfoItem> items =
      History({{200, "150"}, {100, "170"}, {5, "180"}, {0, "160"}});
  const PriceVerdict verdict = JudgePrice(items, "160", kNow, {});
  const struct {
    const PriceLow& low;
    const char* price;
    std::time_t daysAgo;
  } lows[] = {{verdict.lows[0], "160.00", 0},
              {verdict.lows[1], "160.00", 0},
              {verdict.lows[2], "150.00", 200},
              {verdict.lowest, "150.00", 200}};
  for (const auto& l : lows) {
    EXPECT_EQ(l.low.price, l.price);
    EXPECT_EQ(l.low.date, FormatTimeText(kNow - l.daysAgo * kDay));
  }
  // A stretch the history does not cover has no low; unreadable points and
  // a price of no value say nothing.
  const PriceVerdict shortOne =
      JudgePrice(History({{40, "abc"}, {40, "0"}, {20, "99"}, {0, "98"}}), "98", kNow, {});
  EXPECT_TRUE(shortOne.lows[0].price.empty());
  EXPECT_EQ(shortOne.kind, Kind::kTooShort);
  EXPECT_EQ(LocalToUtf8(VerdictViewText(shortOne)), "历史记录不足");
  EXPECT_EQ(JudgePrice(items, "0", kNow, {}).kind, Kind::kTooShort);
}

TEST(Verdict, ThresholdsComeFromConfig) {
  TempDir home(true);
  const struct {
    const char* days;
    const char* percent;
    int riseDays;
    double risePercent;
  } cases[] = {
      {nullptr, nullptr, 14, 5}, {"7", "12.5", 7, 12.5}, {"0", "abc", 0, 5}, {"-3", "-1", 0, 5}};
  for (const auto& c : cases) {
    const std::string config = home.File("config.ini");
    IniDeleteSection(config, "Base");
    if (c.days) IniWriteString(config, "Base", "RiseDays", c.days);
    if (c.percent) IniWriteString(config, "Base", "RisePercent", c.percent);
    const VerdictSettings settings = ReadVerdictSettings();
    EXPECT_EQ(settings.riseDays, c.riseDays);
    EXPECT_DOUBLE_EQ(settings.risePercent, c.risePercent);
  }
}

}  // namespace
