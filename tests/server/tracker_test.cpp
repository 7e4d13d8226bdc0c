// The server's tracking: held products are read with the shop rules and a
// point is recorded whenever the price read differs from the last one.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/codepage.h"
#include "engine/site.h"
#include "local_shops.h"
#include "server/tracker.h"
#include "server_fixture.h"
#include "support/fakeshop.h"

namespace {

const std::string kKettle = "电水壶";
const std::string kInStock = "有货";
const std::string kOutOfStock = "无货";

class ServerTracking : public testing::Test {
 protected:
  void SetUp() override {
    store = OpenTestStore(Backend::kSqlite, home);
    ASSERT_TRUE(store);
    home.Write("sites.xml", ExampleSitesFor(shop));
    ASSERT_TRUE(sites.LoadSites(home.File("sites.xml")));
    // The example shop's rules, for links to the fake shop's host.
    auto pages = std::make_shared<CSite>(*sites.FindSiteByName("Example Pages"));
    pages->SetDomain(shop.Host());
    ASSERT_TRUE(sites.ReplaceSiteAt(0, pages));
    link = shop.Link("/item/1.html");
    ASSERT_EQ(store->AddTask("a@x.cn", link, "held name", "<Task/>"), TaskAddOutcome::kAdded);
    tracker = std::make_unique<CServerTracker>(*store, sites, [this] { return now; });
    // The fake shop listens on 127.0.0.1.
    tracker->SetAddressRules({.allowPrivate = true, .allowed = {}});
  }

  void Show(const std::string& price, const std::string& stock, const std::string& name = kKettle) {
    shop.Page("/item/1.html", ExamplePage({.kind = "pages",
                                           .sku = "1",
                                           .name = name,
                                           .price = price,
                                           .stock = stock,
                                           .extra = std::string(1600, ' ')}));
  }

  std::vector<std::string> Prices() {
    std::vector<std::string> prices;
    for (const PricePoint& point : store->PricePoints(link)) prices.push_back(point.price);
    return prices;
  }

  TempDir home{true};
  FakeShop shop;
  CSiteList sites;
  std::unique_ptr<CServerStore> store;
  std::int64_t now = 1356969600;
  std::unique_ptr<CServerTracker> tracker;
  std::string link;
};

TEST_F(ServerTracking, APointIsRecordedWhenThePriceChanges) {
  Show("99.00", kInStock);
  tracker->VisitAll();
  auto product = store->FindProduct(link);
  ASSERT_TRUE(product);
  EXPECT_EQ(product->name, kKettle);
  EXPECT_EQ(product->site, "Example Pages");
  EXPECT_EQ(product->price, "99.00");
  EXPECT_EQ(product->stock, 1);
  ASSERT_EQ(store->PricePoints(link).size(), 1u);
  EXPECT_EQ(store->PricePoints(link)[0].time, now);

  now += 60;
  tracker->VisitAll();  // the same price: nothing new
  now += 60;
  Show("1,089.50", kInStock);
  tracker->VisitAll();
  EXPECT_EQ(Prices(), (std::vector<std::string>{"99.00", "1089.50"}));
  EXPECT_EQ(store->PricePoints(link)[1].time, now);
}

TEST_F(ServerTracking, APageWithoutAPriceKeepsTheLastOne) {
  Show("89.00", kInStock);
  tracker->VisitAll();
  Show("", kOutOfStock);
  tracker->VisitAll();
  auto product = store->FindProduct(link);
  ASSERT_TRUE(product);
  EXPECT_EQ(product->price, "89.00");
  EXPECT_EQ(product->stock, 0);
  EXPECT_EQ(Prices(), (std::vector<std::string>{"89.00"}));
}

TEST_F(ServerTracking, PagesThatSayNothingChangeNothing) {
  EXPECT_FALSE(tracker->Visit(link));  // no page at all: 404
  shop.Page("/item/1.html", "<html>busy</html>");
  EXPECT_FALSE(tracker->Visit(link));                             // an error page
  EXPECT_FALSE(tracker->Visit("http://unknown.example/1.html"));  // no rules for the shop
  EXPECT_FALSE(store->FindProduct(link));
  EXPECT_TRUE(store->PricePoints(link).empty());
}

TEST_F(ServerTracking, ANamelessPageKeepsTheNameTheAccountGave) {
  Show("5.00", kInStock, "");
  tracker->VisitAll();
  EXPECT_EQ(store->FindProduct(link)->name, "held name");
}

TEST_F(ServerTracking, TheThreadVisitsAtOnceAndNewLinksSoon) {
  Show("10.00", kInStock);
  tracker->Start(std::chrono::hours(1));
  const std::string second = shop.Link("/item/2.html");
  shop.Page("/item/2.html", ExamplePage({.kind = "pages",
                                         .sku = "2",
                                         .name = "杯",
                                         .price = "3.00",
                                         .stock = kInStock,
                                         .extra = std::string(1600, ' ')}));
  ASSERT_EQ(store->AddTask("b@x.cn", second, "cup", "<Task/>"), TaskAddOutcome::kAdded);
  tracker->VisitSoon(second);
  for (int i = 0; i < 500 && (Prices().empty() || store->PricePoints(second).empty()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  tracker->Stop();
  EXPECT_EQ(Prices(), (std::vector<std::string>{"10.00"}));
  EXPECT_EQ(store->PricePoints(second).size(), 1u);
}

// A tracker visits on its pool: each product once a period, at most two at
// once on one shop, the pool busy with the others meanwhile.
TEST(ServerTrackerPool, VisitsShareThePoolTwoAShopAndEachProductOnce) {
  LocalShops shops(3, std::chrono::milliseconds(300));
  TempDir home(true);
  std::unique_ptr<CServerStore> store = OpenTestStore(Backend::kSqlite, home);
  ASSERT_TRUE(shops.Ready(3) && store && shops.WriteRules(home.File("sites.xml")) &&
              shops.Hold(*store, 2, 4));
  CSiteList sites;
  ASSERT_TRUE(sites.LoadSites(home.File("sites.xml")));
  CServerTracker tracker(*store, sites);
  tracker.SetAddressRules({.allowPrivate = true, .allowed = {}});
  tracker.Start(std::chrono::hours(1), {.workers = 4, .perHost = 2});
  for (int i = 0; i < 500 && shops.Visits().size() < 12; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // time for a second visit
  tracker.Stop();
  for (const auto& [shop, peak] : shops.Peaks()) EXPECT_EQ(peak, shop.empty() ? 4 : 2) << shop;
  ASSERT_EQ(shops.Visits().size(), 12u);
  for (const auto& [page, times] : shops.Visits()) EXPECT_EQ(times.size(), 1u) << page;
  EXPECT_EQ(store->FindProduct(shops.Link(2, 4))->price, "4.50");
}

}  // namespace
