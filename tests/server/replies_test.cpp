// Replies are read back with the program's own decoding, and names are
// matched as the comparison means them.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "server/replies.h"
#include "server/similarity.h"
#include "services/comparison.h"

namespace {

TEST(Replies, TextSurvivesTheProgramsDecoding) {
  const std::string texts[] = {"美的电水壶 1.7L", "A/B \"quoted\" back\\slash", "tab\there",
                               "ASCII only", "全角（括号）"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string escaped = JsonText(text);
    for (unsigned char c : escaped) EXPECT_TRUE(c >= 0x20 && c < 0x7f);
    EXPECT_EQ(escaped.find('"'), std::string::npos);
    // Tabs are control characters the program keeps: it only drops CR and LF.
    EXPECT_EQ(DecodeServerEscapes(escaped), Utf8ToLocal(text));
  }
  EXPECT_EQ(JsonText("中"), "\\u4e2d");
  EXPECT_EQ(JsonText("\xF0\x9F\x98\x80"), "\\ud83d\\ude00");  // beyond U+FFFF: a pair
}

TEST(Replies, LinksAreEscapedAsLinks) {
  EXPECT_EQ(JsonLink("http://a.example/x?id=1&q=\"1 2\""), "http://a.example/x?id=1&q=%221%202%22");
  EXPECT_EQ(JsonLink("http://a.example/中"), "http://a.example/%E4%B8%AD");
  EXPECT_EQ(JsonLink("http://a.example/a\\b"), "http://a.example/a%5Cb");
}

TEST(Replies, Shapes) {
  EXPECT_EQ(HistoryReply({}), "[]");
  EXPECT_EQ(HistoryReply({{1356969600, "99.00"}, {1357056000, "89.50"}}),
            R"([{"t":"1356969600","p":"99.00"},{"t":"1357056000","p":"89.50"}])");
  EXPECT_EQ(ComparisonReply({{"t", "1.00", "http://u", "s"}}),
            R"([{"title":"t","price":"1.00","url":"http://u","site":"s"}])");
}

TEST(NameSimilarity, AlikeAndUnlikeNames) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } const cases[] = {
      {"美的电水壶 1.7升", "美的电水壶1.7升", true},
      {"美的电水壶 1.7升 不锈钢", "美的 电水壶 1.7升", true},
      {"Philips HX6730 Toothbrush", "philips hx6730 toothbrush", true},
      {"ＡＢＣ牙刷", "abc牙刷", true},  // full-width letters are letters
      {"美的电水壶 1.7升", "无线蓝牙耳机", false},
      {"小米手机", "小米电视", false},
      {"", "", false},
      {"壶", "壶", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(NameSimilarity(c.a, c.b) >= kSameProductSimilarity, c.same);
    EXPECT_DOUBLE_EQ(NameSimilarity(c.a, c.b), NameSimilarity(c.b, c.a));
  }
  EXPECT_DOUBLE_EQ(NameSimilarity("电水壶", "电水壶"), 1.0);
}

TEST(MatchOffers, CheapestFirstAndCapped) {
  std::vector<StoredProduct> products;
  for (int i = 0; i < 30; ++i)
    products.push_back({"http://s" + std::to_string(i) + "/k", "电水壶", "s" + std::to_string(i),
                        std::to_string(100 - i) + ".00", 1});
  std::vector<Offer> offers = MatchOffers("电水壶", "http://s0/k", "", products, 5);
  ASSERT_EQ(offers.size(), 5u);
  EXPECT_EQ(offers[0].price, "71.00");
  EXPECT_EQ(offers[4].price, "75.00");
  // Prices compare as numbers, not as texts.
  products = {{"http://a", "壶", "a", "9.00", 1}, {"http://b", "壶", "b", "10.00", 1}};
  EXPECT_EQ(MatchOffers("壶", "http://x", "", products)[0].price, "9.00");
}

}  // namespace
