#pragma once

// A made-up online shop on 127.0.0.1 for the extraction and tracking tests:
// product pages (UTF-8 or GBK, plain or gzip), the price and stock replies
// of its rules, the endpoints that a few shops need (Gome's region cookie,
// Yihaodian's province, Yixun's location, Suning's product status) and price
// images. Tests describe the shop in a few lines:
//
//   FakeShop shop;
//   shop.Page("/item/1.html", "<h1>Kettle</h1> <b>99.00</b>", PageEncoding::kGbk);
//   shop.Json("/prices", R"({"p":"89.00"})");
//   ... run the steps against shop.Link("/item/1.html") ...
//   EXPECT_EQ(shop.Requests("/prices"), 1);
//
// Replies are chosen by path; the query only shows in the request log, so a
// "$nowtime" in a link does not matter. The shop counts requests per path.

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "engine/extract.h"
#include "support/drawn_images.h"

class CSite;

class TestHttpServer;

enum class PageEncoding { kUtf8, kGbk };

struct PageOptions {
  PageEncoding encoding = PageEncoding::kUtf8;
  bool gzip = false;
  // Name the character set in Content-Type ("text/html; charset=...").
  bool declareCharset = true;
};

// A request as the shop received it.
struct ShopRequest {
  std::string path;                            // without the query
  std::string target;                          // path and query as sent
  std::map<std::string, std::string> headers;  // names in lower case
  std::string Header(const std::string& name) const;
};

// What the shop answers: status, body bytes as they go on the wire (before
// gzip), content type and cookies.
struct ShopReply {
  int status = 200;
  std::string body;
  std::string contentType = "text/html";
  bool gzip = false;
  std::vector<std::string> setCookies;  // values of Set-Cookie headers
};
ShopReply MakeReply(std::string body, std::string contentType = "text/html", int status = 200);

class FakeShop {
 public:
  FakeShop();
  ~FakeShop();
  FakeShop(const FakeShop&) = delete;
  FakeShop& operator=(const FakeShop&) = delete;

  // "127.0.0.1:PORT": what a site's Domain and section "Hosts" name.
  std::string Host() const;
  // "http://127.0.0.1:PORT" + target.
  std::string Link(const std::string& target) const;

  // A product page written in UTF-8 by the test, sent in `options.encoding`.
  void Page(const std::string& path, const std::string& utf8Text, PageOptions options = {});
  void Page(const std::string& path, const std::string& utf8Text, PageEncoding encoding) {
    Page(path, utf8Text, PageOptions{encoding});
  }
  // A JSON or plain-text reply, UTF-8.
  void Json(const std::string& path, const std::string& text);
  void Text(const std::string& path, const std::string& text);
  // A fixed reply, or one computed per request.
  void Reply(const std::string& path, ShopReply reply);
  void Serve(const std::string& path, std::function<ShopReply(const ShopRequest&)> handler);
  // A price image with `priceText` drawn in the test font (PNG).
  void PriceImage(const std::string& path, const std::string& priceText,
                  const TextStyle& style = {});

  // The shop-specific endpoints, at their fixed paths.
  // Gome: sets the cookie atgregion=<region>|<name>.
  void GomeRegionEndpoint(const std::string& region);
  // Yihaodian: {"ipProvinceId":<id>,...}.
  void YihaodianProvinceEndpoint(const std::string& provinceId);
  // Yixun: the location endpoint, whose answer nobody reads.
  void YixunLocationEndpoint();
  // Suning: the product-status reply for partner products.
  void SuningStatusEndpoint(const std::string& json);

  // Makes this shop stand in for the given hosts in section "Hosts" of the
  // program directory's config.ini (so the test's TempDir(true) must exist).
  void StandInFor(std::initializer_list<HostId> hosts) const;

  // Keeps idle connections open for `idleSeconds` and up to `requests`
  // requests each, as a shop does (a benchmark of reused connections);
  // stopping the shop then waits for open ones.
  void KeepConnections(time_t idleSeconds, size_t requests);

  // Requests received for a path (query ignored), and all in order.
  int Requests(const std::string& path) const;
  std::vector<ShopRequest> RequestsTo(const std::string& path) const;
  std::vector<ShopRequest> Log() const;
  int TotalRequests() const;

 private:
  ShopReply Answer(const ShopRequest& request);

  std::unique_ptr<TestHttpServer> m_server;
  mutable std::mutex m_mutex;
  std::map<std::string, std::function<ShopReply(const ShopRequest&)>> m_handlers;
  std::vector<ShopRequest> m_log;
};

// The fixed paths of the shop endpoints.
inline constexpr const char* kGomeRegionEndpointPath = "/ec/homeus/browse/ipWriteCookie.jsp";
inline constexpr const char* kYihaodianProvincePath = "/header/selectProvinceboxV2.do";
inline constexpr const char* kYixunLocationPath = "/w/loc/getloc";
inline constexpr const char* kSuningStatusPath = "/SNProductStatusView";

// Writes digit templates "0.png" ... "9.png" and "pot.png" drawn like the
// shop's price images into `folder` (created when missing).
void WriteDigitTemplates(const std::string& folder, const TextStyle& style = {});

// Collects what the extraction reports.
struct RecordingTrace : ExtractTrace {
  std::vector<std::string> requests;
  std::vector<std::string> cacheHits;
  void OnRequest(const std::string& link) override { requests.push_back(link); }
  void OnCacheHit(const std::string& key) override { cacheHits.push_back(key); }
};

// Rules for the plain product pages tests write: <h1 id="name">, <span
// id="sku">, <img id="pic" src=...>, <em id="price"> and <div id="stock">,
// whose text holds `outOfStockFlag` when the product is sold out.
CSite PlainPageSite(const std::string& name, const std::string& domain,
                    const std::string& outOfStockFlag = "sold out");

// The shops of data/sites.example.xml, with their requests sent to `shop`
// (the file's host api.shop.example replaced by the shop's host).
std::string ExampleSitesFor(const FakeShop& shop);

// A product page of the example shops. `kind` is the Flag value: "pages",
// "json", "stock" or "nogoods".
struct ExampleProduct {
  std::string kind{};
  std::string sku = "10001";
  std::string name{};
  std::string price{};  // written with a currency sign in front
  std::string promo{};
  std::string stock{};  // the page's stock text
  std::string area = "110000";
  std::string extra{};  // more text in the page
};
std::string ExamplePage(const ExampleProduct& product);

// What a pass sees of one product: the page fetched as both passes fetch it,
// every extraction step, and the details the add pipeline reads.
struct ProductRun {
  std::string page;
  ProductValues values;
  ItemInfo info;
  RecordingTrace trace;
};
ProductRun FetchAndExtract(const CSite& site, const std::string& productUrl);
