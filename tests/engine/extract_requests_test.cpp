// The requests of the extraction steps against a fake shop: which are sent,
// what their links hold, and which replies the BodyCache shares.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "base/clock.h"
#include "base/codepage.h"
#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

constexpr std::time_t kNow = 1700000000;

class ExtractRequestsTest : public testing::Test {
 protected:
  ExtractRequestsTest() {
    SetClockForTesting([] { return kNow; });
    shop.Page("/item/42.html", kPage);
  }
  ~ExtractRequestsTest() override { SetClockForTesting({}); }

  // A page with the usual values: ID 42, area 7, a name and an image.
  static constexpr const char* kPage =
      "<html><h1>Kettle</h1><span id=\"sku\">42</span> area=7 store=S1 "
      "<img src=\"/img/42.jpg\"></html>";

  CSite SiteWithPageValues() {
    CSite site;
    site.SetName("Fake");
    site.SetDomain(shop.Host());
    site.SetEncode("utf-8");
    site.SetNameRegex("<h1>(.*?)</h1>");
    site.SetIDRegex("id=\"sku\">(\\d+)<");
    site.SetImageRegex("<img src=\"(.*?)\"");
    return site;
  }

  TempDir home{true};
  FakeShop shop;
};

TEST_F(ExtractRequestsTest, WithoutTemplatesOnlyThePageIsRequested) {
  shop.Page("/item/1.html",
            "<h1>Kettle</h1> sku=1 area=7 price=1,299.00 promo=1,199.00 stock=plenty "
            "<img src=\"/img/1.jpg\">");
  CSite site = SiteWithPageValues();
  site.SetIDRegex("sku=(\\d+)");
  site.SetParam1Regex("area=(\\d+)");
  site.SetPriceRegex("price=([0-9.,]+)");
  site.SetPromPriceRegex("promo=([0-9.,]+)");
  site.SetStockRegex("stock=(\\w+)");
  site.SetOutOfStockFlag("none");

  ProductRun run = FetchAndExtract(site, shop.Link("/item/1.html"));
  EXPECT_EQ(shop.TotalRequests(), 1);
  EXPECT_EQ(run.trace.requests.size(), 1u);
  EXPECT_EQ(run.values.params[0], "7");
  EXPECT_EQ(run.values.price, "1299.00");
  EXPECT_EQ(run.values.promPrice, "1199.00");
  EXPECT_EQ(run.values.effectivePrice, "1199.00");
  EXPECT_EQ(run.values.stock, STOCK_IN);
  EXPECT_EQ(run.info.name, "Kettle");
  EXPECT_EQ(run.info.id, "1");
  EXPECT_EQ(run.info.image, "http://" + shop.Host() + "/img/1.jpg");
}

TEST_F(ExtractRequestsTest, EqualParameterLinksShareOneRequest) {
  shop.Json("/params", R"({"a":"x y","b":"B2"})");
  CSite site = SiteWithPageValues();
  site.SetParam1Url(shop.Link("/params?id=$goodsid&t=$nowtime"));
  site.SetParam1Regex("\"a\":\"(.*?)\"");
  site.SetParam2Url(shop.Link("/params?id=$goodsid&t=$nowtime"));
  site.SetParam2Regex("\"b\":\"(.*?)\"");

  ProductRun run = FetchAndExtract(site, shop.Link("/item/42.html"));
  EXPECT_EQ(shop.Requests("/params"), 1);
  EXPECT_EQ(run.values.params[0], "x%20y");
  EXPECT_EQ(run.values.params[1], "B2");
  ASSERT_EQ(run.trace.cacheHits.size(), 1u);
  // The key is the link without its time stamp.
  EXPECT_EQ(run.trace.cacheHits[0], shop.Link("/params?id=42&t="));
}

