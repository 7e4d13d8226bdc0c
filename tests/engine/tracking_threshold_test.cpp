// The least drop in per cent a task asks for, and what a pass tells the
// notification channels.
#include <string>
#include <vector>

#include "tracking_fixture.h"

namespace {

class TrackingThresholdTest : public TrackingFixture {};

TEST_F(TrackingThresholdTest, DropsBelowTheLeastPercentAreRecordedNotTold) {
  const struct {
    const char* what;
    const char* newPrice;
    const char* percent;
    const char* target;
    bool told;
  } cases[] = {
      {"no least drop", "98.00", "", "", true},
      {"smaller drop", "95.00", "10", "", false},
      {"exactly the least drop", "89.10", "10", "", true},
      {"larger drop", "50.00", "10", "", true},
      {"zero means any drop", "98.00", "0", "", true},
      {"enough drop but above the target", "80.00", "10", "70", false},
      {"enough drop and below the target", "60.00", "10", "70", true},
  };
  auto tracker = MakeTracker();
  std::vector<ToldMessage> told;
  tracker->SetTeller([&](const ToldMessage& message) { told.push_back(message); });
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/item/" + std::to_string(++n) + ".html";
    shop.Page(path, ProductPage(c.newPrice));
    CTaskValues v = Values(path);
    v.productId = std::to_string(n);
    v.dropPercent = c.percent;
    v.targetPrice = c.target;
    TaskPtr task = AddTask(v);
    events.Clear();
    told.clear();

    tracker->TrackingPass(task);

    EXPECT_EQ(task->GetPriceState(), "down");
    EXPECT_EQ(task->GetCurrentPrice(), c.newPrice);
    EXPECT_EQ(HistoryPoints(*task), 1);
    EXPECT_EQ(events.Count("UpdateChangeData"), c.told ? 1u : 0u);
    ASSERT_EQ(told.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_EQ(told[0].kind, "change");
      EXPECT_EQ(told[0].link, task->GetUrl());
      EXPECT_EQ(told[0].oldPrice, "99.00");
      EXPECT_EQ(told[0].newPrice, c.newPrice);
      EXPECT_EQ(LocalToUtf8(told[0].text), std::string("Kettle价格变为") + c.newPrice);
    }
  }
  // Kept in tasks.xml only where set.
  tracker->FlushTaskFile();
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(home.File("tasks.xml"), saved));
  EXPECT_NE(saved.find("<DropPercent>10</DropPercent>"), std::string::npos);
  CTaskList reloaded;
  ASSERT_TRUE(reloaded.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(reloaded.TaskAt(1)->GetDropPercent(), "10");
  EXPECT_EQ(reloaded.TaskAt(0)->GetDropPercent(), "");
}

TEST(DropIsLargeEnough, Percentages) {
  const struct {
    const char* oldPrice;
    const char* newPrice;
    const char* percent;
    bool enough;
  } cases[] = {
      {"100.00", "90.00", "10", true},   {"100.00", "90.01", "10", false},
      {"0", "90.00", "10", true},        {"100.00", "90.00", "abc", true},
      {"100.00", "99.00", "-5", true},   {"100.00", "99.50", "0.5", true},
      {"100.00", "99.51", "0.5", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.oldPrice) + " -> " + c.newPrice + " at " + c.percent);
    EXPECT_EQ(DropIsLargeEnough(c.oldPrice, c.newPrice, c.percent), c.enough);
  }
}

}  // namespace
