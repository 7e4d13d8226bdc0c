#pragma once

#include <array>
#include <map>
#include <string>

class CSite;
class CSpider;

// Stock states of a product.
enum StockState : int {
  STOCK_UNKNOWN = -1,  // no stock text found
  STOCK_OUT = 0,
  STOCK_IN = 1,
};

// Reply bodies of one product's requests, by link with the time stamp taken
// out, so that requests differing only in their "$nowtime" are sent once.
using BodyCache = std::map<std::string, std::string>;

// Parameters 1 to 7 of a product, URL-encoded (index 0 is parameter 1).
using ExtractParams = std::array<std::string, 7>;

// Told of every request the extraction sends and of every reply it takes from
// the BodyCache instead; what `vantrelctl extract --trace` prints.
class ExtractTrace {
 public:
  virtual ~ExtractTrace() = default;
  virtual void OnRequest(const std::string& link) = 0;
  virtual void OnCacheHit(const std::string& key) = 0;
  // A rule's search of the named step gave up ("match limit exceeded" ...).
  virtual void OnRuleGaveUp(const char* step, const char* why) {
    (void)step;
    (void)why;
  }
  // A page is being drawn by the browser; then how long that took.
  virtual void OnRender(const std::string& link) { (void)link; }
  virtual void OnRendered(double seconds) { (void)seconds; }
  // A page read in its own character set: what it was read as, and why.
  virtual void OnCharset(const std::string& charset, const std::string& source) {
    (void)charset;
    (void)source;
  }
};

// What the steps of one product share. The referer (the product link) goes
// with every request of the steps.
struct ExtractContext {
  CSpider& spider;
  const std::string& page;
  const std::string& referer;
  BodyCache& cache;
  ExtractTrace* trace = nullptr;
};

// The single steps. Parameter n (1 to 7) sees parameters 1 to n-1 of
// `params`. Prices come back formatted "%.2f", 0.00 when nothing was read.
std::string ExtractParam(const ExtractContext& context, const CSite& site, int n,
                         const ExtractParams& params);
std::string ExtractPrice(const ExtractContext& context, const CSite& site,
                         const ExtractParams& params);
std::string ExtractPromPrice(const ExtractContext& context, const CSite& site,
                             const ExtractParams& params, const std::string& price);
int ExtractStock(const ExtractContext& context, const CSite& site, const ExtractParams& params);

struct ItemInfo {
  std::string name;
  std::string id;
  std::string image;
};
// Name, product ID and image link of a product being added.
ItemInfo ExtractItemInfo(const std::string& page, const CSite& site);

struct ProductValues {
  ExtractParams params;
  std::string price;           // the price step's result
  std::string promPrice;       // the promotional step's result
  std::string effectivePrice;  // the price the program tracks
  int stock = STOCK_UNKNOWN;
};

// Runs every step on a fetched product page in the one order the tracking
// pass and the add pipeline both use, with a fresh BodyCache. `site` is the
// shop after re-identification by its Flag; `referer` is the product link.
ProductValues ExtractProduct(CSpider& spider, const std::string& page, const CSite& site,
                             const std::string& referer, ExtractTrace* trace = nullptr);

// What both passes do before fetching a product page: the shop's preparation
// requests (a province cookie for the product link, a location request).
void PrepareShop(CSpider& spider, const CSite& site, const std::string& productUrl,
                 ExtractTrace* trace = nullptr);
// PrepareShop, then the product page in the shop's character set, without
// extra headers or referer; for a shop whose record asks for it (Render),
// the page as the browser draws it. Empty when the fetch failed.
std::string FetchProductPage(CSpider& spider, const CSite& site, const std::string& productUrl,
                             ExtractTrace* trace = nullptr);

// The page drawn by the browser (CSpider::RenderPage), told to the trace.
std::string RenderProductPage(CSpider& spider, const std::string& productUrl,
                              ExtractTrace* trace = nullptr);

// The promotional price when it is above 0 and below the price or the price
// is 0; otherwise the price.
std::string EffectivePrice(const std::string& price, const std::string& promPrice);

// The longest decimal number at the start of the text after white space;
// 0 when there is none (and for "inf", "nan" and out-of-range texts).
double ReadNumber(const std::string& text);
// A price text as the steps read it: "," removed, leading white space
// skipped, the longest decimal number at the start; 0 when there is none.
// Thousands grouped by blanks, "'" or "." before a decimal comma read whole
// ("1 298,00" is 1298).
double ReadPriceNumber(const std::string& text);
// A price a new task can start from: one that reads as more than 0. A
// product in stock whose price could not be read is a failed fetch, not a
// product at 0.00.
bool PriceIsReadable(const std::string& text);
// "%.2f" whatever the locale.
std::string FormatPrice(double value);
