// The extraction steps: parameters, price, promotional price, stock and the
// details of a product being added.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "base/programdir.h"
#include "base/timetext.h"
#include "engine/extract.h"
#include "engine/extract_request.h"
#include "engine/extract_shops.h"
#include "engine/priceimg.h"
#include "engine/pricetext.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "engine/urlencode.h"
#include "text/regex.h"

namespace {

constexpr const char* kGoodsId = "$goodsid";
constexpr const char* kTmallStart = "999999999";

// Group 1 of a rule pattern of the site, compiled once per record.
std::string RuleGroup1(const std::string& text, const CSite& site, SiteField field) {
  return PatternGroup1(text, *site.Pattern(field));
}

std::string ProductId(const std::string& page, const CSite& site) {
  return site.Field(SiteField::IDRegex).empty() ? std::string()
                                                : RuleGroup1(page, site, SiteField::IDRegex);
}

std::string ParamName(int n) { return "$param" + std::to_string(n); }

// Price, promotional and stock steps: "$goodsid", "$param1" ... "$param7",
// "$nowtime" (and the promotional step's "$memberprice" after them).
std::vector<Placeholder> ValuePlaceholders(const std::string& goodsId, const ExtractParams& params,
                                           const std::string& stamp) {
  std::vector<Placeholder> placeholders{{kGoodsId, goodsId}};
  for (int n = 1; n <= 7; ++n) placeholders.emplace_back(ParamName(n), params[n - 1]);
  placeholders.emplace_back("$nowtime", stamp);
  return placeholders;
}

// The body a value step reads: its reply, or the page when it has no
// template. `after` are the step's own placeholders, filled in last.
std::string ValueSource(const ExtractContext& context, const CSite& site, const std::string& tpl,
                        const ExtractParams& params, unsigned extras,
                        const std::vector<Placeholder>& after = {}) {
  if (tpl.empty()) return context.page;
  std::string stamp = NowStamp();
  std::vector<Placeholder> placeholders =
      ValuePlaceholders(ProductId(context.page, site), params, stamp);
  placeholders.insert(placeholders.end(), after.begin(), after.end());
  StepRequest request = BuildRequest(tpl, placeholders, stamp);
  return StepBody(context, site, request, CacheRule::kReadFirst, extras);
}

// A sign "+" or "-" in front of a marker, as NoGoods and OutOfStockFlag have.
struct Marker {
  bool inverted = false;  // "-": the marker means the opposite
  std::string text;
};

Marker SplitMarker(const std::string& value) {
  if (!value.empty() && (value[0] == '+' || value[0] == '-'))
    return {value[0] == '-', value.substr(1)};
  return {false, value};
}

// The lowest promotion price with a non-zero quantity: the n-th price of the
// "priceInfo" block goes with the n-th quantity of the "skuQuantity" block.
std::string LowestTmallPromotion(const std::string& body) {
  const std::string quantities = RegexGroup1(body, "\"skuQuantity\"\\:\\{(.*?)\\}\\}");
  const std::string prices = RegexGroup1(body, "\"priceInfo\"\\:\\{(.*?)\\}\\}");
  const CRegexPattern pricePattern("\"promotionList\".*?,\"price\"\\:\"(.*?)\"",
                                   RX_DOT_ALL | RX_IGNORE_CASE);
  const CRegexPattern quantityPattern("\"quantity\"\\:(.*?),", RX_DOT_ALL | RX_IGNORE_CASE);
  std::string best = kTmallStart;
  int pricesAt = 0;
  int quantitiesAt = 0;
  for (;;) {
    CRegexMatch price = pricePattern.Search(prices, pricesAt);
    CRegexMatch quantity = quantityPattern.Search(quantities, quantitiesAt);
    if (!price.Found() || !quantity.Found()) break;
    auto group = [](const std::string& text, const CRegexMatch& m) {
      return m.GroupBegin(1) < 0 ? std::string()
                                 : text.substr(m.GroupBegin(1), m.GroupEnd(1) - m.GroupBegin(1));
    };
    std::string priceText = group(prices, price);
    double priceValue = ReadNumber(priceText);
    if (ReadNumber(group(quantities, quantity)) != 0 && priceValue != 0 &&
        ReadNumber(best) > priceValue)
      best = priceText;
    // Both patterns consume text, so the searches always move on.
    pricesAt = std::max(price.MatchEnd(), pricesAt + 1);
    quantitiesAt = std::max(quantity.MatchEnd(), quantitiesAt + 1);
  }
  return best;
}

}  // namespace

// Reads the longest decimal number at the start of the text after white
// space, as the C library would, but never "inf", "nan" or hexadecimal
// forms: a price is plain digits.
double ReadNumber(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const size_t start = at;
  auto digits = [&] {
    size_t from = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at - from;
  };
  size_t mantissa = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa += digits();
  }
  if (mantissa == 0) return 0;
  size_t end = at;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() > 0) end = at;
  }
  double value = 0;
  auto result = std::from_chars(text.data() + start, text.data() + end, value);
  if (result.ec != std::errc()) return 0;  // out of range: no usable price
  return negative ? -value : value;
}

