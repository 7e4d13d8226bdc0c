#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/clock.h"
#include "services/history.h"

namespace {

struct Step {
  const char* date;
  const char* price;
  bool added;
};

struct OrderCase {
  const char* what;
  std::vector<Step> steps;
  std::vector<std::string> expected;  // "date price", newest first
};

std::vector<std::string> Listing(const CPriceInfo& history) {
  std::vector<std::string> lines;
  for (const CPriceInfoItem& item : history.Items()) lines.push_back(item.date + " " + item.price);
  return lines;
}

const char* const d1 = "2013-01-01 10:00:00";
const char* const d2 = "2013-01-02 10:00:00";
const char* const d3 = "2013-01-03 10:00:00";

TEST(HistoryOrder, PointsAreKeptNewestFirstWithoutDuplicates) {
  const OrderCase cases[] = {
      {"newest first",
       {{d3, "3", true}, {d2, "2", true}, {d1, "1", true}},
       {std::string(d3) + " 3", std::string(d2) + " 2", std::string(d1) + " 1"}},
      {"oldest first",
       {{d1, "1", true}, {d2, "2", true}, {d3, "3", true}},
       {std::string(d3) + " 3", std::string(d2) + " 2", std::string(d1) + " 1"}},
      {"into the middle",
       {{d3, "3", true}, {d1, "1", true}, {d2, "2", true}},
       {std::string(d3) + " 3", std::string(d2) + " 2", std::string(d1) + " 1"}},
      {"twin of the newest is refused",
       {{d2, "2", true}, {d2, "2", false}},
       {std::string(d2) + " 2"}},
      {"same second, other price goes to the head",
       {{d2, "2", true}, {d2, "5", true}},
       {std::string(d2) + " 5", std::string(d2) + " 2"}},
      {"dates compare as times, not as texts",
       {{"2013-1-2 3:4:5", "7", true}, {"2013-01-02 03:04:05", "7", false}},
       {"2013-1-2 3:4:5 7"}},
      {"a twin that is the oldest is appended all the same",
       {{d3, "3", true}, {d1, "1", true}, {d1, "1", true}},
       {std::string(d3) + " 3", std::string(d1) + " 1", std::string(d1) + " 1"}},
      // Former fault: the walk only tested the point it stood on, so a twin
      // right after the insertion place slipped in.
      {"twin in the middle is refused",
       {{d3, "3", true}, {d1, "1", true}, {d2, "2", true}, {d2, "2", false}},
       {std::string(d3) + " 3", std::string(d2) + " 2", std::string(d1) + " 1"}},
      {"same middle date, other price is kept",
       {{d3, "3", true}, {d1, "1", true}, {d2, "2", true}, {d2, "4", true}},
       {std::string(d3) + " 3", std::string(d2) + " 4", std::string(d2) + " 2",
        std::string(d1) + " 1"}},
      {"a date that does not read sorts as the oldest",
       {{d1, "1", true}, {"garbage", "9", true}},
       {std::string(d1) + " 1", "garbage 9"}},
  };
  for (const OrderCase& c : cases) {
    CPriceInfo history;
    for (const Step& step : c.steps)
      EXPECT_EQ(history.AddItem({step.date, step.price}), step.added)
          << c.what << ": " << step.date << " " << step.price;
    EXPECT_EQ(Listing(history), c.expected) << c.what;
  }
}

class HistoryClock : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    SetClockForTesting([] { return static_cast<std::time_t>(1357010000); });  // 2013-01-01 11:13:20
  }
  void TearDown() override { SetClockForTesting(nullptr); }
};

TEST_F(HistoryClock, CurrentPriceBecomesLowestOrHighestWhenItIs) {
  CPriceInfo history;
  ASSERT_TRUE(history.AddCurrentPrice("20.00"));
  EXPECT_EQ(history.GetLowestPrice(), "20.00");
  EXPECT_EQ(history.GetHighestPrice(), "20.00");
  EXPECT_EQ(history.GetLowestDate(), "2013-01-01 11:13:20");
  // The same price at the same second is a twin.
  EXPECT_FALSE(history.AddCurrentPrice("20.00"));
  SetClockForTesting([] { return static_cast<std::time_t>(1357010060); });
  ASSERT_TRUE(history.AddCurrentPrice("15.00"));
  EXPECT_EQ(history.GetLowestPrice(), "15.00");
  EXPECT_EQ(history.GetLowestDate(), "2013-01-01 11:14:20");
  EXPECT_EQ(history.GetHighestPrice(), "20.00");
  SetClockForTesting([] { return static_cast<std::time_t>(1357010120); });
  ASSERT_TRUE(history.AddCurrentPrice("20.00"));  // a tie keeps the earlier point
  EXPECT_EQ(history.GetHighestDate(), "2013-01-01 11:13:20");
  EXPECT_EQ(history.GetItemCount(), 3u);
}

// Replies, files and imports add their points together; the list must be the
// one that adding them one by one gives, refusals and order of twins alike.
TEST(HistoryOrder, PointsAddedTogetherEndAsOneByOne) {
  const char* const dates[] = {d1, d2, d3, "2013-01-02 10:00:00", "not a date"};
  const char* const prices[] = {"1.00", "2.00", "x", "X"};
  uint32_t seed = 7;
  auto next = [&seed](uint32_t range) {
    return (seed = seed * 1103515245u + 12345u) / 65536 % range;
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<CPriceInfoItem> points;
    for (uint32_t n = next(30); points.size() < n;)
      points.push_back({dates[next(5)], prices[next(4)]});
    const size_t before = next(static_cast<uint32_t>(points.size()) + 1);
    CPriceInfo oneByOne, together;
    size_t inserted = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      inserted += oneByOne.AddItem(points[i]) && i >= before;
      if (i < before) together.AddItem(points[i]);
    }
    EXPECT_EQ(together.AddItems({points.begin() + static_cast<long>(before), points.end()}),
              inserted);
    ASSERT_EQ(Listing(together), Listing(oneByOne)) << "round " << round;
  }
}

}  // namespace
