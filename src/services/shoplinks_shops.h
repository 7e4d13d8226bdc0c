#pragma once

#include <string>

#include "base/hosts.h"

// The domain suffixes of one row of a shop-link table: up to three keys of
// section "Hosts"; unused places hold kNoHost.
inline constexpr HostId kNoHost = kHostCount;

struct ShopSuffixes {
  HostId first = kNoHost;
  HostId second = kNoHost;
  HostId third = kNoHost;
};

// True when one of the suffixes occurs in the link (ASCII letters compared
// without regard to case). An empty suffix never matches, so a shop whose
// domain is not configured is passed over.
bool LinkHasSuffix(const std::string& link, const ShopSuffixes& suffixes);

// The first row of `rows` whose suffixes occur in the link, or null.
template <typename Row, size_t N>
const Row* FindShopRow(const std::string& link, const Row (&rows)[N]) {
  for (const Row& row : rows) {
    if (LinkHasSuffix(link, row.suffixes)) return &row;
  }
  return nullptr;
}
