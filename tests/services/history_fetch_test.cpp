#include <gtest/gtest.h>

#include <string>

#include "base/clock.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "services/history.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

const char kLink[] = "http://shop.example/item?id=5&c=a b";

// 2013-01-01 00:00:00 and 2013-01-02 00:00:00 in China.
const char kJan1[] = "1356969600";
const char kJan2[] = "1357056000";

std::string Point(const std::string& t, const std::string& p) {
  return "{\"t\":\"" + t + "\",\"p\":\"" + p + "\"}";
}

class HistoryFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    SetClockForTesting([] { return static_cast<std::time_t>(1357200000); });  // 2013-01-03 16:00
    servers.PointProgramAt();
  }
  void TearDown() override { SetClockForTesting(nullptr); }

  TempDir home{true};
  FakeProgramServers servers;
};

TEST_F(HistoryFetch, NoServerPointsGiveTheCurrentPriceAlone) {
  servers.History(kLink, "nothing here");
  CPriceInfo history;
  history.FetchFromServer(kLink, "12.50");
  ASSERT_EQ(history.GetItemCount(), 1u);
  EXPECT_EQ(history.Items()[0].date, "2013-01-03 16:00:00");
  EXPECT_EQ(history.Items()[0].price, "12.50");
  EXPECT_EQ(history.GetLowestPrice(), "12.50");
  EXPECT_EQ(history.GetHighestPrice(), "12.50");
  EXPECT_EQ(history.GetLowestDate(), "2013-01-03 16:00:00");
  // The link went out encoded and came in whole.
  ASSERT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  ProgramRequest request = servers.Log()[0];
  EXPECT_EQ(request.Query("url"), kLink);
  EXPECT_NE(request.target.find("url=http%3A%2F%2Fshop%2Eexample"), std::string::npos);
  EXPECT_NE(request.target.find("%20b"), std::string::npos);
}

TEST_F(HistoryFetch, ZeroPricedPointsAreDroppedAndPricesFormatted) {
  servers.History(kLink, "[" + Point(kJan1, "99") + "," + Point(kJan2, "0") + "," +
                             Point(kJan2, "abc") + "," + Point(kJan2, "nan") + "]");
  CPriceInfo history;
  history.FetchFromServer(kLink, "0");
  ASSERT_EQ(history.GetItemCount(), 1u);
  EXPECT_EQ(history.Items()[0].date, "2013-01-01 00:00:00");
  EXPECT_EQ(history.Items()[0].price, "99.00");
}

// Each record is judged alone: absurd prices and dates, and fields longer
// than the program's 64-byte buffers, are left out (never cut into another
// number); the valid points around them still count.
TEST_F(HistoryFetch, HostilePointsAreRefusedOneByOne) {
  const std::string longDigits(70, '1');
  const std::string hostile[] = {
      Point(kJan1, "1e308"),     Point(kJan1, "-5"),
      Point(kJan1, "NaN"),       Point(kJan1, "inf"),
      Point(kJan1, "12abc"),     Point(kJan1, "2000000000000"),
      Point(kJan1, longDigits),  Point(kJan1, "0." + longDigits),
      Point("-1", "10"),         Point("0", "10"),
      Point("13569696.5", "10"), Point("99999999999999", "10"),
      Point(longDigits, "10"),   Point("1357300000", "10"),  // more than a day ahead
  };
  std::string reply = "[" + Point(kJan1, "9");
  for (const std::string& point : hostile) reply += "," + point;
  reply += "," + Point("1357210000", "8.5") + "]";  // three hours ahead: kept
  servers.History(kLink, reply);
  CPriceInfo history;
  history.FetchFromServer(kLink, "0");
  ASSERT_EQ(history.GetItemCount(), 2u);
  EXPECT_EQ(history.Items()[0].price, "8.50");
  EXPECT_EQ(history.Items()[1].price, "9.00");
  EXPECT_EQ(history.GetLowestPrice(), "8.50");
  EXPECT_EQ(history.GetHighestPrice(), "9.00");
}

