// What the price history says of a drop, as a pass tells it, and
// "RealDealsOnly".
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/ini.h"
#include "base/timetext.h"
#include "services/notify.h"
#include "services/verdict.h"
#include "support/http_server.h"
#include "tracking_fixture.h"

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;

class TrackingVerdictTest : public TrackingFixture {
 protected:
  // A task at 99.00 whose page now says `newPrice`, with a history of
  // (days ago, price) points.
  TaskPtr TaskWithHistory(int n, const std::string& newPrice,
                          const std::vector<std::pair<int, const char*>>& points) {
    const std::string path = "/item/" + std::to_string(n) + ".html";
    shop.Page(path, ProductPage(newPrice));
    CTaskValues v = Values(path);
    v.productId = std::to_string(n);
    TaskPtr task = AddTask(v);
    auto history = std::make_shared<CPriceInfo>();
    for (const auto& [daysAgo, price] : points)
      history->AddItem({FormatTimeText(CurrentTime() - daysAgo * kDay), price});
    task->SetPriceHistory(history);
    return task;
  }

  std::unique_ptr<CTracker> JudgingTracker(bool realDealsOnly) {
    auto tracker = MakeTracker({0, 0, kDefaultFailAlert, realDealsOnly});
    tracker->SetDealJudge(JudgeTaskDeal);
    tracker->SetTeller([this](const ToldMessage& message) { told.push_back(message); });
    return tracker;
  }

  std::vector<ToldMessage> told;
};

TEST_F(TrackingVerdictTest, ADropReachesTheChannelsWithItsVerdict) {
  TestHttpServer hook;
  hook.Post("/hook", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  IniWriteString(home.File("config.ini"), "Notify", "WebhookUrl", hook.Url("/hook"));
  CNotifier notifier;
  auto tracker = MakeTracker();
  tracker->SetDealJudge(JudgeTaskDeal);
  tracker->SetTeller(notifier.Teller());
  // 89 is the lowest since 120 held 90 days ago, not since 80 half a year ago.
  TaskPtr task = TaskWithHistory(1, "89.00", {{200, "80.00"}, {100, "120.00"}, {50, "99.00"}});

  tracker->TrackingPass(task);
  notifier.Flush();

  const nlohmann::json body = nlohmann::json::parse(hook.LastBody("/hook"), nullptr, false);
  ASSERT_TRUE(body.is_object()) << hook.LastBody("/hook");
  EXPECT_EQ(body["text"], "Kettle价格变为89.00");
  EXPECT_EQ(body["verdict"], "近90天最低");
  const std::vector<RecordedEvent> popups = events.Named("Popup");
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(LocalToUtf8(popups[0].text), "Kettle价格变为89.00");
  EXPECT_EQ(LocalToUtf8(popups[0].verdict), "近90天最低");
  EXPECT_EQ(LocalToUtf8(events.Named("UpdateChangeData").at(0).verdict), "近90天最低");
  EXPECT_TRUE(task->GetDealNote().realDeal);
  EXPECT_EQ(HistoryPoints(*task), 4);
}

TEST_F(TrackingVerdictTest, RealDealsOnlyTellsOnlyRealDealsAndListsTheRest) {
  const struct {
    const char* what;
    bool realDealsOnly;
    std::vector<std::pair<int, const char*>> points;
    const char* verdict;
    bool told;
  } cases[] = {
      // clang-format off
      {"a 90-day low", true, {{200, "80.00"}, {100, "120.00"}, {50, "99.00"}}, "近90天最低", true},
      {"a rise undone", true, {{100, "85.00"}, {10, "99.00"}}, "先涨后降：14天内从85.00涨到99.00",
       false},
      {"a history too short", true, {{2, "99.00"}}, "", false},
      {"a rise undone, every drop told", false, {{100, "85.00"}, {10, "99.00"}},
       "先涨后降：14天内从85.00涨到99.00", true},
      // clang-format on
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto tracker = JudgingTracker(c.realDealsOnly);
    TaskPtr task = TaskWithHistory(++n, "89.00", c.points);
    events.Clear();
    told.clear();

    tracker->TrackingPass(task);

    // Into the change list and the history whatever it is told.
    EXPECT_EQ(events.Count("UpdateChangeData"), 1u);
    EXPECT_EQ(HistoryPoints(*task), static_cast<int>(c.points.size()) + 1);
    EXPECT_EQ(LocalToUtf8(task->GetDealNote().text), c.verdict);
    EXPECT_EQ(events.Count("Popup"), c.told ? 1u : 0u);
    EXPECT_EQ(events.Count("Sound"), c.told ? 1u : 0u);
    ASSERT_EQ(told.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_EQ(LocalToUtf8(told[0].verdict), c.verdict);
    }
  }
}

}  // namespace
