#include "engine/learn.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "base/codepage.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/generic.h"
#include "engine/learn_anchor.h"
#include "engine/pagecharset.h"
#include "engine/pricetext.h"
#include "engine/productlink.h"
#include "engine/spider.h"
#include "engine/structured.h"
#include "text/regex.h"

namespace {

// A price where shops write one: digits with the separators their pages
// use; a blank only before a group of three digits.
constexpr const char* kPriceCapture = "(\\d[\\d.,']*(?:\\s\\d{3}[\\d.,]*)*)";
// So many places of the page showing the price are weighed at most.
constexpr size_t kMostPlaces = 80;
// Numbers longer than this are no prices.
constexpr size_t kPriceWindow = 40;
// U+00A0, with which many pages group thousands, in the local code page.
constexpr const char* kLocalNoBreakSpace = "\x81\x30\x84\x32";

const AnchorWords& PriceWords() {
  static const AnchorWords words{
      {"price", "amount", "cost", "preis", "prix", "prezzo", "precio", "preco", "cena", "hind",
       "prijs", "pris", "fiyat", "kaina", "cijena", "ar"},
      {"current", "sale", "final", "now", "special", "actual", "selling", "deal", "offer", "our"},
      {"old",         "was",     "strike",  "regular",   "list",        "orig",     "original",
       "before",      "compare", "save",    "saving",    "savings",     "discount", "instalment",
       "installment", "monthly", "month",   "shipping",  "delivery",    "unit",     "crossed",
       "rrp",         "msrp",    "related", "recommend", "recommended", "similar",  "carousel",
       "card",        "tile",    "upsell",  "cross",     "min",         "max",      "from",
       "total",       "tax",     "fee",     "reviews",   "rating",      "bid",      "title"},
      {"itemprop=\"price\"", "price:amount", "\"price\":"}};
  return words;
}

const AnchorWords& IdWords() {
  static const AnchorWords words{
      {"sku", "id", "product", "item", "code", "gtin", "ean", "mpn", "article", "artikel", "model",
       "pid", "goods", "offer", "url", "canonical"},
      {},
      {"related", "recommend", "recommended", "similar", "carousel", "card", "tile", "upsell",
       "cross", "brand", "category", "seller", "shop", "store", "user", "session", "page"},
      {"itemprop=\"sku\"", "\"sku\":", "productid", "retailer_item_id"}};
  return words;
}

bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }

// Whether a price text reads as `value`, the way the shop rules read it.
bool RuleReads(const std::string& text, double value) {
  return !text.empty() && std::fabs(ReadPriceNumber(text) - value) < 0.005;
}

bool IsGroupingByte(char c) { return c == '.' || c == ',' || c == '\''; }

// The number that begins at `at`: digits with the marks that group and
// separate them, and blanks between digits. The price reader weighs it.
std::string NumberAt(const std::string& page, size_t at) {
  size_t end = at;
  while (end < page.size() && end - at < kPriceWindow) {
    if (IsDigitByte(page[end]) || IsGroupingByte(page[end])) {
      ++end;
    } else if (page[end] == ' ' && end + 1 < page.size() && IsDigitByte(page[end + 1])) {
      ++end;
    } else if (page.compare(end, 4, kLocalNoBreakSpace) == 0 && end + 4 < page.size() &&
               IsDigitByte(page[end + 4])) {
      end += 4;
    } else {
      break;
    }
  }
  while (end > at && IsGroupingByte(page[end - 1])) --end;
  return page.substr(at, end - at);
}

// The places of the page where a number that reads as `value` begins.
std::vector<size_t> PricePlaces(const std::string& page, double value) {
  std::vector<size_t> places;
  size_t previous = std::string::npos;
  for (size_t at = 0; at < page.size() && places.size() < kMostPlaces;
       previous = at, at += LocalCharLength(page.data(), page.size(), at)) {
    if (!IsDigitByte(page[at])) continue;
    if (previous != std::string::npos &&
        (IsDigitByte(page[previous]) || IsGroupingByte(page[previous])))
      continue;
    const std::string number = NumberAt(page, at);
    const PriceText read = ReadPriceText(LocalToUtf8(number), PriceNotation::kShown);
    if (read.found && std::fabs(read.value - value) < 0.005) places.push_back(at);
  }
  return places;
}

// The first pattern that reads a plausible text on the page.
std::string FirstReading(const std::string& page, const std::vector<std::string>& patterns,
                         size_t shortest, size_t longest) {
  for (const std::string& pattern : patterns) {
    const std::string text = RegexGroup1(page, pattern);
    if (text.size() >= shortest && text.size() <= longest) return pattern;
  }
  return std::string();
}