TEST_F(ExtractRequestsTest, TheFirstParameterAlwaysAsksTheShop) {
  shop.Json("/params", R"({"a":"fresh"})");
  CSite site = SiteWithPageValues();
  site.SetParam1Url(shop.Link("/params"));
  site.SetParam1Regex("\"a\":\"(.*?)\"");
  site.SetParam2Url(shop.Link("/params"));
  site.SetParam2Regex("\"a\":\"(.*?)\"");

  CSpider spider;
  BodyCache cache{{shop.Link("/params"), R"({"a":"stale"})"}};
  const std::string page = kPage;
  const std::string referer = shop.Link("/item/42.html");
  ExtractContext context{spider, page, referer, cache, nullptr};
  EXPECT_EQ(ExtractParam(context, site, 2, {}), "stale");
  EXPECT_EQ(shop.Requests("/params"), 0);
  EXPECT_EQ(ExtractParam(context, site, 1, {}), "fresh");
  EXPECT_EQ(shop.Requests("/params"), 1);
  EXPECT_EQ(cache[shop.Link("/params")], R"({"a":"fresh"})");
}

TEST_F(ExtractRequestsTest, PlaceholdersAreFilledInEachStepsOrder) {
  shop.Page("/item/odd.html", "<span id=\"sku\">A$nowtimeB</span> area=7 store=S1");
  shop.Text("/p1", "v1=one");
  shop.Text("/p2", "v2=two");
  shop.Text("/price", "price=10");
  shop.Text("/prom", "prom=9");
  shop.Text("/stock", "stock=yes");
  CSite site = SiteWithPageValues();
  site.SetIDRegex("id=\"sku\">(.*?)<");
  site.SetParam1Url(shop.Link("/p1?id=$goodsid&next=$param1"));
  site.SetParam1Regex("v1=(\\w+)");
  // Parameter 2 knows parameter 1 only.
  site.SetParam2Url(shop.Link("/p2?a=$param1&c=$param3&t=$nowtime"));
  site.SetParam2Regex("v2=(\\w+)");
  site.SetPriceUrl(shop.Link("/price?id=$goodsid&a=$param1&b=$param2&t=$nowtime"));
  site.SetPriceRegex("price=(\\d+)");
  site.SetPromPriceUrl(shop.Link("/prom?base=$memberprice&id=$goodsid"));
  site.SetPromPriceRegex("prom=(\\d+)");
  site.SetStockUrl(shop.Link("/stock?id=$goodsid&p7=$param7"));
  site.SetStockRegex("stock=(\\w+)");
  site.SetOutOfStockFlag("no");

  ProductRun run = FetchAndExtract(site, shop.Link("/item/odd.html"));
  auto target = [&](const char* path) {
    auto requests = shop.RequestsTo(path);
    return requests.empty() ? std::string("(none)") : requests[0].target;
  };
  // The parameter steps put the ID in last, so a placeholder in it stays.
  EXPECT_EQ(target("/p1"), "/p1?id=A$nowtimeB&next=$param1");
  EXPECT_EQ(target("/p2"), "/p2?a=one&c=$param3&t=1700000000");
  // The value steps put the ID in first.
  EXPECT_EQ(target("/price"), "/price?id=A1700000000B&a=one&b=two&t=1700000000");
  EXPECT_EQ(target("/prom"), "/prom?base=10.00&id=A1700000000B");
  EXPECT_EQ(target("/stock"), "/stock?id=A1700000000B&p7=");
  EXPECT_EQ(run.values.price, "10.00");
  EXPECT_EQ(run.values.promPrice, "9.00");
  EXPECT_EQ(run.values.effectivePrice, "9.00");
  EXPECT_EQ(run.values.stock, STOCK_IN);
}

TEST_F(ExtractRequestsTest, RequestsDifferingOnlyInTheStampShareOneReply) {
  std::atomic<std::time_t> now{kNow};
  SetClockForTesting([&now] { return now++; });  // every look at the clock is a second later
  shop.Json("/prices", R"({"p":"1,299.00","m":"1,199.00"})");
  CSite site = SiteWithPageValues();
  site.SetPriceUrl(shop.Link("/prices?id=$goodsid&t=$nowtime"));
  site.SetPriceRegex("\"p\":\"(.*?)\"");
  site.SetPromPriceUrl(shop.Link("/prices?t=$nowtime&id=$goodsid"));
  site.SetPromPriceRegex("\"m\":\"(.*?)\"");
  site.SetStockUrl(shop.Link("/prices?id=$goodsid&t=$nowtime"));
  site.SetStockRegex("\"p\":\"(.*?)\"");
  site.SetOutOfStockFlag("-1");

  ProductRun run = FetchAndExtract(site, shop.Link("/item/42.html"));
  EXPECT_EQ(run.values.price, "1299.00");
  // Another key (the same link with its query in another order): its own request.
  EXPECT_EQ(run.values.promPrice, "1199.00");
  EXPECT_EQ(run.values.stock, STOCK_IN);
  EXPECT_EQ(shop.Requests("/prices"), 2);
  EXPECT_EQ(run.trace.cacheHits.size(), 1u);
  SetClockForTesting({});
}

