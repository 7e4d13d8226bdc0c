#include "engine/structured.h"

#include <algorithm>
#include <cctype>

#include "base/codepage.h"
#include "engine/extract.h"
#include "engine/pricetext.h"
#include "engine/structured_internal.h"

namespace {

void Choose(StructuredValue& value, const std::string& utf8, const char* source) {
  if (!value.Empty() || utf8.empty()) return;
  value.value = Utf8ToLocal(utf8);
  value.source = source;
}

void ChooseAll(StructuredProduct& product, const FoundValues& found, const char* source) {
  Choose(product.name, found.name, source);
  Choose(product.image, found.image, source);
  Choose(product.price, found.price, source);
  if (product.price.source == source) product.price.shown = found.priceShown;
  Choose(product.currency, found.currency, source);
  Choose(product.availability, found.availability, source);
  Choose(product.id, found.id, source);
}

bool ContainsNoCase(const std::string& text, const std::string& word) {
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  return std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace

StructuredProduct ReadStructuredData(const std::string& page) {
  const PageSources sources = WalkHtml(LocalToUtf8(page));
  return StructuredFromSources(sources, ReadJsonLd(sources.jsonBlocks));
}

StructuredProduct StructuredFromSources(const PageSources& sources, const FoundValues& jsonLd) {
  StructuredProduct product;
  ChooseAll(product, jsonLd, "json-ld");
  ChooseAll(product, sources.microdata, "microdata");
  ChooseAll(product, sources.openGraph, "opengraph");
  Choose(product.id, sources.canonical, "link");
  return product;
}

std::string StructuredPriceText(const std::string& written, bool shown) {
  const PriceText price =
      ReadPriceText(LocalToUtf8(written), shown ? PriceNotation::kShown : PriceNotation::kMachine);
  return price.found && price.value > 0 ? FormatPrice(price.value) : std::string();
}

int AvailabilityStock(const std::string& availability) {
  for (const char* out : {"OutOfStock", "SoldOut", "Discontinued", "out of stock"})
    if (ContainsNoCase(availability, out)) return STOCK_OUT;
  for (const char* in : {"InStock", "LimitedAvailability", "OnlineOnly", "InStoreOnly", "PreOrder",
                         "PreSale", "in stock"})
    if (ContainsNoCase(availability, in)) return STOCK_IN;
  return STOCK_UNKNOWN;
}
