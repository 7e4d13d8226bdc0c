// The tracker fetches shops, nothing else: link hosts must be a shop's, and
// addresses inside the operator's network are refused. Addresses are
// judged here without connecting anywhere.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "engine/site.h"
#include "server/demo.h"
#include "server/shop_policy.h"
#include "server/tracker.h"
#include "server_fixture.h"
#include "support/fakeshop.h"

namespace {

sockaddr_storage Address(const std::string& text, int port = 80) {
  sockaddr_storage storage{};
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
  } else if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
  }
  return storage;
}

TEST(ShopPolicy, AddressesAreJudgedByTheirRange) {
  struct Case {
    const char* address;
    AddressKind kind;
  };
  const Case cases[] = {
      {"93.184.216.34", AddressKind::kPublic},   {"2606:2800:220:1::1", AddressKind::kPublic},
      {"127.0.0.1", AddressKind::kLoopback},     {"127.9.9.9", AddressKind::kLoopback},
      {"::1", AddressKind::kLoopback},           {"::ffff:127.0.0.1", AddressKind::kLoopback},
      {"10.1.2.3", AddressKind::kPrivate},       {"172.16.0.1", AddressKind::kPrivate},
      {"172.31.255.255", AddressKind::kPrivate}, {"172.32.0.1", AddressKind::kPublic},
      {"192.168.1.1", AddressKind::kPrivate},    {"100.64.0.1", AddressKind::kPrivate},
      {"fd00::1", AddressKind::kPrivate},        {"::ffff:10.0.0.1", AddressKind::kPrivate},
      {"64:ff9b::a00:1", AddressKind::kPrivate}, {"169.254.169.254", AddressKind::kLinkLocal},
      {"fe80::1", AddressKind::kLinkLocal},      {"224.0.0.1", AddressKind::kMulticast},
      {"ff02::1", AddressKind::kMulticast},      {"0.0.0.0", AddressKind::kUnspecified},
      {"::", AddressKind::kUnspecified},         {"255.255.255.255", AddressKind::kReserved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const sockaddr_storage address = Address(c.address);
    EXPECT_EQ(ClassifyAddress(reinterpret_cast<const sockaddr*>(&address)), c.kind);
  }
}

TEST(ShopPolicy, OnlyAllowedAddressesMayBeConnected) {
  const ShopAddressRules closed;
  const ShopAddressRules demo{false, {{"127.0.0.1", 8766}}};
  const ShopAddressRules open{true, {}};
  struct Case {
    const char* address;
    int port;
    bool closed, demo, open;
  };
  const Case cases[] = {
      {"93.184.216.34", 80, true, true, true},     {"127.0.0.1", 8766, false, true, true},
      {"127.0.0.1", 8767, false, false, true},     {"10.0.0.1", 80, false, false, true},
      {"169.254.169.254", 80, false, false, true}, {"255.255.255.255", 80, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address + std::string(":") + std::to_string(c.port));
    const sockaddr_storage storage = Address(c.address, c.port);
    const auto* address = reinterpret_cast<const sockaddr*>(&storage);
    EXPECT_EQ(MayConnect(address, closed), c.closed);
    EXPECT_EQ(MayConnect(address, demo), c.demo);
    EXPECT_EQ(MayConnect(address, open), c.open);
  }
}

TEST(ShopPolicy, ALinkMustNameAShopHost) {
  CSiteList sites;
  auto site = std::make_shared<CSite>();
  site->SetName("Shop");
  site->SetDomain("Item.Shop.example");
  sites.AddSite(site);
  struct Case {
    const char* link;
    bool shop;
  };
  const Case cases[] = {
      {"http://item.shop.example/1.html", true},
      {"https://ITEM.shop.example:8443/1.html", true},
      {"http://m.item.shop.example/1.html", true},
      {"http://item.shop.example.evil.cn/1.html", false},
      {"http://evilitem.shop.example/1.html", false},
      {"http://item.shop.example@10.0.0.1/1.html", false},
      {"http://10.0.0.1/item.shop.example/1.html", false},
      {"ftp://item.shop.example/1.html", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    EXPECT_EQ(IsShopHost(LinkHost(c.link), sites), c.shop);
  }
}

// A task whose shop listens inside the operator's network is kept and not
// fetched; the demo's own shops are.
TEST(ShopPolicy, TheTrackerFetchesTheDemoShopsButNoOtherLocalListener) {
  TempDir home(true);
  CDemoShops demo;
  ASSERT_TRUE(demo.Start(0)) << demo.Error();
  CSiteList sites;
  demo.AddRules(sites);
  FakeShop inside;
  inside.Text("/item/1.html", std::string(2000, 'x'));
  auto rules = std::make_shared<CSite>(*sites.Snapshot().front());
  rules->SetName("Inside");
  rules->SetDomain(inside.Host());
  sites.AddSite(rules);

  std::unique_ptr<CServerStore> store = OpenTestStore(Backend::kSqlite, home);
  ASSERT_TRUE(store);
  const DemoProduct& kettle = CDemoShops::Products().front();
  ASSERT_EQ(store->AddTask("a@x.cn", demo.Link(kettle), "k", "<Task/>"), TaskAddOutcome::kAdded);
  const std::string link = inside.Link("/item/1.html");
  ASSERT_EQ(store->AddTask("a@x.cn", link, "i", "<Task/>"), TaskAddOutcome::kAdded);

  CServerTracker tracker(*store, sites);
  tracker.SetAddressRules({false, demo.Addresses()});
  testing::internal::CaptureStderr();
  tracker.VisitAll();
  tracker.VisitAll();
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(store->FindProduct(demo.Link(kettle)));
  EXPECT_EQ(inside.TotalRequests(), 0);
  EXPECT_EQ(store->HeldUrls().size(), 2u);
  EXPECT_EQ(log.find(link), log.rfind(link)) << log;
  EXPECT_NE(log.find(link), std::string::npos) << log;
}

}  // namespace
