#include "engine/structured.h"

#include <algorithm>
#include <cctype>

#include "base/codepage.h"
#include "engine/extract.h"
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
  StructuredProduct product;
  ChooseAll(product, ReadJsonLd(sources.jsonBlocks), "json-ld");
  ChooseAll(product, sources.microdata, "microdata");
  ChooseAll(product, sources.openGraph, "opengraph");
  Choose(product.id, sources.canonical, "link");
  return product;
}

std::string StructuredPriceText(const std::string& written) {
  // The first run of digits and separators; signs and currency words around
  // it are not part of the price; a currency sign such as "¥" spells digits
  // inside its four bytes, so the text is walked a character at a time.
  size_t start = 0;
  while (start < written.size() && !std::isdigit(static_cast<unsigned char>(written[start])))
    start += LocalCharLength(written.data(), written.size(), start);
  std::string number;
  for (size_t i = start; i < written.size(); ++i) {
    const char c = written[i];
    if (std::isdigit(static_cast<unsigned char>(c)) || c == ',' || c == '.')
      number += c;
    else if (c != ' ' || i + 1 >= written.size() ||
             !std::isdigit(static_cast<unsigned char>(written[i + 1])))
      break;  // "1 299,00" groups with a space; anything else ends the number
  }
  while (!number.empty() && !std::isdigit(static_cast<unsigned char>(number.back())))
    number.pop_back();
  if (number.empty()) return std::string();

  const size_t lastComma = number.rfind(',');
  const size_t lastDot = number.rfind('.');
  size_t decimal = std::string::npos;
  if (lastComma != std::string::npos && lastDot != std::string::npos) {
    decimal = std::max(lastComma, lastDot);
  } else {
    const size_t last = lastComma != std::string::npos ? lastComma : lastDot;
    const char mark = number[last == std::string::npos ? 0 : last];
    const bool single = last != std::string::npos && number.find(mark) == last;
    const bool threeAfter = last != std::string::npos && number.size() - last - 1 == 3;
    const bool leadingZero = number[0] == '0' && last == 1;
    if (single && (!threeAfter || leadingZero)) decimal = last;
  }
  std::string plain;
  for (size_t i = 0; i < number.size(); ++i) {
    if (i == decimal)
      plain += '.';
    else if (number[i] != ',' && number[i] != '.')
      plain += number[i];
  }
  const double value = ReadNumber(plain);
  return value > 0 ? FormatPrice(value) : std::string();
}

int AvailabilityStock(const std::string& availability) {
  for (const char* out : {"OutOfStock", "SoldOut", "Discontinued", "out of stock"})
    if (ContainsNoCase(availability, out)) return STOCK_OUT;
  for (const char* in : {"InStock", "LimitedAvailability", "OnlineOnly", "InStoreOnly", "PreOrder",
                         "PreSale", "in stock"})
    if (ContainsNoCase(availability, in)) return STOCK_IN;
  return STOCK_UNKNOWN;
}
