// A shop learned from one page and the price the user sees on it.
#include "engine/learn.h"

#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/files.h"
#include "base/stringtable.h"
#include "engine/inflate.h"
#include "engine/spider.h"

namespace {

// Two saved pages of one real shop (tests/data/pages-learn, MIT licence).
std::string SavedPage(const char* name) {
  std::string bytes;
  EXPECT_TRUE(
      ReadWholeFile(std::string(VANTREL_TEST_SOURCE_DIR "/tests/data/pages-learn/") + name, bytes));
  return Utf8ToLocal(Gunzip(bytes));
}

LearnedShop Learn(const std::string& page, const std::string& price) {
  return LearnShop(LearnRequest{page, "utf-8", "https://shop.example/p/1", price});
}

TEST(LearnShop, OnePageTeachesTheShopItsOtherPages) {
  const LearnedShop shop = Learn(SavedPage("shop-a-in-stock.html.gz"), Utf8ToLocal("13,40 €"));
  ASSERT_TRUE(shop.learned) << LocalToUtf8(shop.why);
  EXPECT_EQ(shop.price, "13.40");
  EXPECT_EQ(shop.info.id, "VR4V1B");
  EXPECT_TRUE(shop.site.IsLearned());
  EXPECT_EQ(shop.site.GetDomain(), "shop.example");
  // Nothing of this product is in the rules.
  for (SiteField field : {SiteField::PriceRegex, SiteField::NameRegex, SiteField::IDRegex})
    for (const char* own : {"13", "VR4V1B", "Viking", "1045573"})
      EXPECT_EQ(shop.site.Field(field).find(own), std::string::npos) << own;

  const std::string other = SavedPage("shop-a-sold-out.html.gz");
  CSpider spider;
  EXPECT_EQ(ExtractProduct(spider, other, shop.site, "https://shop.example/p/2").effectivePrice,
            "54.50");
  EXPECT_EQ(ExtractItemInfo(other, shop.site).id, "GARNI 570 EASY II");
}

TEST(LearnShop, SaysWhyItCannotLearn) {
  const std::string head = "<html><head><title>Kettle</title></head><body>";
  const struct {
    std::string page;
    std::string price;
    unsigned why;
  } cases[] = {
      {head + "<b class=\"price\">99.00</b>", "45", IDS_LEARN_PRICE_NOT_ON_PAGE},
      {head + "<ul><li><b>10.00</b></li><li><b>45.00</b></li></ul>", "45.00",
       IDS_LEARN_PRICE_AMBIGUOUS},
      {"<body><b class=\"price\">45.00</b></body>", "45", IDS_LEARN_NO_NAME},
      {head + "<b class=\"price\">45.00</b>", "free", IDS_LEARN_PRICE_UNREADABLE},
  };
  for (const auto& c : cases) {
    const LearnedShop shop = Learn(c.page, c.price);
    EXPECT_FALSE(shop.learned) << c.page;
    EXPECT_EQ(shop.why.rfind(LoadString(c.why), 0), 0u) << c.page << LocalToUtf8(shop.why);
  }
}

TEST(LearnShop, LearnsTheStockOnlyWhereThePageStatesIt) {
  const std::string page =
      "<html><head><title>Kettle</title><link rel=\"canonical\" "
      "href=\"https://shop.example/p/1\"></head><body><h1>Kettle</h1>"
      "<span class=\"sku\">K-1</span><b class=\"price\">45.00</b>";
  const LearnedShop unstated = Learn(page + "<p>Buy now</p>", "45");
  ASSERT_TRUE(unstated.learned) << LocalToUtf8(unstated.why);
  EXPECT_EQ(unstated.site.GetStockRegex(), "");
  EXPECT_EQ(unstated.stock, STOCK_UNKNOWN);
  const LearnedShop stated =
      Learn(page + "<link itemprop=\"availability\" href=\"https://schema.org/OutOfStock\">", "45");
  ASSERT_TRUE(stated.learned) << LocalToUtf8(stated.why);
  EXPECT_EQ(stated.site.GetOutOfStockFlag(), "Out");
  EXPECT_EQ(stated.stock, STOCK_OUT);
}

}  // namespace
