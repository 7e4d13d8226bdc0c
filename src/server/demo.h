#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/passwords.h"
#include "server/store.h"

class CSiteList;
namespace httplib {
class Server;
}

// A demo product: the same article may be sold by both demo shops.
struct DemoProduct {
  int shop;          // 0 or 1
  int id;            // the product's number in its shop
  const char* name;  // UTF-8
  int baseCents;
  bool goesOutOfStock;
};

// The demo of `vantrel-server --demo`: two small shops on 127.0.0.1 (ports
// P and P + 1) selling a handful of products with Chinese names, pictures
// drawn by code, prices that move every few minutes and one product that
// goes out of stock now and then. Their rules are added to the published
// sites.xml, and a demo account holds every product, so the server tracks
// them, keeps their history and offers each shop's products as the other's
// alternatives.
class CDemoShops {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970

  // Prices change every kStepSeconds.
  static constexpr int kStepSeconds = 180;
  static constexpr const char* kAccountEmail = "demo@vantrel.example";
  static constexpr const char* kAccountPassword = "demo";

  explicit CDemoShops(Clock clock = {});
  ~CDemoShops();
  CDemoShops(const CDemoShops&) = delete;
  CDemoShops& operator=(const CDemoShops&) = delete;

  // Starts both shops on 127.0.0.1, `port` and `port` + 1 (0: free ports).
  bool Start(int port);
  const std::string& Error() const { return m_error; }
  // "http://127.0.0.1:PORT/item/ID.html".
  std::string Link(const DemoProduct& product) const;
  std::string ShopName(int shop) const;  // UTF-8
  int Port(int shop) const { return m_ports[shop]; }

  // Where the shops listen, as "address" and port: all the tracker may
  // reach on this machine for the demo.
  std::vector<std::pair<std::string, int>> Addresses() const;
  // The rules of both shops, put into the list (replacing older demo rules).
  void AddRules(CSiteList& sites) const;
  // The demo account, holding every demo product. False when it can't be made.
  bool HoldProducts(CServerStore& store, CPasswordHasher& hasher) const;
  void PrintWelcome() const;

  static const std::vector<DemoProduct>& Products();
  // The product's price now, in cents, and whether it is in stock.
  int PriceCents(const DemoProduct& product) const;
  bool InStock(const DemoProduct& product) const;
  // The product page (UTF-8 HTML) and picture (PNG).
  std::string PageHtml(const DemoProduct& product) const;
  static std::string PicturePng(const DemoProduct& product);

 private:
  std::int64_t Step() const;

  Clock m_clock;
  std::unique_ptr<httplib::Server> m_servers[2];
  std::thread m_threads[2];
  int m_ports[2] = {0, 0};
  std::string m_error;
};
