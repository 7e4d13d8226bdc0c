// Price members of the state pages carry in their scripts, JSON or not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/pricestate.h"

namespace {

TEST(StatePriceTest, FindsPriceMembersOfJsonAndJavaScript) {
  const struct {
    const char* script;
    std::vector<double> prices;  // to pay, in page order
    std::vector<double> others;  // regular or list prices
  } cases[] = {
      {R"({"props":{"product":{"price":30000,"originalPrice":35000}}})", {30000}, {35000}},
      {"dataLayer.push({'ecommerce': {'detail': {'products': [{'price': '44890'}]}}});",
       {44890},
       {}},
      {"exactag.product_price = \"99.95\";\nvar x = {salePrice: 12.5, listPrice: 20};",
       {99.95, 12.5},
       {20}},
      {R"(var s = "{\"price\":\"19.99\"}";)", {19.99}, {}},
      // Not prices: another member, a negative or empty value, a word.
      {R"({"priceRange":"10-20","price":-5,"price":"","price":"call","unitPrice":3})", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<double> prices;
    std::vector<double> others;
    for (const StatePrice& price : ReadStatePrices({StateScript{c.script, false}}))
      (price.other ? others : prices).push_back(price.value);
    EXPECT_EQ(prices, c.prices);
    EXPECT_EQ(others, c.others);
  }
}

}  // namespace