// Where the page names the product: the heading that its title also holds,
// else its Open Graph title, its microdata name, any heading, its title.
std::string NamePattern(const std::string& page) {
  const std::string heading = "<h1[^>]*>\\s*([^<]+?)\\s*<";
  const std::string ogTitle = "<meta[^>]*?property=[\"']og:title[\"'][^>]*?content=[\"']([^\"']+)";
  const std::string ogTitleFirst =
      "<meta[^>]*?content=[\"']([^\"']+)[\"'][^>]*?property=[\"']og:title";
  const std::string title = "<title[^>]*>\\s*([^<]+?)\\s*</title>";
  const std::string headingText = RegexGroup1(page, heading);
  if (headingText.size() >= 3) {
    const std::string titles =
        RegexGroup1(page, ogTitle) + RegexGroup1(page, ogTitleFirst) + RegexGroup1(page, title);
    if (titles.find(headingText) != std::string::npos) return heading;
  }
  return FirstReading(page,
                      {ogTitle, ogTitleFirst, "itemprop=[\"']name[\"'][^>]*?content=[\"']([^\"']+)",
                       heading, title},
                      2, 500);
}

std::string ImagePattern(const std::string& page) {
  return FirstReading(page,
                      {"<meta[^>]*?property=[\"']og:image[\"'][^>]*?content=[\"']([^\"']+)",
                       "<meta[^>]*?content=[\"']([^\"']+)[\"'][^>]*?property=[\"']og:image[\"']",
                       "itemprop=[\"']image[\"'][^>]*?(?:content|src|href)=[\"']([^\"']+)",
                       "<link[^>]*?rel=[\"']image_src[\"'][^>]*?href=[\"']([^\"']+)"},
                      5, 2000);
}

// The stock as the page states it for machines, when it does: the pattern
// and the marker of "out of stock" in what it captures.
bool LearnStock(const std::string& page, std::string& pattern, std::string& outMark) {
  for (const char* candidate :
       {"itemprop=[\"']availability[\"'][^>]*?(?:content|href)=[\"']([^\"']+)",
        "(?:content|href)=[\"']([^\"']+)[\"'][^>]*?itemprop=[\"']availability[\"']",
        "\"availability\"\\s*:\\s*\"([^\"]+)\"",
        "property=[\"'](?:og|product):availability[\"'][^>]*?content=[\"']([^\"']+)"}) {
    const std::string stated = RegexGroup1(page, candidate);
    if (AvailabilityStock(stated) == STOCK_UNKNOWN) continue;
    pattern = candidate;
    // schema.org writes "OutOfStock" and "SoldOut"; others "out of stock".
    const bool capitals = stated.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos;
    outMark = capitals ? "Out" : "out";
    return true;
  }
  return false;
}

// The capture that reads an id standing where `after` follows it.
std::string IdCapture(char after) {
  if (after == '"') return "([^\"<>]+)\"";
  if (after == '\'') return "([^'<>]+)'";
  if (after == '<') return "([^<>]+?)\\s*<";
  return "([\\w.\\-/]+)";
}

// Where the page shows an id of the product: the one its product data
// names, else its own link, whole or from its path on, or the canonical
// link.
std::string IdPattern(const std::string& page, const std::string& link) {
  const GenericProduct product = ReadGenericProduct(page);
  std::vector<std::string> ids;
  if (!product.info.id.empty()) ids.push_back(product.info.id);
  const std::string own = LinkWithoutTracking(link);
  ids.push_back(own);
  const size_t host = own.find("://");
  const size_t path = host == std::string::npos ? host : own.find('/', host + 3);
  if (path != std::string::npos && own.size() - path > 1) ids.push_back(own.substr(path));
  Anchor best;
  bool found = false;
  for (const std::string& id : ids) {
    if (id.size() < 2 || id.size() > 200) continue;
    std::vector<size_t> places;
    for (size_t at = page.find(id); at != std::string::npos && places.size() < kMostPlaces;
         at = page.find(id, at + 1))
      places.push_back(at);
    for (size_t place : places) {
      const size_t end = place + id.size();
      const std::vector<Anchor> anchors = FindAnchors(
          page, {place}, IdCapture(end < page.size() ? page[end] : ' '),
          [&](const std::string& text) { return text == id; }, IdWords());
      if (!anchors.empty() && (!found || anchors[0].score > best.score)) {
        best = anchors[0];
        found = true;
      }
    }
  }
  if (found) return best.pattern;
  return FirstReading(page,
                      {"<link[^>]*?rel=[\"']canonical[\"'][^>]*?href=[\"']([^\"']+)",
                       "<meta[^>]*?property=[\"']og:url[\"'][^>]*?content=[\"']([^\"']+)"},
                      8, 2000);
}

