// The price of pages of shops without rules: the price a shopper sees, told
// apart from the other prices of the page, and refereed against schema.org.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/codepage.h"
#include "engine/generic.h"
#include "engine/inflate.h"

namespace {

std::string Page(const std::string& body, const std::string& head = "") {
  return "<!DOCTYPE html><html><head><title>Shop</title>" + head + "</head><body>" + body +
         "</body></html>";
}

struct Case {
  const char* what;
  std::string page;
  const char* price;   // "" for none
  const char* source;  // where it came from
};

void Check(const Case& c) {
  SCOPED_TRACE(c.what);
  const GenericProduct product = ReadGenericProductUtf8(c.page);
  EXPECT_EQ(product.price, c.price);
  EXPECT_EQ(product.data.price.source, c.source);
}

TEST(PageReaderTest, TellsThePriceToPayFromTheOtherPricesOfThePage) {
  const Case cases[] = {
      {"sale price next to the struck regular one, related products below",
       Page(R"(<h1 class="product_title">Mug</h1><p class="price"><del><span class="amount">
         <span class="currencySymbol">&#36;</span>39.99</span></del> <ins><span class="amount">
         <span class="currencySymbol">&#36;</span>29.99</span></ins></p><form class="cart">
         <button class="single_add_to_cart_button">Add to cart</button></form>
         <section class="related products"><ul><li><a href="/p/2"><h2>Cup</h2>
         <span class="price">$12.00</span></a></li></ul></section>)"),
       "29.99", "page"},
      {"list price, our price and savings in a table, a carousel of others",
       Page(R"(<h1 id="title"><span id="productTitle">Kettle</span></h1><table>
         <tr><td>List Price:</td><td><span class="a-text-strike">$39.99</span></td></tr>
         <tr><td>Price:</td><td><span id="priceblock_ourprice">$29.99</span></td></tr>
         <tr><td>You Save:</td><td>$10.00 (25%)</td></tr></table>
         <input type="submit" id="add-to-cart-button" value="Add to Cart">
         <div class="a-carousel"><ul><li><span class="a-color-price">$15.99</span></li>
         <li><span class="a-color-price">$24.99</span></li></ul></div>)"),
       "29.99", "page"},
      {"cents in an element of their own",
       Page(R"(<h1>Doorbell</h1><div class="price salePrice">$229<span class="cents">99</span>
         </div><button>Add to cart</button>)"),
       "229.99", "page"},
      {"instalments and delivery around the price, grouped by a blank",
       Page(R"(<h1>Canapé d'angle</h1><div class="product-price">1 299,00 €</div>
         <div class="payment">ou 4x 324,75 €</div><div>Livraison : 49,00 €</div>
         <button>Ajouter au panier</button>)"),
       "1299.00", "page"},
      {"a hidden price is not shown",
       Page(R"(<div style="display:none"><span class="price">€ 5,00</span></div><h1>Vase</h1>
         <span class="price">€ 7,00</span><button>Add to cart</button>)"),
       "7.00", "page"},
      {"two prices that nothing tells apart give none",
       Page(R"(<h1>Thing</h1><div><span>€ 10,00</span></div><div><span>€ 20,00</span></div>)"), "",
       ""},
      {"only prices of other products give none",
       Page(R"(<h1>Sold out lamp</h1><div class="related-products"><span class="price">€ 9,99</span>
         <span class="price">€ 19,99</span></div>)"),
       "", ""},
      {"a price card's label when the page has nothing else",
       Page(
           R"(<h1>Chair</h1>)",
           R"(<meta name="twitter:label1" content="Price"><meta name="twitter:data1" content="$25.00">)"),
       "25.00", "meta"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(PageReaderTest, RefereesSchemaOrgAgainstThePage) {
  const std::string offer = R"(<script type="application/ld+json">{"@type":"Product","name":"Bag",
      "offers":{"price":"219.99","priceCurrency":"EUR"}}</script>)";
  const Case cases[] = {
      {"the page shows the stated price struck through next to the sale",
       Page(R"(<h1>Bag</h1><div class="price"><span class="old-price"><s>€219.99</s></span>
         <span class="special-price">€110.00</span></div><button>Add to cart</button>)",
            offer),
       "110.00", "page"},
      {"the page shows the stated price",
       Page(R"(<h1>Bag</h1><span class="price">219,99 €</span><button>Add to cart</button>)",
            offer),
       "219.99", "json-ld"},
      {"the page shows another price without striking the stated one",
       Page(R"(<h1>Bag</h1><span class="price">199,99 €</span><button>Add to cart</button>)",
            offer),
       "219.99", "json-ld"},
      {"JSON-LD wrapped for old browsers",
       Page("<h1>Bag</h1>", R"(<script type="application/ld+json">/*<![CDATA[*/{"@type":"Product",
         "offers":{"price":"99.95"}}/*]]>*/</script>)"),
       "99.95", "json-ld"},
  };
  for (const Case& c : cases) Check(c);
}

// Saved pages of real shops (tests/data/product-pages, see its LICENSE).
std::string SavedPage(const std::string& name) {
  std::ifstream file(VANTREL_TEST_SOURCE_DIR "/tests/data/product-pages/" + name + ".html.gz",
                     std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return Gunzip(bytes.str());
}

TEST(PageReaderTest, ReadsSavedPagesOfShopsWithoutRules) {
  const struct {
    const char* page;
    const char* price;
    const char* source;
  } cases[] = {
      {"sale-over-microdata", "110.00", "page"}, {"no-title-zh", "99.00", "page"},
      {"state-ko", "30000.00", "page"},          {"slider-hr", "270.00", "page"},
      {"jsonld-in-cdata", "99.95", "json-ld"},   {"table-layout-large", "20.97", "json-ld"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const std::string page = SavedPage(c.page);
    ASSERT_FALSE(page.empty());
    const GenericProduct product = ReadGenericProductUtf8(page);
    EXPECT_EQ(product.price, c.price);
    EXPECT_EQ(product.data.price.source, c.source);
  }
}

}  // namespace
