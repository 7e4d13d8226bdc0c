// The example rules shipped in data/sites.example.xml load and do what
// their comments promise, one kind of shop page at a time.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "engine/extract.h"
#include "engine/site.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

class ExampleSitesTest : public testing::Test {
 protected:
  ExampleSitesTest() {
    home.Write("sites.xml", ExampleSitesFor(shop));
    loaded = sites.LoadSites(home.File("sites.xml"));
  }

  // Fetches the page, recognises the shop by its Flag as both passes do,
  // and runs the steps.
  ProductRun FetchAsBothPasses(const std::string& path, std::string& siteName) {
    SiteRef guess = sites.GetSiteAt(0);
    ProductRun first = FetchAndExtract(*guess, shop.Link(path));
    SiteRef site = sites.FindSiteInPage(first.page);
    if (!site) return first;
    siteName = site->GetName();
    return FetchAndExtract(*site, shop.Link(path));
  }

  TempDir home{true};
  FakeShop shop;
  CSiteList sites;
  bool loaded = false;
};

TEST_F(ExampleSitesTest, LoadsFourShops) {
  ASSERT_TRUE(loaded);
  EXPECT_EQ(sites.GetVersion(), "1.0");
  ASSERT_EQ(sites.GetCount(), 4u);
  EXPECT_EQ(sites.GetSiteAt(0)->GetName(), "Example Pages");
  EXPECT_EQ(sites.GetSiteAt(0)->GetFlag(), "data-shop=\"pages\"");
  EXPECT_EQ(sites.GetSiteAt(0)->GetNameRegex(), "<h1 id=\"name\">(.*?)</h1>");
  EXPECT_EQ(sites.GetSiteAt(0)->GetOutOfStockFlag(), Utf8ToLocal("无货"));
  EXPECT_EQ(sites.GetSiteAt(1)->GetPriceUrl(),
            "http://" + shop.Host() + "/prices?skuIds=$goodsid&t=$nowtime");
  EXPECT_EQ(sites.GetSiteAt(3)->GetNoGoods(), Utf8ToLocal("+该商品已下架"));
}

TEST_F(ExampleSitesTest, PageShopNeedsNoRequest) {
  shop.Page("/item/1.html", ExamplePage({.kind = "pages",
                                         .name = "Kettle",
                                         .price = "1,299.00",
                                         .promo = "1,199.00",
                                         .stock = "\xE6\x97\xA0\xE8\xB4\xA7"}));  // 无货
  std::string name;
  ProductRun run = FetchAsBothPasses("/item/1.html", name);
  EXPECT_EQ(name, "Example Pages");
  EXPECT_EQ(shop.Requests("/item/1.html"), 2);
  EXPECT_EQ(shop.TotalRequests(), 2);
  EXPECT_EQ(run.info.name, "Kettle");
  EXPECT_EQ(run.info.id, "10001");
  EXPECT_EQ(run.info.image, "http://pages.shop.example/images/10001.jpg");
  EXPECT_EQ(run.values.price, "1299.00");
  EXPECT_EQ(run.values.promPrice, "1199.00");
  EXPECT_EQ(run.values.effectivePrice, "1199.00");
  EXPECT_EQ(run.values.stock, STOCK_OUT);
}

TEST_F(ExampleSitesTest, JsonShopAsksOnceForBothPrices) {
  shop.Page("/json/7.html",
            ExamplePage({.kind = "json",
                         .sku = "7",
                         .name = "\xE7\x94\xB5\xE6\xB0\xB4\xE5\xA3\xB6",  // 电水壶
                         .stock = "\xE6\x9C\x89\xE8\xB4\xA7"}),           // 有货
            PageEncoding::kGbk);
  shop.Json("/prices", R"([{"id":"7","p":"2,499.00","m":"2,399.00"}])");
  std::string name;
  ProductRun run = FetchAsBothPasses("/json/7.html", name);
  EXPECT_EQ(name, "Example JSON Price");
  EXPECT_EQ(shop.Requests("/prices"), 1);
  EXPECT_EQ(run.trace.cacheHits.size(), 1u);
  EXPECT_EQ(run.info.name, Utf8ToLocal("电水壶"));
  EXPECT_EQ(run.values.price, "2499.00");
  EXPECT_EQ(run.values.promPrice, "2399.00");
  EXPECT_EQ(run.values.stock, STOCK_IN);
}

TEST_F(ExampleSitesTest, StockShopSendsTheAreaWithTheStockRequest) {
  shop.Page("/p/9",
            ExamplePage(
                {.kind = "stock", .sku = "9", .name = "Lamp", .price = "35.00", .area = "310000"}));
  shop.Json("/stock", R"({"StockStateName":"无货"})");
  std::string name;
  ProductRun run = FetchAsBothPasses("/p/9", name);
  EXPECT_EQ(name, "Example Stock Request");
  EXPECT_EQ(run.values.params[0], "310000");
  EXPECT_EQ(run.values.price, "35.00");
  EXPECT_EQ(run.values.stock, STOCK_OUT);
  auto stock = shop.RequestsTo("/stock");
  ASSERT_FALSE(stock.empty());
  EXPECT_EQ(stock.back().target.substr(0, 27), "/stock?sku=9&area=310000&_=");
}

TEST_F(ExampleSitesTest, WithdrawnProductIsOutOfStockWithoutAStockRequest) {
  shop.Page("/w/3.html",
            ExamplePage({.kind = "nogoods",
                         .sku = "3",
                         .name = "Fan",
                         .price = "20.00",
                         .extra = "<p>\xE8\xAF\xA5\xE5\x95\x86\xE5\x93\x81\xE5"
                                  "\xB7\xB2\xE4\xB8\x8B\xE6\x9E\xB6</p>"}));  // 该商品已下架
  shop.Json("/stock", R"({"StockStateName":"有货"})");
  std::string name;
  ProductRun run = FetchAsBothPasses("/w/3.html", name);
  EXPECT_EQ(name, "Example NoGoods");
  EXPECT_EQ(run.values.stock, STOCK_OUT);
  EXPECT_EQ(shop.Requests("/stock"), 0);
}

}  // namespace
