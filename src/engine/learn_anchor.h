#pragma once

// The stage of the shop learner that writes patterns: for a value seen at
// some places of a page, a pattern that finds it again by what stands
// before it. Texts are in the local code page. Internal to the learner.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Words of the label before a value that tell what the value is. They are
// matched against the words of the anchor nearest the value: attribute
// and class names split at punctuation and camel case ("salePrice" is
// "sale" and "price").
struct AnchorWords {
  std::vector<std::string_view> names;     // name the value: "price", "sku"
  std::vector<std::string_view> current;   // name its current form: "sale", "current"
  std::vector<std::string_view> others;    // name other values nearby: "old", "shipping"
  std::vector<std::string_view> standard;  // anchors the web agrees on: "itemprop=\"price\""
};

struct Anchor {
  std::string pattern;  // anchor and capture: group 1 is the value
  double score = 0;     // higher generalises better to the shop's other pages
};

// For each place (where a value begins on the page), the anchor that makes
// the pattern's first match on the page capture a value `readsRight`
// accepts; best first. Places without such an anchor give none. `capture`
// is the group appended to each anchor.
std::vector<Anchor> FindAnchors(const std::string& page, const std::vector<size_t>& places,
                                const std::string& capture,
                                const std::function<bool(const std::string&)>& readsRight,
                                const AnchorWords& words);
