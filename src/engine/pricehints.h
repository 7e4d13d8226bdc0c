#pragma once

#include <string_view>

// What the names a page gives its elements (class, id, itemprop) and the
// words around a price say about that price. Bits of an unsigned.
enum PriceHint : unsigned {
  kHintPrice = 1u << 0,       // "price", "prix", "preis" ...: a price lives here
  kHintCurrent = 1u << 1,     // "sale", "final", "current", "special": the price to pay
  kHintWas = 1u << 2,         // "old", "was", "regular", "compare", struck through
  kHintSaving = 1u << 3,      // "save", "percent": what a discount saves
  kHintInstalment = 1u << 4,  // "monthly", "klarna", "emi": a part of the price
  kHintShipping = 1u << 5,    // "shipping", "delivery", "versand"
  kHintUnit = 1u << 6,        // "unit", "per kg", "grundpreis": price of a measure
  kHintOthers = 1u << 7,      // "related", "recommend", "carousel": other products
  kHintChrome = 1u << 8,      // "header", "footer", "nav", "breadcrumb": the site's frame
  kHintReview = 1u << 9,      // "review", "rating"
  kHintBuy = 1u << 10,        // "add-to-cart", "buy": the buy button
  kHintMain = 1u << 11,       // "product-detail", "pdp", "buybox": the product's own block
  kHintLink = 1u << 12,       // inside a link
  kHintThreshold = 1u << 13,  // "over", "under", "from ... to": a bound, not a price
  kHintHidden = 1u << 14,     // not shown (hidden, display:none, a <select>'s options)
  kHintItemPrice = 1u << 15,  // microdata itemprop="price"
  kHintCarousel = 1u << 16,   // "carousel", "slider", "swiper": often other products
  kHintApprox = 1u << 18,     // "approximately": a price converted to another currency
  kHintEdge = 1u << 17,       // "header", "footer": the site's frame near the top of the
                              // page, a product's own heading further down
};

// Hints of a class, id or itemprop value: its words ("product-price__old",
// "priceBlockOurPrice") looked up one by one.
unsigned HintsOfName(std::string_view name);

// Hints of the words a price is written with ("Was £12", "Save 20%",
// "/mo", "+ £3.99 P&P"). The text is UTF-8.
unsigned HintsOfText(std::string_view text);

// Whether a short text is what a buy button says ("Add to cart", "Buy now",
// "In den Warenkorb", "加入购物车" ...).
bool IsBuyText(std::string_view text);
