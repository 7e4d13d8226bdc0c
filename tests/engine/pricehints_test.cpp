// What names of elements and words around a price say about it.
#include <gtest/gtest.h>

#include "engine/pricehints.h"

namespace {

TEST(PriceHintTest, ReadsTheWordsOfNamesAndTexts) {
  const struct {
    const char* text;
    unsigned name;   // HintsOfName
    unsigned words;  // HintsOfText
  } cases[] = {
      {"priceBlockOurPrice", kHintPrice | kHintCurrent, kHintPrice},
      {"product-price__old price-was", kHintPrice | kHintWas, kHintPrice | kHintWas},
      {"c-tp-price--baseline m-tp-base", kHintPrice, kHintPrice},
      {"number_unit", 0, 0},
      {"related-products carousel", kHintOthers | kHintCarousel, 0},
      {"Was £12.00", kHintWas, kHintWas},
      {"3x 86,33€ sans frais", 0, kHintInstalment},
      {"+ £3.99 P&P", 0, kHintShipping},
      {"Circa EUR 14,43", 0, kHintApprox},
      {"1,99 € / kg ", kHintUnit, kHintUnit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(HintsOfName(c.text), c.name);
    EXPECT_EQ(HintsOfText(c.text), c.words);
  }
  EXPECT_TRUE(IsBuyText("In den Warenkorb"));
  EXPECT_TRUE(IsBuyText("加入购物车"));
  EXPECT_FALSE(
      IsBuyText("Add to cart and get free delivery on all orders over fifty pounds today"));
}

}  // namespace