// A summary saved with an empty history has a lowest price of 0; the first
// real price takes its place.
TEST_F(HistoryFetch, ALowestPriceOfZeroGivesWayToTheFirstRealPoint) {
  CPriceInfo history;
  history.SetSummary({"", "0.00"}, {"", "0.00"});
  history.AddCurrentPrice("12.00");
  EXPECT_EQ(history.GetLowestPrice(), "12.00");
  EXPECT_EQ(history.GetHighestPrice(), "12.00");

  CPriceInfo fetched;
  fetched.SetSummary({"", "0"}, {"", "0"});
  servers.History(kLink, Point(kJan1, "7"));
  fetched.FetchFromServer(kLink, "0");
  EXPECT_EQ(fetched.GetLowestPrice(), "7.00");
}

TEST_F(HistoryFetch, CurrentPriceEqualToTheNewestAddsNothing) {
  servers.History(kLink, Point(kJan2, "8.5") + Point(kJan1, "9"));
  CPriceInfo history;
  history.FetchFromServer(kLink, "8.50");
  ASSERT_EQ(history.GetItemCount(), 2u);
  EXPECT_EQ(history.Items()[0].price, "8.50");
  EXPECT_EQ(history.GetLowestPrice(), "8.50");
  EXPECT_EQ(history.GetHighestPrice(), "9.00");
}

TEST_F(HistoryFetch, ANewCurrentPriceIsAddedAndJoinsTheSummary) {
  servers.History(kLink, Point(kJan1, "10") + Point(kJan2, "20"));
  CPriceInfo history;
  history.FetchFromServer(kLink, "25");
  auto items = history.Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].price, "25");  // as passed in
  EXPECT_EQ(history.GetHighestPrice(), "25");
  EXPECT_EQ(history.GetHighestDate(), "2013-01-03 16:00:00");
  EXPECT_EQ(history.GetLowestPrice(), "10.00");
  EXPECT_EQ(history.GetLowestDate(), "2013-01-01 00:00:00");
}

TEST_F(HistoryFetch, TiesKeepTheFirstPointSeen) {
  servers.History(kLink, Point(kJan2, "5") + Point(kJan1, "5"));
  CPriceInfo history;
  history.FetchFromServer(kLink, "-1");
  EXPECT_EQ(history.GetItemCount(), 2u);
  EXPECT_EQ(history.GetLowestDate(), "2013-01-02 00:00:00");
  EXPECT_EQ(history.GetHighestDate(), "2013-01-02 00:00:00");
}

TEST_F(HistoryFetch, ServerPointTwinsAreStoredOnce) {
  servers.History(kLink, Point(kJan2, "5") + Point(kJan2, "5.00") + Point(kJan2, "6"));
  CPriceInfo history;
  history.FetchFromServer(kLink, "");
  auto items = history.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].price, "6.00");
  EXPECT_EQ(items[1].price, "5.00");
}

TEST_F(HistoryFetch, ASwitchedOffServerIsNotAsked) {
  IniWriteString(ProgramFile("config.ini"), "Hosts", "HistoryUrl", "");
  CPriceInfo history;
  history.FetchFromServer(kLink, "3.00");
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 0);
  ASSERT_EQ(history.GetItemCount(), 1u);
  EXPECT_EQ(history.Items()[0].price, "3.00");
}

TEST_F(HistoryFetch, AnUnreachableServerLeavesTheCurrentPrice) {
  IniWriteString(ProgramFile("config.ini"), "Hosts", "HistoryUrl",
                 "http://127.0.0.1:1/price_history.php?url=");
  CPriceInfo history;
  history.FetchFromServer(kLink, "3.00");
  ASSERT_EQ(history.GetItemCount(), 1u);
}

}  // namespace
