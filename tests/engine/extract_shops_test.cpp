// The shops that need more than rules, each played by the fake shop standing
// in for its hosts: Tmall's promotion list, Suning's partner products and
// product status, Gome's region cookie, Yihaodian's province, Yixun's
// location request, and a price published as an image.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/clock.h"
#include "base/codepage.h"
#include "base/programdir.h"
#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

class ExtractShopsTest : public testing::Test {
 protected:
  ExtractShopsTest() {
    SetClockForTesting([] { return std::time_t{1700000000}; });
  }
  ~ExtractShopsTest() override { SetClockForTesting({}); }

  CSite Site() {
    CSite site;
    site.SetName("Stand-in");
    site.SetDomain(shop.Host());
    site.SetEncode("utf-8");
    site.SetIDRegex("sku=(\\d+)");
    return site;
  }

  TempDir home{true};
  FakeShop shop;
};

// ---- Tmall ----

std::string TmallReply(const std::string& prices, const std::string& quantities) {
  return R"({"defaultModel":{"inventoryDO":{"skuQuantity":{)" + quantities +
         R"(}},"itemPriceResultDO":{"priceInfo":{)" + prices + "}}}}";
}

std::string TmallPrice(const char* sku, const char* price) {
  return std::string("\"") + sku + R"(":{"promotionList":[{"type":"sale","price":")" + price +
         R"("}],"price":"99.00"},)";
}

std::string TmallQuantity(const char* sku, const char* quantity) {
  return std::string("\"") + sku + R"(":{"quantity":)" + quantity + R"(,"type":1},)";
}

TEST_F(ExtractShopsTest, TmallTakesTheLowestPromotionThatHasStock) {
  struct Case {
    const char* prices[3];
    const char* quantities[3];
    const char* expected;
    const char* effective;  // the shop shows no price of its own
  } cases[] = {
      {{"30.00", "20.00", "25.00"}, {"1", "0", "3"}, "25.00", "25.00"},
      {{"30.00", "20.00", "25.00"}, {"0", "0", "0"}, "999999999.00", "0.00"},
      {{"30.00", "0.00", "25.00"}, {"1", "5", "0"}, "30.00", "30.00"},
  };
  shop.StandInFor({kHostTmallSuffix});
  shop.Page("/item.htm", "sku=7");
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = "/initItem" + std::to_string(++n);
    std::string prices, quantities;
    for (int i = 0; i < 3; ++i) {
      std::string sku = std::to_string(100 + i);
      prices += TmallPrice(sku.c_str(), c.prices[i]);
      quantities += TmallQuantity(sku.c_str(), c.quantities[i]);
    }
    shop.Json(path, TmallReply(prices, quantities));
    CSite site = Site();
    site.SetPromPriceUrl(shop.Link(path + "?itemId=$goodsid"));
    site.SetPromPriceRegex("\"price\":\"(.*?)\"");
    ProductRun run = FetchAndExtract(site, shop.Link("/item.htm"));
    EXPECT_EQ(run.values.promPrice, c.expected) << n;
    EXPECT_EQ(run.values.effectivePrice, c.effective) << n;
  }
}

TEST_F(ExtractShopsTest, OtherShopsReadThePromotionWithTheirPattern) {
  shop.Page("/item.htm", "sku=7 price=40.00");
  shop.Json("/initItem", TmallReply(TmallPrice("1", "30.00") + TmallPrice("2", "20.00"),
                                    TmallQuantity("1", "1") + TmallQuantity("2", "1")));
  CSite site = Site();
  site.SetPriceRegex("price=([0-9.]+)");
  site.SetPromPriceUrl(shop.Link("/initItem?itemId=$goodsid"));
  site.SetPromPriceRegex("\"price\":\"(.*?)\"");
  // Not the Tmall suffix: the pattern's first match is the promotion.
  ProductRun run = FetchAndExtract(site, shop.Link("/item.htm"));
  EXPECT_EQ(run.values.promPrice, "30.00");
  EXPECT_EQ(run.values.effectivePrice, "30.00");

  // The Tmall suffix without a promotion template reads the page as usual.
  shop.StandInFor({kHostTmallSuffix});
  site.SetPromPriceUrl("");
  site.SetPromPriceRegex("price=([0-9.]+)");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item.htm")).values.promPrice, "40.00");
}

// ---- Suning ----

class SuningTest : public ExtractShopsTest {
 protected:
  SuningTest() {
    shop.StandInFor({kHostSuningSuffix, kHostSuningStatus});
    shop.SuningStatusEndpoint(R"({"vendor":"0070094634","productStatus":"1"})");
    shop.Json("/p6", R"({"v6":"six"})");
    shop.Json("/price", R"({"price":"1,299.00"})");
  }

