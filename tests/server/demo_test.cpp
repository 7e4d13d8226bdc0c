// The demo shops read with the program's own engine and their own rules, and
// the demo served whole by vantrel-server --demo.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "base/codepage.h"
#include "base/ini.h"
#include "engine/addtask.h"
#include "engine/image.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "server/demo.h"
#include "server/pointprogram.h"
#include "server/run.h"
#include "server/similarity.h"
#include "server/tracker.h"
#include "server_fixture.h"
#include "support/fakeshop.h"

namespace {

class Demo : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(demo.Start(0)) << demo.Error();
    demo.AddRules(sites);
  }

  TempDir home{true};
  std::int64_t now = 1356969600;
  CDemoShops demo{[this] { return now; }};
  CSiteList sites;
};

TEST_F(Demo, EveryProductReadsWithTheDemoRules) {
  for (const DemoProduct& product : CDemoShops::Products()) {
    SCOPED_TRACE(product.name);
    SiteRef site = GuessSiteFromLink(sites, demo.Link(product));
    ASSERT_TRUE(site);
    EXPECT_EQ(site->GetName(), Utf8ToLocal(demo.ShopName(product.shop)));
    ProductRun run = FetchAndExtract(*site, demo.Link(product));
    EXPECT_EQ(run.info.name, Utf8ToLocal(product.name));
    EXPECT_EQ(run.info.id, std::to_string(product.id));
    EXPECT_EQ(std::lround(ReadNumber(run.values.effectivePrice) * 100), demo.PriceCents(product));
    EXPECT_EQ(run.values.stock, demo.InStock(product) ? STOCK_IN : STOCK_OUT);
    // The picture the page names is served and decodes.
    ASSERT_TRUE(CSpider().DownloadFile(run.info.image, home.File("picture.png")));
    CImage image;
    ASSERT_TRUE(image.Load(home.File("picture.png")));
    EXPECT_EQ(image.Width(), 240);
  }
}

TEST_F(Demo, PricesFallAndOneProductGoesOutOfStock) {
  const std::vector<DemoProduct>& products = CDemoShops::Products();
  std::vector<std::set<int>> prices(products.size());
  std::vector<bool> dropped(products.size(), false);
  std::set<bool> stockSeen;
  for (int step = 0; step < 8; ++step, now += CDemoShops::kStepSeconds) {
    for (size_t i = 0; i < products.size(); ++i) {
      const int price = demo.PriceCents(products[i]);
      if (!prices[i].empty() && price < *prices[i].rbegin()) dropped[i] = true;
      prices[i].insert(price);
      if (products[i].goesOutOfStock) stockSeen.insert(demo.InStock(products[i]));
    }
  }
  for (size_t i = 0; i < products.size(); ++i) {
    EXPECT_GE(prices[i].size(), 3u) << products[i].name;
    EXPECT_TRUE(dropped[i]) << products[i].name;
  }
  EXPECT_EQ(stockSeen, (std::set<bool>{false, true}));
}

TEST_F(Demo, TheDemoAccountsProductsAreTrackedAndOffered) {
  std::unique_ptr<CServerStore> store = OpenTestStore(Backend::kSqlite, home);
  ASSERT_TRUE(store);
  CPasswordHasher hasher(CPasswordHasher::Cost::kMinimum);
  ASSERT_TRUE(demo.HoldProducts(*store, hasher));
  ASSERT_TRUE(demo.HoldProducts(*store, hasher));  // a second start changes nothing
  EXPECT_EQ(store->HeldUrls().size(), CDemoShops::Products().size());
  CServerTracker tracker(*store, sites, [this] { return now; });
  tracker.SetAddressRules({.allowPrivate = false, .allowed = demo.Addresses()});
  tracker.VisitAll();
  const DemoProduct& kettle = CDemoShops::Products().front();
  ASSERT_EQ(store->PricePoints(demo.Link(kettle)).size(), 1u);
  std::vector<Offer> offers =
      MatchOffers(kettle.name, demo.Link(kettle), demo.ShopName(kettle.shop), store->Products());
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].site, "比价小店");
  EXPECT_EQ(offers[0].title, "电水壶 1.7升 不锈钢");
}

// vantrel-server --demo as a fresh program directory sees it: the update
// folder holds the run-time files and rules that know the demo shops, and
// the pointed program finds the demo products' history.
TEST(DemoServer, AFreshProgramDirectoryGetsRulesFilesAndHistory) {
  TempDir home(true);
  home.Write("ding.wav", "RIFF....WAVE");
  home.Write("imgs/Del.png", "png");
  ServerOptions options;
  bool help = false;
  std::string error;
  ASSERT_TRUE(ParseServerOptions(
      {"--demo", "--port", "0", "--demo-port", "0", "--password-cost", "minimum"}, options, help,
      error))
      << error;
  EXPECT_EQ(options.trackMinutes, 1);
  // Port 0 lets the server pick. Asked to stop before it starts, the
  // server prepares everything, then ends at once.
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunServer(options, [] {}), 0);
  const std::string output = testing::internal::GetCapturedStdout();
  ASSERT_NE(output.find("Demo shops: http://127.0.0.1:"), std::string::npos) << output;

  EXPECT_EQ(home.Read("server/update/ding.wav"), "RIFF....WAVE");
  EXPECT_EQ(home.Read("server/update/imgs/Del.png"), "png");
  EXPECT_NE(home.Read("server/update/update.ini").find("VERSION=1.069"), std::string::npos);
  CSiteList published;
  ASSERT_TRUE(published.LoadSites(home.File("server/update/sites.xml")));
  EXPECT_TRUE(published.FindSiteByName(Utf8ToLocal("演示商城")));
  EXPECT_TRUE(published.FindSiteByName(Utf8ToLocal("比价小店")));
}

TEST(PointProgram, WritesEveryServiceAddressAndKeepsTheRest) {
  TempDir home(true);
  home.Write("config.ini", "[Base]\r\nSleepTime=3\r\n[Hosts]\r\nJdSuffix=jd.example\r\n");
  ASSERT_TRUE(PointProgramAt("http://10.0.0.1:9/", home.File("config.ini")));
  const std::string config = home.File("config.ini");
  EXPECT_EQ(IniGetString(config, "Hosts", "HistoryUrl", ""),
            "http://10.0.0.1:9/price_history.php?url=");
  EXPECT_EQ(IniGetString(config, "Hosts", "AccountUrl", ""), "http://10.0.0.1:9/");
  EXPECT_EQ(IniGetString(config, "Hosts", "UpdateInfoUrl", ""),
            "http://10.0.0.1:9/update/update.ini");
  EXPECT_EQ(IniGetString(config, "Hosts", "JdSuffix", ""), "jd.example");
  EXPECT_EQ(IniGetString(config, "Base", "SleepTime", ""), "3");
}

}  // namespace
