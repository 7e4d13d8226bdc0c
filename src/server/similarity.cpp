#include "server/similarity.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "base/codepage.h"

namespace {

// Blanks and punctuation, ASCII and the CJK and full-width forms.
bool IsSeparator(char32_t c) {
  if (c < 0x80)
    return !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
  return (c >= 0x2000 && c <= 0x206f) || (c >= 0x3000 && c <= 0x303f) ||
         (c >= 0xff00 && c <= 0xff0f) || (c >= 0xff1a && c <= 0xff20) ||
         (c >= 0xff3b && c <= 0xff40) || (c >= 0xff5b && c <= 0xff65);
}

std::u16string Folded(const std::string& utf8) {
  std::u16string out;
  for (char16_t c : Utf8ToUtf16(utf8)) {
    // Full-width letters and digits count as their ASCII forms.
    if (c >= 0xff10 && c <= 0xff5a) c = static_cast<char16_t>(c - 0xfee0);
    if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
    if (!IsSeparator(c)) out.push_back(c);
  }
  return out;
}

std::map<std::u16string, int> Pairs(const std::u16string& text) {
  std::map<std::u16string, int> pairs;
  if (text.size() == 1) ++pairs[text];
  for (size_t i = 0; i + 1 < text.size(); ++i) ++pairs[text.substr(i, 2)];
  return pairs;
}

}  // namespace

double NameSimilarity(const std::string& a, const std::string& b) {
  const std::map<std::u16string, int> left = Pairs(Folded(a));
  const std::map<std::u16string, int> right = Pairs(Folded(b));
  int total = 0;
  int shared = 0;
  for (const auto& [pair, count] : left) {
    total += count;
    auto found = right.find(pair);
    if (found != right.end()) shared += std::min(count, found->second);
  }
  for (const auto& [pair, count] : right) total += count;
  return total == 0 ? 0.0 : 2.0 * shared / total;
}

std::vector<Offer> MatchOffers(const std::string& name, const std::string& url,
                               const std::string& site, const std::vector<StoredProduct>& products,
                               size_t limit) {
  std::vector<const StoredProduct*> matches;
  for (const StoredProduct& product : products) {
    if (product.url == url || (!site.empty() && product.site == site)) continue;
    if (product.stock == 0 || std::atof(product.price.c_str()) <= 0) continue;
    if (NameSimilarity(name, product.name) >= kSameProductSimilarity) matches.push_back(&product);
  }
  std::stable_sort(matches.begin(), matches.end(), [](const auto* a, const auto* b) {
    return std::atof(a->price.c_str()) < std::atof(b->price.c_str());
  });
  if (matches.size() > limit) matches.resize(limit);
  std::vector<Offer> offers;
  for (const StoredProduct* product : matches)
    offers.push_back({product->name, product->price, product->url, product->site});
  return offers;
}
