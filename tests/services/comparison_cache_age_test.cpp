#include <gtest/gtest.h>
#include <sys/time.h>

#include <set>
#include <string>

#include "base/clock.h"
#include "base/files.h"
#include "engine/tasklist.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/productcache.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

const std::time_t kNow = 1357200000;
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

std::string TaskRecord(const std::string& id) {
  return "<Task><Url>http://shop.example/" + id + "</Url><ProductName>p" + id +
         "</ProductName><ProductID>" + id +
         "</ProductID><SiteDomain>shop.example</SiteDomain><CurrentPrice>5.00</CurrentPrice></"
         "Task>";
}

std::string ComparisonFile(const std::string& name) {
  return std::string(kDeclaration) +
         "<PItems><Date>d</Date><ItemID></ItemID><PItemList><PItem><Name>" + name +
         "</Name><Price>1</Price><Url>u</Url><GotoUrl></GotoUrl><Site>s</Site></PItem>" +
         "</PItemList></PItems>";
}

std::string HistoryFile(const std::string& price) {
  return std::string(kDeclaration) + "<HPrices><LPDate></LPDate><LowestPrice>" + price +
         "</LowestPrice><HPDate></HPDate><HighestPrice></HighestPrice><HPriceList><HPrice><Date>"
         "2013-01-01 00:00:00</Date><Price>" +
         price + "</Price></HPrice></HPriceList></HPrices>";
}

class CacheAge : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClockForTesting([] { return kNow; });
    servers.PointProgramAt();
    MakeDirectories(home.File("productitems"));
    MakeDirectories(home.File("productprices"));
  }
  void TearDown() override { SetClockForTesting(nullptr); }

  void WriteAged(const std::string& relative, const std::string& bytes, int hoursOld) {
    home.Write(relative, bytes);
    struct timeval times[2] = {{kNow - hoursOld * 3600L, 0}, {kNow - hoursOld * 3600L, 0}};
    ASSERT_EQ(utimes(home.File(relative).c_str(), times), 0);
  }

  // Loads tasks.xml with the caches and gives the links that were asked of
  // the comparison server.
  std::set<std::string> Load(CTaskList& list) {
    EXPECT_TRUE(list.LoadTasks(home.File("tasks.xml"), home.File("productitems"),
                               home.File("productprices/"), ProductCacheAttacher(nullptr)));
    std::set<std::string> asked;
    for (const ProgramRequest& r : servers.Log())
      if (r.endpoint == ProgramEndpoint::kComparison) asked.insert(r.Query("url"));
    return asked;
  }

  TempDir home{true};
  FakeProgramServers servers;
};

TEST_F(CacheAge, ComparisonFileIsReusedWhileTheHoursPartOfItsAgeIsBelowTwenty) {
  struct Case {
    const char* id;
    int hoursOld;
    bool fetched;
  } const cases[] = {{"h0", 0, false},   {"h19", 19, false}, {"h20", 20, true},
                     {"h21", 21, true},  {"h26", 26, false}, {"h47", 47, true},
                     {"h51", 51, false}, {"gone", -1, true}};
  std::string tasks = std::string(kDeclaration) + "<TaskList>";
  for (const Case& c : cases) {
    tasks += TaskRecord(c.id);
    if (c.hoursOld >= 0)
      WriteAged(std::string("productitems/shop.example_") + c.id + ".xml", ComparisonFile(c.id),
                c.hoursOld);
    servers.Comparison(std::string("http://shop.example/") + c.id, "");
  }
  home.Write("tasks.xml", tasks + "</TaskList>");
  CTaskList list;
  std::set<std::string> asked = Load(list);
  ASSERT_EQ(list.GetCount(), 8);
  for (const Case& c : cases) {
    std::string url = std::string("http://shop.example/") + c.id;
    EXPECT_EQ(asked.count(url), c.fetched ? 1u : 0u) << c.id;
    auto comparison = list.FindByUrl(url)->GetCompareInfo();
    ASSERT_NE(comparison, nullptr) << c.id;
    // A fetched comparison is empty here and was written to the file.
    EXPECT_EQ(comparison->GetItemCount(), c.fetched ? 0u : 1u) << c.id;
    std::string file = home.Read(std::string("productitems/shop.example_") + c.id + ".xml");
    EXPECT_EQ(file, c.fetched ? comparison->ToCacheText() : ComparisonFile(c.id)) << c.id;
  }
}

TEST_F(CacheAge, HistoryFileIsReadWheneverPresentAndFetchedWhenMissing) {
  home.Write("tasks.xml", std::string(kDeclaration) + "<TaskList>" + TaskRecord("old") +
                              TaskRecord("new") + "</TaskList>");
  WriteAged("productprices/shop.example_old.xml", HistoryFile("7.00"), 24 * 400);
  CTaskList list;
  Load(list);
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  EXPECT_EQ(servers.Log().size(), 3u);
  auto old = list.FindByUrl("http://shop.example/old")->GetPriceHistory();
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->GetLowestPrice(), "7.00");
  auto fresh = list.FindByUrl("http://shop.example/new")->GetPriceHistory();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->GetLowestPrice(), "5.00");  // the current price, nothing from the server
  EXPECT_EQ(home.Read("productprices/shop.example_new.xml"), fresh->ToCacheText());
}

TEST_F(CacheAge, UnreadableCacheFilesAreKeptAsideAndFetchedAgain) {
  home.Write("tasks.xml",
             std::string(kDeclaration) + "<TaskList>" + TaskRecord("x") + "</TaskList>");
  WriteAged("productprices/shop.example_x.xml", "<HPrices><HPriceList>", 1);
  WriteAged("productitems/shop.example_x.xml", "<PItems>", 1);
  CTaskList list;
  Load(list);
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kComparison), 1);
  EXPECT_EQ(home.Read("productprices/shop.example_x.xml.bad"), "<HPrices><HPriceList>");
  EXPECT_EQ(home.Read("productitems/shop.example_x.xml.bad"), "<PItems>");
  EXPECT_NE(list.TaskAt(0)->GetPriceHistory(), nullptr);
  EXPECT_NE(list.TaskAt(0)->GetCompareInfo(), nullptr);
}

}  // namespace
