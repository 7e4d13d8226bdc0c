#pragma once

#include <string>

#include "engine/extract.h"
#include "engine/pricereader.h"
#include "engine/structured.h"

class CSpider;

// The built-in shop "通用" (general): links that no site of sites.xml
// matches are read through the product data the page publishes for search
// engines instead of through rules.

// "通用" in the local code page.
std::string GenericSiteName();
bool IsGenericSiteName(const std::string& name);
// The lower-case host (with its port, if any) of a link: the domain under
// which a general shop's tasks keep their files. "" when it is no link.
std::string GenericSiteDomain(const std::string& link);

// Whether the general shop can read a link: an http or https link with a host.
bool GenericShopTakes(const std::string& link);

struct GenericProduct {
  StructuredProduct data;  // data.price: the price read and where it came from
  PageReading reading;     // how the price was chosen among the page's prices
  ItemInfo info;           // name, id and picture link
  std::string price;       // "%.2f", or "" when the page has no price
  std::string currency;    // as the page gives it, e.g. "EUR"
  int stock = STOCK_UNKNOWN;
};

// The product of a fetched page (local code page): the schema.org data, and
// the price a shopper sees, refereed against it. A page that names no
// identifier of its own is known by its link (`url`, when given) without
// fragment and tracking parameters; the id's source is then "url".
GenericProduct ReadGenericProduct(const std::string& page, const std::string& url = std::string());
// The same from a page in UTF-8, which holds every currency sign; the texts
// of the product still come out in the local code page.
GenericProduct ReadGenericProductUtf8(const std::string& utf8Page,
                                      const std::string& url = std::string());

// Fetches the page of a general shop's link and reads it in its own
// character set (see DecodePage); false when the fetch failed, the page is
// empty or it could not be read, and then `refused` (when given) says why
// it could not be read, or is empty.
bool FetchGenericPage(CSpider& spider, const std::string& url, std::string& page,
                      ExtractTrace* trace = nullptr, std::string* refused = nullptr);

// The product of a general shop's fetched page; when the page's bytes give
// none that could become a task (AcceptGenericProduct), the page may draw it
// with scripts: `page` becomes the page as the browser draws it, read again.
// False when that drawing failed (CSpider::LastFailure says why).
bool ReadProductOrRender(CSpider& spider, const std::string& url, std::string& page,
                         GenericProduct& product, ExtractTrace* trace = nullptr);

// Whether a product of a general shop can become a task: a name, an
// identifier, and a price above 0 or the word that it is out of stock.
bool AcceptGenericProduct(const GenericProduct& product);
// The same for a product read by rules learned from a page, which need
// neither a picture nor a stock the page does not state.
bool AcceptReadProduct(const ItemInfo& info, const std::string& price, int stock);
