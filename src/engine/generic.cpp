#include "engine/generic.h"

#include <strings.h>

#include <memory>

#include <curl/curl.h>

#include "base/codepage.h"
#include "engine/extract.h"
#include "engine/nocase.h"
#include "engine/pagecharset.h"
#include "engine/pagewalk.h"
#include "engine/pricetext.h"
#include "engine/productlink.h"
#include "engine/spider.h"
#include "engine/structured_internal.h"

namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || !text) return std::string();
  std::string value(text);
  curl_free(text);
  return value;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The currency of a price the page shows: its code when the sign names one,
// the sign itself when the local code page holds it.
std::string ShownCurrency(const std::string& written) {
  const std::string code = CurrencyCode(written);
  if (!code.empty()) return code;
  for (char c : written)
    if (static_cast<unsigned char>(c) >= 0x80) return std::string();
  return written;
}

}  // namespace

std::string GenericSiteName() {
  static const std::string name = Utf8ToLocal("通用");
  return name;
}

bool IsGenericSiteName(const std::string& name) { return EqualNoCase(name, GenericSiteName()); }

std::string GenericSiteDomain(const std::string& link) {
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, link.c_str(), 0) != CURLUE_OK)
    return std::string();
  const std::string host = Lower(UrlPart(url.get(), CURLUPART_HOST));
  const std::string port = UrlPart(url.get(), CURLUPART_PORT);
  return port.empty() || host.empty() ? host : host + ":" + port;
}

bool GenericShopTakes(const std::string& link) {
  const bool web = link.size() > 8 && (strncasecmp(link.c_str(), "http://", 7) == 0 ||
                                       strncasecmp(link.c_str(), "https://", 8) == 0);
  return web && !GenericSiteDomain(link).empty();
}

GenericProduct ReadGenericProduct(const std::string& page, const std::string& url) {
  return ReadGenericProductUtf8(LocalToUtf8(page), url);
}

GenericProduct ReadGenericProductUtf8(const std::string& utf8Page, const std::string& url) {
  GenericProduct product;
  const PageFacts facts = WalkPage(utf8Page);
  const FoundValues jsonLd = ReadJsonLd(facts.sources.jsonBlocks);
  product.data = StructuredFromSources(facts.sources, jsonLd);
  if (product.data.id.Empty() && !url.empty())
    product.data.id = StructuredValue{LinkWithoutTracking(url), "url"};
  product.reading = ReadProductPrice(facts, jsonLd);
  // A page without product data still shows the product's name as its title.
  if (product.data.name.Empty() && !facts.title.empty())
    product.data.name = {Utf8ToLocal(facts.title), kFromPage};
  const PageReading& reading = product.reading;
  product.info.name = product.data.name.value;
  product.info.id = product.data.id.value;
  product.info.image = product.data.image.value;
  product.price = reading.price;
  const bool stated = reading.source == product.data.price.source;
  if (!stated) {
    product.data.price.value = Utf8ToLocal(reading.written);
    product.data.price.source = reading.source;
    product.data.price.shown = true;
    const std::string currency = ShownCurrency(reading.currency);
    if (!currency.empty()) product.data.currency = {currency, reading.source};
  }
  product.currency = product.data.currency.value;
  product.stock = AvailabilityStock(product.data.availability.value);
  return product;
}

bool FetchGenericPage(CSpider& spider, const std::string& url, std::string& page,
                      ExtractTrace* trace, std::string* refused) {
  if (trace) trace->OnRequest(url);
  std::string contentType;
  const std::string bytes = spider.GetPageBytes(url, contentType);
  const PageText read = DecodePage(bytes, contentType);
  if (trace && !read.charset.empty()) trace->OnCharset(read.charset, read.source);
  page = read.text;
  if (refused) *refused = read.refused;
  return !page.empty();
}

bool ReadProductOrRender(CSpider& spider, const std::string& url, std::string& page,
                         GenericProduct& product, ExtractTrace* trace) {
  product = ReadGenericProduct(page, url);
  if (AcceptGenericProduct(product)) return true;
  page = RenderProductPage(spider, url, trace);
  product = ReadGenericProduct(page, url);
  return !page.empty();
}

bool AcceptGenericProduct(const GenericProduct& product) {
  return AcceptReadProduct(product.info, product.price, product.stock);
}

bool AcceptReadProduct(const ItemInfo& info, const std::string& price, int stock) {
  if (info.name.empty() || info.id.empty()) return false;
  return PriceIsReadable(price) || stock == STOCK_OUT;
}
