// The JSON-LD side of the structured-data reader. nlohmann::json parses
// without exceptions; every value is checked for its type before it is read.
#include <strings.h>

#include <cstdio>
#include <string_view>

#include <nlohmann/json.hpp>

#include "engine/structured_internal.h"

namespace {

using nlohmann::json;

// Nesting deeper than this is not searched for a product.
constexpr int kMaxDepth = 64;

bool TypeIs(const json& node, const char* wanted) {
  auto matches = [wanted](const json& type) {
    if (!type.is_string()) return false;
    const std::string& text = type.get_ref<const std::string&>();
    // "Product", "schema:Product" or "http://schema.org/Product".
    size_t cut = text.find_last_of("/:");
    std::string name = cut == std::string::npos ? text : text.substr(cut + 1);
    return strcasecmp(name.c_str(), wanted) == 0;
  };
  auto type = node.find("@type");
  if (type == node.end()) return false;
  if (type->is_array()) {
    for (const json& each : *type)
      if (matches(each)) return true;
    return false;
  }
  return matches(*type);
}

// A string or a number as text; numbers as JSON writes them.
std::string Scalar(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer() || value.is_number_unsigned()) return value.dump();
  if (value.is_number_float()) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value.get<double>());
    return text;
  }
  return std::string();
}

std::string Member(const json& node, const char* key) {
  auto found = node.find(key);
  return found == node.end() ? std::string() : Scalar(*found);
}

// An image is a link, a list of them, or an ImageObject with "url".
std::string ImageLink(const json& image, int depth = 0) {
  if (depth > 4) return std::string();
  if (image.is_string()) return image.get<std::string>();
  if (image.is_array() && !image.empty()) return ImageLink(image.front(), depth + 1);
  if (image.is_object()) {
    auto url = image.find("url");
    if (url != image.end()) return ImageLink(*url, depth + 1);
    auto id = image.find("contentUrl");
    if (id != image.end()) return ImageLink(*id, depth + 1);
  }
  return std::string();
}

void Keep(std::string& field, const std::string& value) {
  if (field.empty()) field = value;
}

void TakeOffer(const json& offer, FoundValues& found, int depth) {
  if (depth > 4) return;
  if (offer.is_array()) {
    for (const json& each : offer) TakeOffer(each, found, depth + 1);
    return;
  }
  if (!offer.is_object()) return;
  Keep(found.price, Member(offer, "price"));
  Keep(found.price, Member(offer, "lowPrice"));
  auto spec = offer.find("priceSpecification");
  if (spec != offer.end()) {
    const json& first = spec->is_array() && !spec->empty() ? spec->front() : *spec;
    if (first.is_object()) {
      Keep(found.price, Member(first, "price"));
      Keep(found.currency, Member(first, "priceCurrency"));
    }
  }
  Keep(found.currency, Member(offer, "priceCurrency"));
  Keep(found.availability, Member(offer, "availability"));
  auto inner = offer.find("offers");
  if (inner != offer.end()) TakeOffer(*inner, found, depth + 1);
}

FoundValues TakeProduct(const json& product) {
  FoundValues found;
  found.name = Member(product, "name");
  auto image = product.find("image");
  if (image != product.end()) found.image = ImageLink(*image);
  for (const char* key : {"sku", "productID", "gtin13", "gtin", "gtin8", "gtin12", "gtin14"})
    Keep(found.id, Member(product, key));
  auto offers = product.find("offers");
  if (offers != product.end()) TakeOffer(*offers, found, 0);
  return found;
}

// The first Product in document order: the node itself, then its "@graph",
// the items of an array and the members of an object (a page's mainEntity).
const json* FindProduct(const json& node, int depth) {
  if (depth > kMaxDepth) return nullptr;
  if (node.is_array()) {
    for (const json& each : node)
      if (const json* product = FindProduct(each, depth + 1)) return product;
    return nullptr;
  }
  if (!node.is_object()) return nullptr;
  if (TypeIs(node, "Product")) return &node;
  for (const auto& [key, value] : node.items())
    if (value.is_structured())
      if (const json* product = FindProduct(value, depth + 1)) return product;
  return nullptr;
}

}  // namespace

// A block's JSON without the wrappers old pages put around script text for
// browsers of their time: "<!-- ... -->", "/*<![CDATA[*/ ... /*]]>*/".
std::string_view Unwrapped(std::string_view block) {
  auto trim = [&] {
    const size_t first = block.find_first_not_of(" \t\r\n");
    block = first == std::string_view::npos ? std::string_view() : block.substr(first);
    const size_t last = block.find_last_not_of(" \t\r\n");
    block = last == std::string_view::npos ? std::string_view() : block.substr(0, last + 1);
  };
  trim();
  for (bool again = true; again;) {
    again = false;
    for (std::string_view front : {"<!--", "/*<![CDATA[*/", "//<![CDATA[", "<![CDATA["})
      if (block.substr(0, front.size()) == front) {
        block.remove_prefix(front.size());
        again = true;
      }
    for (std::string_view back : {"-->", "/*]]>*/", "//]]>", "]]>"})
      if (block.size() >= back.size() && block.substr(block.size() - back.size()) == back) {
        block.remove_suffix(back.size());
        again = true;
      }
    trim();
  }
  return block;
}

FoundValues ReadJsonLd(const std::vector<std::string>& blocks) {
  for (const std::string& block : blocks) {
    // No exceptions: a broken block comes back discarded.
    const json parsed = json::parse(Unwrapped(block), nullptr, false);
    if (parsed.is_discarded()) continue;
    if (const json* product = FindProduct(parsed, 0)) return TakeProduct(*product);
  }
  return FoundValues{};
}