  // Parameters 1 to 5 from the page: city, store, catalog, part number and
  // the vendor marker.
  CSite SuningSite() {
    CSite site = Site();
    site.SetParam1Regex("city=(\\w+)");
    site.SetParam2Regex("store=(\\w+)");
    site.SetParam3Regex("catalog=(\\w+)");
    site.SetParam4Regex("part=(\\w+)");
    site.SetParam5Regex("vendor=(\\w+)");
    site.SetParam6Url(shop.Link("/p6?part=$param4&vendorCode=$param5"));
    site.SetParam6Regex("\"v6\":\"(.*?)\"");
    site.SetPriceUrl(shop.Link("/price?part=$param4&p6=$param6&vendorCode=$param5"));
    site.SetPriceRegex("\"price\":\"(.*?)\"");
    return site;
  }

  static std::string Page(const char* vendor) {
    return std::string("sku=9 city=9173 store=10052 catalog=22001 part=000000000123 vendor=") +
           vendor;
  }
};

TEST_F(SuningTest, PartnerProductsTakeTheVendorFromTheProductStatus) {
  shop.Page("/item.html", Page("SN_001"));
  ProductRun run = FetchAndExtract(SuningSite(), shop.Link("/item.html"));

  auto status = shop.RequestsTo(kSuningStatusPath);
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].target,
            "/SNProductStatusView?storeId=10052&catalogId=22001&partNumber=000000000123"
            "&cityId=9173&clientType=1&_=1700000000");
  EXPECT_EQ(run.values.params[4], "0070094634");
  // The later requests go without the vendor code.
  ASSERT_EQ(shop.Requests("/p6"), 1);
  EXPECT_EQ(shop.RequestsTo("/p6")[0].target, "/p6?part=000000000123");
  ASSERT_EQ(shop.Requests("/price"), 1);
  EXPECT_EQ(shop.RequestsTo("/price")[0].target, "/price?part=000000000123&p6=six");
  EXPECT_EQ(run.values.price, "1299.00");
}

TEST_F(SuningTest, OrdinaryProductsKeepTheirRules) {
  shop.Page("/item.html", Page("0000000000"));
  ProductRun run = FetchAndExtract(SuningSite(), shop.Link("/item.html"));
  EXPECT_EQ(shop.Requests(kSuningStatusPath), 0);
  EXPECT_EQ(run.values.params[4], "0000000000");
  ASSERT_EQ(shop.Requests("/price"), 1);
  EXPECT_EQ(shop.RequestsTo("/price")[0].target,
            "/price?part=000000000123&p6=six&vendorCode=0000000000");
}

TEST_F(SuningTest, OtherShopsIgnoreTheMarker) {
  home.Write("config.ini", "[Hosts]\nSuningSuffix=.suning.example\n");
  shop.Page("/item.html", Page("SN_001"));
  ProductRun run = FetchAndExtract(SuningSite(), shop.Link("/item.html"));
  EXPECT_EQ(shop.Requests(kSuningStatusPath), 0);
  EXPECT_EQ(run.values.params[4], "SN%5F001");
}

TEST_F(SuningTest, StockFollowsTheProductStatus) {
  struct Case {
    const char* status;
    const char* price;
    const char* stockText;
    int expected;
  } cases[] = {
      {"2", "10.00", "instock", STOCK_OUT},  // status 2: sold out, whatever else
      {"1", "10.00", "nostock", STOCK_OUT},  // status 1: the stock text decides
      {"1", "10.00", "instock", STOCK_IN},
      {"3", "10.00", "nostock", STOCK_IN},  // another status: a price means in stock
      {"3", "0", "nostock", STOCK_OUT},     // ... and without a price the text decides
      {"", "0", "", STOCK_UNKNOWN},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string stock = "/stock" + std::to_string(++n);
    const std::string price = "/price" + std::to_string(n);
    shop.Json(stock, std::string(R"({"productStatus":")") + c.status + R"(","text":")" +
                         c.stockText + "\"}");
    shop.Json(price, std::string(R"({"price":")") + c.price + "\"}");
    shop.Page("/item.html", Page("0000000000"));
    CSite site = SuningSite();
    site.SetPriceUrl(shop.Link(price + "?part=$param4"));
    site.SetStockUrl(shop.Link(stock + "?part=$param4&city=$param1"));
    site.SetStockRegex("\"text\":\"(.*?)\"");
    site.SetOutOfStockFlag("nostock");
    EXPECT_EQ(FetchAndExtract(site, shop.Link("/item.html")).values.stock, c.expected)
        << "status '" << c.status << "' price " << c.price;
    // The stock step's price look-up reuses the price step's reply.
    EXPECT_EQ(shop.Requests(price), 1) << n;
  }
}

