// What passes leave undone or do once: a history another process is writing
// holds no pass and loses no point, config.ini is read once per change, and
// a task whose entry holds no price and no stock takes them silently.
#include <chrono>
#include <thread>

#include "base/filelock.h"
#include "base/ini.h"
#include "support/lockholder.h"
#include "tracking_fixture.h"

namespace {

using namespace std::chrono_literals;

class TrackingCostsTest : public TrackingFixture {
 protected:
  ~TrackingCostsTest() override { SetFileLockPatience(10s); }
};

TEST_F(TrackingCostsTest, AHistoryHeldElsewhereHoldsNoPassAndLosesNoPoint) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  auto tracker = MakeTracker();
  SetFileLockPatience(5s);
  {
    LockHolder other(home.File("productprices.lock"));
    ASSERT_TRUE(other.Holding());
    const auto start = std::chrono::steady_clock::now();
    tracker->TrackingPass(task);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(HistoryPoints(*task), -1);  // not written under the other writer
  }
  tracker->FlushTaskFile();
  EXPECT_EQ(HistoryPoints(*task), 1);
}

TEST_F(TrackingCostsTest, APassReadsConfigIniOnlyWhenItChanged) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  auto tracker = MakeTracker();
  home.Write("config.ini", "[Base]\r\nMsgPop=0\r\n[Hosts]\r\nNeweggDomain=shop.example\r\n");
  // A file changed within the file clock's current tick is read until it ends.
  std::this_thread::sleep_for(20ms);
  for (unsigned long expected : {1ul, 0ul}) {
    const unsigned long before = IniFileReads();
    tracker->TrackingPass(task);
    EXPECT_EQ(IniFileReads() - before, expected);
  }
}

TEST_F(TrackingCostsTest, AnEntryWithoutPriceAndStockTakesItsFirstValuesSilently) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  home.Write("tasks.xml",
             "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList><Task><Url>" +
                 shop.Link("/item/1.html") +
                 "</Url><ProductName>Kettle</ProductName><ProductID>1001</ProductID>"
                 "<Status>true</Status><SiteName>Fake</SiteName><TrackPrice>true</TrackPrice>"
                 "<TrackStock>true</TrackStock><PriceUp>true</PriceUp>"
                 "<PriceDown>true</PriceDown></Task></TaskList>");
  ASSERT_TRUE(tasks.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  TaskPtr task = tasks.TaskAt(0);
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
  EXPECT_EQ(task->GetCurrentStock(), 1);
  EXPECT_EQ(events.Count("UpdateChangeData"), 0u);
  EXPECT_EQ(events.Count("Popup"), 0u);
}

}  // namespace