// The shop's name: its host as people say it, without "www.".
std::string ShopName(const std::string& domain) {
  return domain.rfind("www.", 0) == 0 ? domain.substr(4) : domain;
}

// A marker only this shop's pages hold: their own link to the shop, as the
// canonical link or the Open Graph link names it. "" when neither does.
std::string FlagFor(const std::string& page, const std::string& domain) {
  for (const char* lead : {"rel=\"canonical\" href=\"", "property=\"og:url\" content=\""}) {
    const size_t at = page.find(lead);
    if (at == std::string::npos) continue;
    const size_t value = at + std::strlen(lead);
    const size_t scheme = page.find("://", value);
    if (scheme == std::string::npos || scheme - value > 5) continue;
    const size_t host = scheme + 3;
    if (page.compare(host, domain.size(), domain) != 0) continue;
    const size_t end = host + domain.size();
    if (end < page.size() && (page[end] == '/' || page[end] == '"'))
      return page.substr(at, end + 1 - at);
  }
  return std::string();
}

LearnedShop Refused(unsigned why, const std::string& more = std::string()) {
  LearnedShop shop;
  shop.why = LoadString(why) + more;
  return shop;
}

}  // namespace

LearnedShop LearnShop(const LearnRequest& request) {
  const PriceText seen = ReadPriceText(LocalToUtf8(request.price), PriceNotation::kShown);
  if (!seen.found || seen.value <= 0) return Refused(IDS_LEARN_PRICE_UNREADABLE, request.price);
  const std::string domain = GenericSiteDomain(request.link);
  if (domain.empty()) return Refused(IDS_LEARN_NO_LINK);
  const std::string& page = request.page;

  const std::vector<size_t> places = PricePlaces(page, seen.value);
  if (places.empty()) return Refused(IDS_LEARN_PRICE_NOT_ON_PAGE);
  const std::vector<Anchor> prices = FindAnchors(
      page, places, kPriceCapture,
      [&](const std::string& text) { return RuleReads(text, seen.value); }, PriceWords());
  if (prices.empty()) return Refused(IDS_LEARN_PRICE_AMBIGUOUS);
  const std::string name = NamePattern(page);
  if (name.empty()) return Refused(IDS_LEARN_NO_NAME);
  const std::string id = IdPattern(page, request.link);
  if (id.empty()) return Refused(IDS_LEARN_NO_ID);

  CSite site;
  site.SetName(ShopName(domain));
  site.SetDomain(domain);
  site.SetEncode(request.charset == "utf-8" ? "utf-8" : "gbk");
  site.SetFlag(FlagFor(page, domain));
  site.SetNameRegex(name);
  site.SetIDRegex(id);
  site.SetPriceRegex(prices.front().pattern);
  site.SetImageRegex(ImagePattern(page));
  std::string stock, outMark;
  if (LearnStock(page, stock, outMark)) {
    site.SetStockRegex(stock);
    site.SetOutOfStockFlag(outMark);
  }
  site.SetLearned(FormatNowText());

  // What the record reads, as the add pipeline and the tracking pass will.
  LearnedShop shop;
  CSpider spider;
  const ProductValues values = ExtractProduct(spider, page, site, request.link);
  shop.info = ExtractItemInfo(page, site);
  shop.price = values.effectivePrice;
  shop.stock = values.stock;
  shop.site = site;
  if (!RuleReads(shop.price, seen.value) || shop.info.name.empty() || shop.info.id.empty())
    return Refused(IDS_LEARN_NOT_READ_BACK);
  shop.learned = true;
  return shop;
}

std::string ReadPageToLearn(const std::string& bytes, const std::string& contentType,
                            std::string& charset, std::string& why) {
  const PageText read = DecodePage(bytes, contentType);
  charset = read.charset;
  if (read.text.empty()) {
    why = read.refused.empty() ? LoadString(IDS_LEARN_NO_PAGE) : read.refused;
    return std::string();
  }
  if (charset == "utf-8") return read.text;
  // A shop's record names UTF-8 or else takes the page's bytes as they come.
  if (charset.rfind("utf-16", 0) == 0) {
    why = LoadString(IDS_LEARN_CHARSET) + charset;
    return std::string();
  }
  return bytes.substr(0, bytes.find('\0'));
}

std::string FetchPageToLearn(const std::string& link, std::string& charset, std::string& why) {
  CSpider spider;
  std::string contentType;
  const std::string bytes = spider.GetPageBytes(link, contentType);
  if (bytes.empty()) {
    why = LoadString(IDS_LEARN_NO_PAGE);
    return std::string();
  }
  return ReadPageToLearn(bytes, contentType, charset, why);
}