TEST_F(ExtractRequestsTest, AFailedRequestIsNotRepeatedWithinThePass) {
  CSite site = SiteWithPageValues();
  site.SetPriceUrl(shop.Link("/missing?id=$goodsid"));
  site.SetPriceRegex("\"p\":\"(.*?)\"");
  site.SetPromPriceUrl(shop.Link("/missing?id=$goodsid"));
  site.SetPromPriceRegex("\"m\":\"(.*?)\"");
  site.SetStockUrl(shop.Link("/missing?id=$goodsid"));
  site.SetStockRegex("(.+)");

  ProductRun run = FetchAndExtract(site, shop.Link("/item/42.html"));
  EXPECT_EQ(shop.Requests("/missing"), 1);
  EXPECT_EQ(run.values.price, "0.00");
  EXPECT_EQ(run.values.promPrice, "0.00");
  EXPECT_EQ(run.values.effectivePrice, "0.00");
  EXPECT_EQ(run.values.stock, STOCK_UNKNOWN);

  // A new pass starts with an empty cache and asks again.
  FetchAndExtract(site, shop.Link("/item/42.html"));
  EXPECT_EQ(shop.Requests("/missing"), 2);
}

TEST_F(ExtractRequestsTest, StepRequestsCarryTheRefererAndTheXmlHttpHeader) {
  shop.Json("/prices", R"({"p":"5"})");
  CSite site = SiteWithPageValues();
  site.SetPriceUrl(shop.Link("/prices"));
  site.SetPriceRegex("\"p\":\"(.*?)\"");
  const std::string productUrl = shop.Link("/item/42.html");
  FetchAndExtract(site, productUrl);

  auto page = shop.RequestsTo("/item/42.html");
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0].Header("Referer"), "");
  EXPECT_EQ(page[0].Header("X-Requested-With"), "");
  auto prices = shop.RequestsTo("/prices");
  ASSERT_EQ(prices.size(), 1u);
  EXPECT_EQ(prices[0].Header("Referer"), productUrl);
  EXPECT_EQ(prices[0].Header("X-Requested-With"), "XMLHttpRequest");
}

TEST_F(ExtractRequestsTest, PagesInEveryEncodingGiveLocalText) {
  struct Case {
    PageEncoding encoding;
    bool gzip;
    bool declareCharset;
    const char* siteEncode;
  } cases[] = {
      {PageEncoding::kUtf8, false, true, "utf-8"},
      {PageEncoding::kUtf8, true, true, "utf-8"},
      {PageEncoding::kGbk, false, true, "gbk"},
      {PageEncoding::kGbk, true, true, "gbk"},
      // Without a charset in the reply, the shop's Encode decides.
      {PageEncoding::kUtf8, true, false, "utf-8"},
      {PageEncoding::kGbk, false, false, "gb2312"},
  };
  const std::string name = "电热水壶 1.7升";
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = "/item/" + std::to_string(++n) + ".html";
    shop.Page(path, "<h1>" + name + "</h1> <b>价格：￥99.50</b>",
              PageOptions{c.encoding, c.gzip, c.declareCharset});
    CSite site = SiteWithPageValues();
    site.SetEncode(c.siteEncode);
    site.SetPriceRegex(Utf8ToLocal("价格：￥([0-9.]+)"));
    ProductRun run = FetchAndExtract(site, shop.Link(path));
    EXPECT_EQ(run.info.name, Utf8ToLocal(name)) << n;
    EXPECT_EQ(run.values.price, "99.50") << n;
  }
}

}  // namespace
