#pragma once

#include <string>
#include <vector>

#include "server/replies.h"
#include "server/store.h"

// How alike two product names are, from 0 (nothing shared) to 1 (the same):
// the Dice coefficient of their character pairs, after letters are folded
// to lower case and blanks and punctuation dropped. Character pairs suit
// Chinese names, which have no blanks between words. UTF-8 in.
double NameSimilarity(const std::string& a, const std::string& b);

// Names at least this alike are taken for the same product.
inline constexpr double kSameProductSimilarity = 0.5;

// The offers for a product among the tracked ones: priced, not out of stock,
// not the product's own link nor its own shop (`site`, may be empty), names
// alike; cheapest first, at most `limit`.
std::vector<Offer> MatchOffers(const std::string& name, const std::string& url,
                               const std::string& site, const std::vector<StoredProduct>& products,
                               size_t limit = 20);
