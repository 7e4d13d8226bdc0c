#pragma once

#include <string>
#include <utility>
#include <vector>

struct sockaddr;
class CSiteList;

// What the tracker may reach. Accounts choose the links it fetches, so a
// link must name a shop of the rules, and the address actually connected
// (after DNS and redirects) must be a public one: otherwise any account
// could make the server read machines of the operator's own network.
struct ShopAddressRules {
  bool allowPrivate = false;  // --allow-private-shops
  // Exceptions to the above, "address" and port (the demo's own shops).
  std::vector<std::pair<std::string, int>> allowed;
};

enum class AddressKind {
  kPublic,
  kLoopback,
  kPrivate,
  kLinkLocal,
  kMulticast,
  kUnspecified,
  kReserved,
};

AddressKind ClassifyAddress(const sockaddr* address);
bool MayConnect(const sockaddr* address, const ShopAddressRules& rules);

// The host of an http or https link, in lower case and without user or
// port; "" for any other link.
std::string LinkHost(const std::string& link);
// True when `host` is the host of a shop's Domain or lies under it.
bool IsShopHost(const std::string& host, const CSiteList& sites);
