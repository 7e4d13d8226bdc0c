// Prices in the state that pages carry in their scripts: framework state
// (__NEXT_DATA__, __NUXT__, window.__INITIAL_STATE__), analytics data
// layers, shop-system product objects. These are JavaScript as often as
// JSON, so the reader looks for price members ("price": "29.99", price:
// 29.99, product_price = '29.99') rather than parsing the scripts.
#include "engine/pricestate.h"

#include <strings.h>

#include <charconv>

namespace {

// Member names that hold a product's price in such states.
constexpr const char* kPriceKeys[] = {
    "price",        "saleprice",     "sale_price",    "finalprice",     "final_price",
    "currentprice", "current_price", "sellprice",     "sellingprice",   "offerprice",
    "specialprice", "productprice",  "product_price", "pricevalue",     "price_value",
    "priceamount",  "price_amount",  "discountprice", "discount_price",
};

// Keys of prices that are not the one to pay.
constexpr const char* kOtherKeys[] = {
    "originalprice", "original_price", "oldprice",      "old_price",      "listprice",
    "list_price",    "regularprice",   "regular_price", "compareatprice", "compare_at_price"};

bool IsKeyByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}

bool OneOf(std::string_view key, const auto& keys) {
  for (const char* each : keys)
    if (key.size() == std::char_traits<char>::length(each) &&
        strncasecmp(key.data(), each, key.size()) == 0)
      return true;
  return false;
}

// The number after a member's ":" or "=": quoted or not, plain digits with
// an optional decimal point.
bool ValueAfter(std::string_view text, size_t at, double& value) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at >= text.size() || (text[at] != ':' && text[at] != '=')) return false;
  ++at;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  char quote = 0;
  if (at < text.size() && (text[at] == '"' || text[at] == '\'')) quote = text[at++];
  if (at + 1 < text.size() && text[at] == '\\' && text[at + 1] == '"') {
    quote = '\\';
    at += 2;
  }
  const size_t start = at;
  while (at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == '.')) ++at;
  if (at == start || at - start > 15) return false;
  const char after = at < text.size() ? text[at] : 0;
  if (quote ? after != quote
            : (after != ',' && after != '}' && after != ';' && after != ' ' && after != '\n' &&
               after != ']' && after != '\r'))
    return false;
  const auto result = std::from_chars(text.data() + start, text.data() + at, value);
  return result.ec == std::errc() && result.ptr == text.data() + at && value > 0;
}

void ScanScript(std::string_view text, std::vector<StatePrice>& prices) {
  for (size_t at = text.find("rice"); at != std::string_view::npos;
       at = text.find("rice", at + 4)) {
    // The whole member name around "rice".
    size_t begin = at;
    while (begin > 0 && IsKeyByte(text[begin - 1])) --begin;
    size_t end = at + 4;
    while (end < text.size() && IsKeyByte(text[end])) ++end;
    const std::string_view key = text.substr(begin, end - begin);
    const bool wanted = OneOf(key, kPriceKeys);
    const bool other = !wanted && OneOf(key, kOtherKeys);
    if (!wanted && !other) continue;
    size_t after = end;
    if (after < text.size() && (text[after] == '"' || text[after] == '\'')) ++after;
    if (after + 1 < text.size() && text[after] == '\\' && text[after + 1] == '"') after += 2;
    double value = 0;
    if (ValueAfter(text, after, value)) prices.push_back({value, std::string(key), other});
  }
}

}  // namespace

std::vector<StatePrice> ReadStatePrices(const std::vector<StateScript>& scripts) {
  std::vector<StatePrice> prices;
  for (const StateScript& script : scripts) ScanScript(script.text, prices);
  return prices;
}
