// The extraction steps on values that a page holds itself: no request is
// sent, which the recording trace confirms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

// The steps of one product over a page, without a shop behind it.
class PageSteps {
 public:
  explicit PageSteps(std::string page) : m_page(std::move(page)) {}
  ExtractContext Context() { return {m_spider, m_page, m_referer, m_cache, &m_trace}; }
  const RecordingTrace& Trace() const { return m_trace; }

 private:
  std::string m_page;
  std::string m_referer = "http://127.0.0.1:9/item.html";
  CSpider m_spider;
  BodyCache m_cache;
  RecordingTrace m_trace;
};

struct PriceCase {
  const char* text;
  const char* expected;
};

TEST(ExtractPriceTest, ReadsThePriceTextAsTheShopWritesIt) {
  TempDir home(true);
  const PriceCase cases[] = {
      {"1,299.00", "1299.00"},
      {"99", "99.00"},
      {"  12.5", "12.50"},
      {"0.5", "0.50"},
      {"\xA3\xA4"
       "99",
       "0.00"},  // a full-width currency sign (GBK) in front
      {"$99", "0.00"},
      {"", "0.00"},
      {"abc", "0.00"},
      {"12.30元", "12.30"},
      {"-5", "-5.00"},
      {"1e3", "1000.00"},
      {"1,2,3.5", "123.50"},
      // Only plain decimal numbers count as prices.
      {"nan", "0.00"},
      {"inf", "0.00"},
      {"0x1A", "0.00"},
      {"1e999", "0.00"},
  };
  CSite site;
  site.SetPriceRegex("<b>(.*?)</b>");
  for (const PriceCase& c : cases) {
    PageSteps steps(std::string("<p><b>") + c.text + "</b></p>");
    EXPECT_EQ(ExtractPrice(steps.Context(), site, {}), c.expected) << c.text;
    EXPECT_TRUE(steps.Trace().requests.empty());
  }
}

TEST(ExtractPriceTest, FormatsWithTwoDecimalsWhateverTheLocale) {
  EXPECT_EQ(FormatPrice(1299), "1299.00");
  EXPECT_EQ(FormatPrice(0.125), "0.12");  // as printf rounds the binary value
  EXPECT_EQ(FormatPrice(12.345), "12.35");
  EXPECT_EQ(ReadNumber("  7.25 yuan"), 7.25);
  EXPECT_EQ(ReadNumber("1,299"), 1);  // only the price step drops commas
  EXPECT_EQ(ReadPriceNumber("1,299"), 1299);
}