// ---- Gome ----

class GomeTest : public ExtractShopsTest {
 protected:
  GomeTest() {
    shop.StandInFor({kHostGome, kHostGomeRegion});
    shop.GomeRegionEndpoint("11010200");
    shop.Page("/product.html", "sku=5 area=A1");
    shop.Json("/prices", R"({"price":"88.00","stock":"on"})");
  }
  CSite GomeSite() {
    CSite site = Site();
    site.SetParam1Url(shop.Link("/prices?p=1&city=$city"));
    site.SetParam1Regex("\"price\":\"(.*?)\"");
    site.SetPriceUrl(shop.Link("/prices?id=$goodsid&city=$city"));
    site.SetPriceRegex("\"price\":\"(.*?)\"");
    site.SetPromPriceUrl(shop.Link("/prices?id=$goodsid&city=$city"));
    site.SetPromPriceRegex("\"prom\":\"(.*?)\"");
    site.SetStockUrl(shop.Link("/prices?id=$goodsid&city=$city&stock=1"));
    site.SetStockRegex("\"stock\":\"(.*?)\"");
    site.SetOutOfStockFlag("off");
    return site;
  }
};

TEST_F(GomeTest, RegionCookieFillsCityOnce) {
  ProductRun run = FetchAndExtract(GomeSite(), shop.Link("/product.html"));
  EXPECT_EQ(run.values.price, "88.00");
  EXPECT_EQ(run.values.stock, STOCK_IN);

  auto region = shop.RequestsTo(kGomeRegionEndpointPath);
  ASSERT_EQ(region.size(), 1u);
  EXPECT_EQ(region[0].target,
            std::string(kGomeRegionEndpointPath) + "?callback=ipWrite&_1700000000");
  EXPECT_EQ(region[0].Header("Referer"), shop.Link("/product.html"));
  std::vector<std::string> targets;
  for (const ShopRequest& r : shop.RequestsTo("/prices")) targets.push_back(r.target);
  // Parameter steps leave "$city" alone; the promotional step found the
  // price step's reply under the key taken before "$city" was filled in.
  EXPECT_EQ(targets,
            (std::vector<std::string>{"/prices?p=1&city=$city", "/prices?id=5&city=11010200",
                                      "/prices?id=5&city=11010200&stock=1"}));
  EXPECT_EQ(run.trace.cacheHits, std::vector<std::string>{shop.Link("/prices?id=5&city=$city")});

  // The cookie store keeps the region: the next pass does not ask again.
  FetchAndExtract(GomeSite(), shop.Link("/product.html"));
  EXPECT_EQ(shop.Requests(kGomeRegionEndpointPath), 1);
}

TEST_F(GomeTest, SisterShopToo) {
  home.Write("config.ini", "");
  shop.StandInFor({kHostCoo8, kHostGomeRegion});
  FetchAndExtract(GomeSite(), shop.Link("/product.html"));
  EXPECT_EQ(shop.Requests(kGomeRegionEndpointPath), 1);
}

TEST_F(GomeTest, NoRegionLeavesCityEmpty) {
  shop.Reply(kGomeRegionEndpointPath, MakeReply("down", "text/plain", 503));
  ProductRun run = FetchAndExtract(GomeSite(), shop.Link("/product.html"));
  EXPECT_EQ(shop.RequestsTo("/prices")[1].target, "/prices?id=5&city=");
  EXPECT_EQ(run.values.price, "88.00");
}

TEST_F(GomeTest, OtherShopsSendCityAsWritten) {
  home.Write("config.ini", "[Hosts]\nGomeHost=www.gome.example\nCoo8Host=\n");
  shop.StandInFor({kHostGomeRegion});
  FetchAndExtract(GomeSite(), shop.Link("/product.html"));
  EXPECT_EQ(shop.Requests(kGomeRegionEndpointPath), 0);
  EXPECT_EQ(shop.RequestsTo("/prices")[1].target, "/prices?id=5&city=$city");
}

// ---- Yihaodian and Yixun ----

TEST_F(ExtractShopsTest, YihaodianProvinceGoesWithThePageAndTheStockRequest) {
  shop.StandInFor({kHostYihaodian3, kHostYihaodianProvince});
  shop.YihaodianProvinceEndpoint("2");
  shop.Page("/item/5", "sku=5");
  shop.Text("/api/stock", "stock:有货");
  CSite site = Site();
  site.SetStockUrl(shop.Link("/api/stock?id=$goodsid"));
  site.SetStockRegex("stock:(.*)");
  site.SetOutOfStockFlag(Utf8ToLocal("-有货"));

  ProductRun run = FetchAndExtract(site, shop.Link("/item/5"));
  EXPECT_EQ(run.values.stock, STOCK_IN);
  // Once before the page, once before the stock request.
  EXPECT_EQ(shop.Requests(kYihaodianProvincePath), 2);
  auto log = shop.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].path, kYihaodianProvincePath);
  EXPECT_EQ(log[1].path, "/item/5");
  EXPECT_EQ(log[1].Header("Cookie"), "provinceId=2");
  EXPECT_EQ(log[2].path, kYihaodianProvincePath);
  EXPECT_EQ(log[2].Header("Referer"), "");
  EXPECT_EQ(log[3].path, "/api/stock");
  EXPECT_EQ(log[3].Header("Cookie"), "provinceId=2");
}

