#pragma once

#include <string>
#include <vector>

#include "engine/pagewalk.h"
#include "engine/structured_internal.h"

// The price of a product page without shop rules: what a shopper sees as
// the price to pay, weighed from the visible text, the page's attributes,
// meta tags and script state, and checked against the schema.org data.
// Precision first: a page whose price can't be told apart gives none.

// Where a price came from, as `vantrelctl extract` names it.
inline constexpr const char* kFromJsonLd = "json-ld";
inline constexpr const char* kFromMicrodata = "microdata";
inline constexpr const char* kFromOpenGraph = "opengraph";
inline constexpr const char* kFromMeta = "meta";
inline constexpr const char* kFromState = "state";
inline constexpr const char* kFromPage = "page";

struct PriceCandidate {
  double value = 0;
  std::string currency;  // as written, or a code
  std::string source;    // one of the names above
  std::string written;   // the text it was read from (UTF-8)
  double score = 0;      // how much it looks like the product's price
};

struct PageReading {
  std::string price;                       // "%.2f", "" when the page's price can't be told
  std::string source;                      // where the price came from
  std::string currency;                    // as written, or a code
  std::string written;                     // the text it was read from (UTF-8)
  std::vector<PriceCandidate> candidates;  // every candidate, best first
};

// `jsonLd` is what the JSON-LD blocks of `facts` say.
PageReading ReadProductPrice(const PageFacts& facts, const FoundValues& jsonLd);