TEST(ExtractPriceTest, EffectivePriceIsTheLowerPromotion) {
  struct Case {
    const char* price;
    const char* prom;
    const char* expected;
  } cases[] = {
      {"100.00", "95.00", "95.00"},
      {"100.00", "0.00", "100.00"},
      {"0.00", "95.00", "95.00"},
      {"90.00", "95.00", "90.00"},
      {"100.00", "100.00", "100.00"},
      {"100.00", "999999999.00", "100.00"},
      // Tmall's "no promotion in stock" never becomes the price.
      {"0.00", "999999999.00", "0.00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EffectivePrice(c.price, c.prom), c.expected) << c.price << " " << c.prom;
}

TEST(ExtractStockTest, OutOfStockFlagAgainstTheStockText) {
  struct Case {
    const char* flag;
    const char* stockText;
    int expected;
  } cases[] = {
      {"X", "aXb", STOCK_OUT},     {"X", "ab", STOCK_IN},       {"+X", "aXb", STOCK_OUT},
      {"+X", "ab", STOCK_IN},      {"-Y", "has Y", STOCK_IN},   {"-Y", "has none", STOCK_OUT},
      {"x", "X", STOCK_IN},  // markers are case-sensitive
      {"", "anything", STOCK_OUT}, {"-", "anything", STOCK_IN}, {"X", "", STOCK_UNKNOWN},
      {"-Y", "", STOCK_UNKNOWN},
  };
  for (const Case& c : cases) {
    CSite site;
    site.SetStockRegex("<i>(.*?)</i>");
    site.SetOutOfStockFlag(c.flag);
    PageSteps steps(std::string("<i>") + c.stockText + "</i>");
    EXPECT_EQ(ExtractStock(steps.Context(), site, {}), c.expected)
        << "flag '" << c.flag << "' text '" << c.stockText << "'";
  }
}

TEST(ExtractStockTest, NoGoodsDecidesBeforeAnyStockRequest) {
  struct Case {
    const char* noGoods;
    const char* page;
    int expected;
    bool asksStock;
  } cases[] = {
      {"+Z", "<p>Z</p>", STOCK_OUT, false},  {"-Z", "<p>Z</p>", STOCK_IN, false},
      {"Z", "<p>Z</p>", STOCK_OUT, false},   {"+Z", "<p>nothing</p>", STOCK_UNKNOWN, true},
      {"", "<p>Z</p>", STOCK_UNKNOWN, true},
  };
  for (const Case& c : cases) {
    CSite site;
    site.SetNoGoods(c.noGoods);
    // Port 9 (discard) on this machine: nothing answers, the body is empty.
    site.SetStockUrl("http://127.0.0.1:9/stock?t=$nowtime");
    site.SetStockRegex("(.+)");
    PageSteps steps(c.page);
    EXPECT_EQ(ExtractStock(steps.Context(), site, {}), c.expected) << c.noGoods << " " << c.page;
    EXPECT_EQ(steps.Trace().requests.size(), c.asksStock ? 1u : 0u) << c.noGoods << c.page;
  }
}

TEST(ExtractParamTest, ValuesArePercentEncodedForTheNextLinks) {
  CSite site;
  site.SetParam1Regex("a=\"(.*?)\"");
  site.SetParam2Regex("b=\"(.*?)\"");
  site.SetParam3Regex("c=\"(.*?)\"");
  PageSteps steps("<x a=\"two words\" b=\"SN_001\" c=\"\xD6\xD0\">");
  ExtractParams params;
  for (int n = 1; n <= 3; ++n) params[n - 1] = ExtractParam(steps.Context(), site, n, params);
  EXPECT_EQ(params[0], "two%20words");
  EXPECT_EQ(params[1], "SN%5F001");
  EXPECT_EQ(params[2], "%D6%D0");
  EXPECT_EQ(ExtractParam(steps.Context(), site, 4, params), "");  // no pattern, no value
}

TEST(ExtractItemInfoTest, NameIdAndImageLink) {
  TempDir home(true);
  home.Write("config.ini",
             "[Hosts]\nYixunHost1=item.yixun.example\nEfeihuHost=www.efeihu.example\n"
             "YixunHost2=\n");
  struct Case {
    const char* domain;
    const char* image;
    const char* expected;
  } cases[] = {
      {"www.shop.example", "/img/1.jpg", "http://www.shop.example/img/1.jpg"},
      {"a.example|b.example", "/img/1.jpg", "http://a.example/img/1.jpg"},
      {"www.shop.example", "img/1.jpg", "http://www.shop.exampleimg/1.jpg"},
      {"www.shop.example", "HTTP://cdn.example/1.jpg", "HTTP://cdn.example/1.jpg"},
      // A link that names its scheme or its host keeps it.
      {"www.shop.example", "https://cdn.example/1.jpg", "https://cdn.example/1.jpg"},
      {"www.shop.example", "//cdn.example/1.jpg", "http://cdn.example/1.jpg"},
      {"www.shop.example", "", ""},
      // These shops write their own image links without scheme.
      {"item.yixun.example", "/img/1.jpg", "/img/1.jpg"},
      {"WWW.EFEIHU.EXAMPLE", "/img/1.jpg", "/img/1.jpg"},
      // An empty host configured for the second Yixun host never matches.
      {"", "/img/1.jpg", "http:///img/1.jpg"},
  };
  for (const Case& c : cases) {
    CSite site;
    site.SetDomain(c.domain);
    site.SetNameRegex("<h1>(.*?)</h1>");
    site.SetIDRegex("sku=(\\d+)");
    site.SetImageRegex("<img src=\"(.*?)\"");
    ItemInfo info =
        ExtractItemInfo(std::string("<h1>Kettle</h1> sku=42 <img src=\"") + c.image + "\">", site);
    EXPECT_EQ(info.name, "Kettle");
    EXPECT_EQ(info.id, "42");
    EXPECT_EQ(info.image, c.expected) << c.domain << " " << c.image;
  }
}

}  // namespace