TEST_F(ExtractShopsTest, YixunIsAskedForTheLocationBeforeThePage) {
  shop.StandInFor({kHostYixun2, kHostYixunLocation});
  shop.YixunLocationEndpoint();
  shop.Page("/item-5.html", "sku=5");
  ProductRun run = FetchAndExtract(Site(), shop.Link("/item-5.html"));
  auto log = shop.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].target, "/w/loc/getloc?noSetCookie=0");
  EXPECT_EQ(log[0].Header("Referer"), shop.Link("/item-5.html"));
  EXPECT_EQ(log[1].path, "/item-5.html");
  EXPECT_EQ(run.info.id, "5");
}

TEST_F(ExtractShopsTest, OtherShopsNeedNoPreparation) {
  shop.StandInFor({kHostYihaodianProvince, kHostYixunLocation});
  shop.YihaodianProvinceEndpoint("2");
  shop.YixunLocationEndpoint();
  shop.Page("/item/5", "sku=5");
  FetchAndExtract(Site(), shop.Link("/item/5"));
  EXPECT_EQ(shop.TotalRequests(), 1);
}

// ---- Price images ----

TEST_F(ExtractShopsTest, PriceImagesAreReadWithTheShopsTemplates) {
  WriteDigitTemplates(home.File("priceimg/fake"));
  shop.PriceImage("/price/5.png", "Y1299.50");
  shop.PriceImage("/price/6.png", "1299.50");
  shop.Page("/item/5", "sku=5 <img id=price src=\"" + shop.Link("/price/5.png") + "\">");
  shop.Page("/item/6", "sku=6 <img id=price src=\"" + shop.Link("/price/6.png") + "\">");
  shop.Page("/item/7", "sku=7 <img id=price src=\"" + shop.Link("/price/none.png") + "\">");
  CSite site = Site();
  site.SetPriceRegex("<img id=price src=\"(.*?)\"");
  site.SetPriceImgTplPath("priceimg\\fake\\");
  site.SetPriceImgType("png");
  site.SetPriceImgColors("204,0,0|");

  // The currency sign has no template and is skipped like any unknown glyph.
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/5")).values.price, "1299.50");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/6")).values.price, "1299.50");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/7")).values.price, "0.00");
  // Without templates nothing is read.
  site.SetPriceImgTplPath("priceimg/missing/");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/6")).values.price, "0.00");
}

// A page names the price image; a local file it names is never read (a
// device would never end, a FIFO would block, a picture of the user's would
// be read): links go to the shop, "/" ones to its first host.
TEST_F(ExtractShopsTest, PriceImagesNamedAsLocalFilesAreNeverRead) {
  WriteDigitTemplates(home.File("priceimg/fake"));
  shop.PriceImage("/price/5.png", "1299.50");
  ASSERT_TRUE(CSpider().DownloadFile(shop.Link("/price/5.png"), home.File("local.png")));
  ASSERT_EQ(mkfifo(home.File("pipe").c_str(), 0600), 0);
  CSite site = Site();
  site.SetDomain(shop.Host() + "|other.example");
  site.SetPriceRegex("<img id=price src=\"(.*?)\"");
  site.SetPriceImgTplPath("priceimg\\fake\\");
  site.SetPriceImgType("png");
  site.SetPriceImgColors("204,0,0|");
  const std::string named[] = {"/dev/zero", home.File("pipe"), home.File("local.png"),
                               "file://" + home.File("local.png"), "local.png"};
  for (const std::string& source : named) {
    shop.Page("/item/5", "sku=5 <img id=price src=\"" + source + "\">");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/5")).values.price, "0.00") << source;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << source;
  }
  // "/" and "//" links are the shop's.
  shop.Page("/item/5", "sku=5 <img id=price src=\"/price/5.png\">");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/5")).values.price, "1299.50");
  shop.Page("/item/5", "sku=5 <img id=price src=\"//" + shop.Host() + "/price/5.png\">");
  EXPECT_EQ(FetchAndExtract(site, shop.Link("/item/5")).values.price, "1299.50");
}

}  // namespace
