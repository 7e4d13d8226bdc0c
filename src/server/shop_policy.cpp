#include "server/shop_policy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "engine/site.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The host of "host", "host:port" or "[v6]:port".
std::string HostOfAuthority(const std::string& authority) {
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    return close == std::string::npos ? std::string() : authority.substr(1, close - 1);
  }
  return authority.substr(0, authority.find(':'));
}

AddressKind ClassifyV4(uint32_t a) {
  auto in = [a](uint32_t net, int bits) {
    return bits == 0 || (a >> (32 - bits)) == (net >> (32 - bits));
  };
  if (in(0x00000000, 8)) return AddressKind::kUnspecified;
  if (in(0x7f000000, 8)) return AddressKind::kLoopback;
  if (in(0x0a000000, 8) || in(0xac100000, 12) || in(0xc0a80000, 16) || in(0x64400000, 10))
    return AddressKind::kPrivate;
  if (in(0xa9fe0000, 16)) return AddressKind::kLinkLocal;
  if (in(0xe0000000, 4)) return AddressKind::kMulticast;
  if (in(0xf0000000, 4)) return AddressKind::kReserved;  // also the broadcast address
  return AddressKind::kPublic;
}

AddressKind ClassifyV6(const unsigned char* b) {
  static const unsigned char kZero[16] = {};
  if (std::memcmp(b, kZero, 16) == 0) return AddressKind::kUnspecified;
  if (std::memcmp(b, kZero, 15) == 0 && b[15] == 1) return AddressKind::kLoopback;
  // An IPv4 address in IPv6 clothes (mapped, or NAT64) is judged as itself.
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  static const unsigned char kNat64[12] = {0, 0x64, 0xff, 0x9b, 0, 0, 0, 0, 0, 0, 0, 0};
  if (std::memcmp(b, kMapped, 12) == 0 || std::memcmp(b, kNat64, 12) == 0)
    return ClassifyV4((uint32_t(b[12]) << 24) | (uint32_t(b[13]) << 16) | (uint32_t(b[14]) << 8) |
                      b[15]);
  if (b[0] == 0xff) return AddressKind::kMulticast;
  if (b[0] == 0xfe && (b[1] & 0xc0) == 0x80) return AddressKind::kLinkLocal;
  if (b[0] == 0xfe && (b[1] & 0xc0) == 0xc0) return AddressKind::kPrivate;  // site-local
  if ((b[0] & 0xfe) == 0xfc) return AddressKind::kPrivate;                  // unique local
  if (std::memcmp(b, kZero, 12) == 0) return AddressKind::kReserved;        // IPv4-compatible
  return AddressKind::kPublic;
}

}  // namespace

AddressKind ClassifyAddress(const sockaddr* address) {
  if (address && address->sa_family == AF_INET)
    return ClassifyV4(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
  if (address && address->sa_family == AF_INET6)
    return ClassifyV6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr);
  return AddressKind::kReserved;
}

bool MayConnect(const sockaddr* address, const ShopAddressRules& rules) {
  if (!address) return false;
  const AddressKind kind = ClassifyAddress(address);
  if (kind == AddressKind::kPublic || (rules.allowPrivate && kind != AddressKind::kReserved))
    return true;
  char text[INET6_ADDRSTRLEN] = "";
  int port = 0;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  } else if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  }
  for (const auto& [host, allowedPort] : rules.allowed)
    if (host == text && allowedPort == port) return true;
  return false;
}

std::string LinkHost(const std::string& link) {
  const std::string lower = Lower(link.substr(0, 8));
  size_t start;
  if (lower.rfind("http://", 0) == 0)
    start = 7;
  else if (lower.rfind("https://", 0) == 0)
    start = 8;
  else
    return std::string();
  const size_t end = link.find_first_of("/?#\\", start);
  std::string authority = link.substr(start, end == std::string::npos ? end : end - start);
  // "shop.example@elsewhere" goes to elsewhere.
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  return Lower(HostOfAuthority(authority));
}

bool IsShopHost(const std::string& host, const CSiteList& sites) {
  if (host.empty()) return false;
  for (const SiteRef& site : sites.Snapshot()) {
    const std::string domain = site->GetDomain();
    const std::string shop = Lower(HostOfAuthority(domain.substr(0, domain.find('/'))));
    if (shop.empty()) continue;
    if (host == shop) return true;
    if (host.size() > shop.size() + 1 &&
        host.compare(host.size() - shop.size(), shop.size(), shop) == 0 &&
        host[host.size() - shop.size() - 1] == '.')
      return true;
  }
  return false;
}
