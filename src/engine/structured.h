#pragma once

#include <string>

// Product data that shops publish for search engines, read from a product
// page of a shop that has no rules: schema.org Product/Offer in JSON-LD
// blocks (also inside "@graph" and arrays), schema.org microdata and Open
// Graph product tags. Texts go in and come out in the local code page.

// One value and where it came from: "json-ld", "microdata", "opengraph" or
// "link" (the page's canonical link); empty when the page has no such value.
struct StructuredValue {
  std::string value;
  std::string source;
  // A price as the page shows it to people (local grouping) rather than
  // schema.org's number with "." before the decimals.
  bool shown = false;

  bool Empty() const { return value.empty(); }
};

struct StructuredProduct {
  StructuredValue name;
  StructuredValue image;
  StructuredValue price;     // as written on the page, e.g. "1,299.00" or "89,90 €"
  StructuredValue currency;  // e.g. "CNY", "EUR"
  StructuredValue availability;
  StructuredValue id;  // sku, productID or a gtin; else the canonical link
};

// Reads every source of the page; for each value the first source that
// has it wins, in the order JSON-LD, microdata, Open Graph. A broken JSON
// block is skipped; the others still count.
StructuredProduct ReadStructuredData(const std::string& page);

// A price as written in the program's "%.2f" form; "" when the text holds
// no price above 0. schema.org numbers ("19.990" is 19.99; "-5.00" and
// "1e3" are none) unless `shown`: then as a page shows prices ("1.299,00",
// "¥ 89", "1 299,50").
std::string StructuredPriceText(const std::string& written, bool shown = false);

// The stock state of a schema.org availability ("https://schema.org/InStock",
// "OutOfStock", "in stock", ...): 1, 0, or -1 when it says neither.
int AvailabilityStock(const std::string& availability);
