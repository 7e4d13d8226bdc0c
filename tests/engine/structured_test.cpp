// The reader of the product data shops publish for search engines, on pages
// written for these tests, and the general shop's fetch of GBK and UTF-8
// pages.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "engine/generic.h"
#include "engine/spider.h"
#include "engine/structured.h"
#include "support/fakeshop.h"

namespace {

std::string Html(const std::string& head, const std::string& body = "") {
  return "<!DOCTYPE html><html><head>" + head + "</head><body>" + body + "</body></html>";
}

std::string JsonLd(const std::string& json) {
  return "<script type=\"application/ld+json\">" + json + "</script>";
}

struct Expected {
  std::string name, image, price, currency, id;
  int stock;
  std::string nameSource, priceSource, idSource;
};

TEST(StructuredDataTest, ReadsEveryShapeOfProductData) {
  const struct {
    const char* what;
    std::string page;
    Expected want;
  } cases[] = {
      {"JSON-LD product with an offer",
       Html(JsonLd(R"({"@context":"https://schema.org","@type":"Product","name":"Kettle",
           "image":"http://s/k.jpg","sku":"K-1","offers":{"@type":"Offer","price":"1,299.00",
           "priceCurrency":"CNY","availability":"https://schema.org/InStock"}})")),
       {"Kettle", "http://s/k.jpg", "1299.00", "CNY", "K-1", 1, "json-ld", "json-ld", "json-ld"}},
      {"inside @graph, image object, offers array, lowPrice",
       Html(JsonLd(R"({"@context":"https://schema.org","@graph":[{"@type":"WebSite","name":"Shop"},
           {"@type":["Product","Thing"],"name":"Lamp","image":[{"@type":"ImageObject",
           "url":"http://s/l.jpg"}],"gtin13":"6901234567892","offers":[{"@type":"AggregateOffer",
           "lowPrice":89.9,"priceCurrency":"EUR","availability":"http://schema.org/OutOfStock"}]}]})")),
       {"Lamp", "http://s/l.jpg", "89.90", "EUR", "6901234567892", 0, "json-ld", "json-ld",
        "json-ld"}},
      {"top-level array, broken block first",
       Html(JsonLd(R"({"@type":"Product","name":"Broken",)") +
            JsonLd(R"([{"@type":"BreadcrumbList"},{"@type":"Product","name":"Mug",
               "productID":"M9","image":"http://s/m.jpg","offers":{"price":"¥ 89",
               "availability":"InStock"}}])")),
       {"Mug", "http://s/m.jpg", "89.00", "", "M9", 1, "json-ld", "json-ld", "json-ld"}},
      {"microdata with content and with text, a brand's name ignored",
       Html("", R"(<div itemscope itemtype="https://schema.org/Product">
           <div itemprop="brand" itemscope itemtype="https://schema.org/Brand">
             <span itemprop="name">Acme</span></div>
           <h1 itemprop="name">  Steel   Pot </h1><img itemprop="image" src="http://s/p.jpg">
           <meta itemprop="sku" content="P-7">
           <div itemprop="offers" itemscope itemtype="https://schema.org/Offer">
             <span itemprop="price" content="45.50">45,50 €</span>
             <meta itemprop="priceCurrency" content="EUR">
             <link itemprop="availability" href="https://schema.org/InStock"></div></div>)"),
       {"Steel Pot", "http://s/p.jpg", "45.50", "EUR", "P-7", 1, "microdata", "microdata",
        "microdata"}},
      {"microdata price as text with a decimal comma",
       Html("<link rel=\"canonical\" href=\"http://s/item/3\">",
            R"(<div itemscope itemtype="http://schema.org/Product"><span itemprop="name">Cup</span>
              <span itemprop="price">89,90 €</span></div>)"),
       {"Cup", "", "89.90", "", "http://s/item/3", -1, "microdata", "microdata", "link"}},
      {"Open Graph only",
       Html(R"(<meta property="og:title" content="Fan"><meta property="og:image"
             content="http://s/f.jpg"><meta property="product:price:amount" content="1.299,00">
             <meta property="product:price:currency" content="EUR">
             <meta property="product:availability" content="out of stock">
             <link rel="canonical" href="http://s/fan">)"),
       {"Fan", "http://s/f.jpg", "1299.00", "EUR", "http://s/fan", 0, "opengraph", "opengraph",
        "link"}},
      {"JSON-LD wins over Open Graph, which fills the gaps",
       Html(JsonLd(R"({"@type":"Product","name":"Kettle","offers":{"price":"99"}})") +
            R"(<meta property="og:title" content="Other"><meta property="og:image"
               content="http://s/o.jpg"><meta property="og:price:amount" content="1">)"),
       {"Kettle", "http://s/o.jpg", "99.00", "", "", -1, "json-ld", "json-ld", ""}},
      {"no product data",
       Html("<title>Home</title>", "<p>price 99</p>"),
       {"", "", "", "", "", -1, "", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const GenericProduct product = ReadGenericProduct(Utf8ToLocal(c.page));
    EXPECT_EQ(LocalToUtf8(product.info.name), c.want.name);
    EXPECT_EQ(product.info.image, c.want.image);
    EXPECT_EQ(product.price, c.want.price);
    EXPECT_EQ(product.currency, c.want.currency);
    EXPECT_EQ(product.info.id, c.want.id);
    EXPECT_EQ(product.stock, c.want.stock);
    EXPECT_EQ(product.data.name.source, c.want.nameSource);
    EXPECT_EQ(product.data.price.source, c.want.priceSource);
    EXPECT_EQ(product.data.id.source, c.want.idSource);
  }
}

TEST(StructuredDataTest, PricesAsWritten) {
  const struct {
    const char* written;
    const char* price;
  } cases[] = {
      {"1,299.00", "1299.00"},
      {"¥ 89", "89.00"},
      {"89,90 €", "89.90"},
      {"1.299,00", "1299.00"},
      {"1,299", "1299.00"},
      {"0.999", "1.00"},
      {"1 299,50", "1299.50"},
      {"12.5", "12.50"},
      {"US$ 1,234,567.8", "1234567.80"},
      {"", ""},
      {"free", ""},
      {"0.00", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    EXPECT_EQ(StructuredPriceText(Utf8ToLocal(c.written)), c.price);
  }
}

TEST(StructuredDataTest, SchemaOrgPricesAreNumbersWithADecimalPoint) {
  const struct {
    std::string page;
    const char* price;
  } cases[] = {
      {Html(JsonLd(R"({"@type":"Product","offers":{"price":"1.000"}})")), "1.00"},
      {Html(JsonLd(R"({"@type":"Product","offers":{"price":"19.990"}})")), "19.99"},
      {Html(JsonLd(R"({"@type":"Product","offers":{"price":"-5.00"}})")), ""},
      {Html(JsonLd(R"({"@type":"Product","offers":{"price":-5}})")), ""},
      {Html(JsonLd(R"({"@type":"Product","offers":{"price":"1e3"}})")), ""},
      {Html("", R"(<div itemscope itemtype="http://schema.org/Product">
           <span itemprop="price" content="19.990">19,99 €</span></div>)"),
       "19.99"},
      {Html("", R"(<div itemscope itemtype="http://schema.org/Product">
           <span itemprop="price">1.299 €</span></div>)"),
       "1299.00"},
      {Html(R"(<meta property="product:price:amount" content="1.000">)"), "1.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    EXPECT_EQ(ReadGenericProduct(Utf8ToLocal(c.page)).price, c.price);
  }
}

TEST(StructuredDataTest, GeneralShopReadsGbkAndUtf8Pages) {
  FakeShop shop;
  const std::string page =
      Html(JsonLd(R"({"@type":"Product","name":"电热水壶","image":"http://s/k.jpg",
          "sku":"S1","offers":{"price":"129.00","priceCurrency":"CNY",
          "availability":"https://schema.org/InStock"}})"));
  shop.Page("/gbk.html", page, PageEncoding::kGbk);
  shop.Page("/utf8.html", page, PageEncoding::kUtf8);
  for (const char* path : {"/gbk.html", "/utf8.html"}) {
    SCOPED_TRACE(path);
    CSpider spider;
    std::string fetched;
    ASSERT_TRUE(FetchGenericPage(spider, shop.Link(path), fetched));
    const GenericProduct product = ReadGenericProduct(fetched);
    EXPECT_EQ(product.info.name, Utf8ToLocal("电热水壶"));
    EXPECT_EQ(product.price, "129.00");
    EXPECT_TRUE(AcceptGenericProduct(product));
  }
  EXPECT_EQ(GenericSiteDomain(shop.Link("/x")), shop.Host());
  EXPECT_TRUE(GenericShopTakes(shop.Link("/x")));
  EXPECT_FALSE(GenericShopTakes("ftp://127.0.0.1/x"));
  EXPECT_FALSE(GenericShopTakes("not a link"));
}

}  // namespace
