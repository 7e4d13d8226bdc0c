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

// A price as written ("1,299.00", "¥ 89", "89,90 €", "1.299,00") in the
// program's "%.2f" form; "" when the text holds no price above 0. Where both
// "," and "." occur, the last one is the decimal mark; a lone separator
// followed by exactly three digits groups thousands ("1,299", "1.299").
std::string StructuredPriceText(const std::string& written);

// The stock state of a schema.org availability ("https://schema.org/InStock",
// "OutOfStock", "in stock", ...): 1, 0, or -1 when it says neither.
int AvailabilityStock(const std::string& availability);
