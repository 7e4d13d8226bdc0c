#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/structured_internal.h"

// One walk over a product page (libxml2's HTML parser in SAX mode: no tree
// is built) collects everything the readers of shops without rules need.
// Texts are UTF-8.

// A price the page shows, or names in a data-*price* attribute.
struct ShownPrice {
  std::string text;    // as written
  size_t at = 0;       // where the element's text starts in the page's text
  unsigned hints = 0;  // PriceHint bits: the element, its ancestors, the words around
  unsigned near = 0;   // PriceHint bits of the element and its two closest ancestors
  bool attribute = false;
  bool currency = false;  // the text names a currency
};

// A script whose text may hold the page's state (a product's price among
// it): JSON blocks such as __NEXT_DATA__, and scripts that mention a price.
struct StateScript {
  std::string text;
  bool json = false;  // its type says JSON
};

constexpr size_t kNowhere = static_cast<size_t>(-1);

struct PageFacts {
  PageSources sources;  // JSON-LD blocks, microdata, Open Graph, canonical link
  // Other meta tags that name a price ("twitter:data1" labelled "Price",
  // "product:sale_price:amount"): name and content.
  std::vector<std::pair<std::string, std::string>> metaPrices;
  std::vector<StateScript> scripts;
  std::vector<ShownPrice> prices;  // in page order
  // Places in the page's text: the product's title (the first <h1>), the
  // buy buttons, and the smallest element holding both title and a button.
  size_t titleAt = kNowhere;
  std::vector<size_t> buyAt;
  size_t blockBegin = kNowhere;
  size_t blockEnd = kNowhere;
  // Parts of the page's text in the site's frame (headers, footers,
  // navigation) that do not hold the title.
  std::vector<std::pair<size_t, size_t>> chrome;
  size_t textLength = 0;
};

PageFacts WalkPage(const std::string& utf8Page);