double ReadPriceNumber(const std::string& text) {
  return ReadPriceText(text, PriceNotation::kRule).value;
}

bool PriceIsReadable(const std::string& text) { return ReadPriceNumber(text) > 0; }

std::string FormatPrice(double value) {
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

std::string ExtractParam(const ExtractContext& context, const CSite& site, int n,
                         const ExtractParams& params) {
  const std::string tpl = site.GetParamUrl(n);
  std::string body = context.page;
  if (!tpl.empty()) {
    std::string stamp = NowStamp();
    std::vector<Placeholder> placeholders;
    for (int k = 1; k < n; ++k) placeholders.emplace_back(ParamName(k), params[k - 1]);
    placeholders.emplace_back("$nowtime", stamp);
    placeholders.emplace_back(kGoodsId, ProductId(context.page, site));
    StepRequest request = BuildRequest(tpl, placeholders, stamp);
    body = StepBody(context, site, request, n == 1 ? CacheRule::kAlwaysSend : CacheRule::kReadFirst,
                    kNoExtras);
  }
  SiteField field;
  return ParamRegexField(n, field) ? UrlEncode(RuleGroup1(body, site, field)) : std::string();
}

std::string ExtractPrice(const ExtractContext& context, const CSite& site,
                         const ExtractParams& params) {
  std::string text = RuleGroup1(ValueSource(context, site, site.GetPriceUrl(), params, kGomeRegion),
                                site, SiteField::PriceRegex);
  if (!text.empty() && !site.GetPriceImgTplPath().empty()) {
    // What the page names is fetched, never read from the disk.
    const std::string link = PriceImageLink(text, site.GetDomain());
    CPriceImg reader(ProgramDirectory() + site.GetPriceImgTplPath(), site.GetPriceImgType(),
                     site.GetPriceImgColors());
    if (context.trace && !link.empty()) context.trace->OnRequest(link);
    text = link.empty() ? std::string() : reader.RecognizePrice(link, site.GetDomain());
  }
  return FormatPrice(ReadPriceNumber(text));
}

std::string ExtractPromPrice(const ExtractContext& context, const CSite& site,
                             const ExtractParams& params, const std::string& price) {
  const std::string tpl = site.GetPromPriceUrl();
  std::string body =
      ValueSource(context, site, tpl, params, kGomeRegion, {{"$memberprice", price}});
  std::string text = !tpl.empty() && IsTmallShop(site.GetDomain())
                         ? LowestTmallPromotion(body)
                         : RuleGroup1(body, site, SiteField::PromPriceRegex);
  return FormatPrice(ReadPriceNumber(text));
}

int ExtractStock(const ExtractContext& context, const CSite& site, const ExtractParams& params) {
  const std::string noGoods = site.GetNoGoods();
  if (!noGoods.empty()) {
    Marker marker = SplitMarker(noGoods);
    if (context.page.find(marker.text) != std::string::npos)
      return marker.inverted ? STOCK_IN : STOCK_OUT;
  }
  const std::string tpl = site.GetStockUrl();
  const std::string body =
      ValueSource(context, site, tpl, params, kGomeRegion | kYihaodianProvince);
  if (!tpl.empty() && IsSuningShopForStock(site.GetDomain())) {
    std::string status = RegexGroup1(body, kSuningStatusPattern);
    if (strcasecmp(status.c_str(), "2") == 0) return STOCK_OUT;
    if (status != "1" && ReadPriceNumber(ExtractPrice(context, site, params)) > 0) return STOCK_IN;
  }
  const std::string stockText = RuleGroup1(body, site, SiteField::StockRegex);
  if (stockText.empty()) return STOCK_UNKNOWN;
  Marker flag = SplitMarker(site.GetOutOfStockFlag());
  bool found = stockText.find(flag.text) != std::string::npos;
  return found != flag.inverted ? STOCK_OUT : STOCK_IN;
}

ItemInfo ExtractItemInfo(const std::string& page, const CSite& site) {
  ItemInfo info{RuleGroup1(page, site, SiteField::NameRegex), ProductId(page, site),
                RuleGroup1(page, site, SiteField::ImageRegex)};
  const std::string domain = site.GetDomain();
  std::string& image = info.image;
  if (image.empty() || strncasecmp(image.c_str(), "http://", 7) == 0 || KeepsImageLinkAsIs(domain))
    return info;
  // Links that already name a scheme or a host stay on that host.
  if (strncasecmp(image.c_str(), "https://", 8) == 0) return info;
  // A Domain of several hosts ("a.test|b.test") completes with its first.
  const std::string host = domain.substr(0, domain.find('|'));
  image = image.compare(0, 2, "//") == 0 ? "http:" + image : "http://" + host + image;
  return info;
}
