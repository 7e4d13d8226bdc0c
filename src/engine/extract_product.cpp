// The calling order of the extraction steps, shared by the tracking pass and
// the add pipeline, and the requests both make before fetching a page.
#include <strings.h>

#include <chrono>
#include <optional>

#include "engine/extract.h"
#include "engine/extract_request.h"
#include "engine/extract_shops.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "text/regex.h"

namespace {

// Suning marks products sold by partners with this parameter 5; their price
// requests then need the partner's vendor code instead.
bool IsPartnerMarker(const std::string& param5) {
  return strcasecmp(param5.c_str(), "SN_001") == 0 || strcasecmp(param5.c_str(), "SN%5F001") == 0;
}

// The rules for a partner product: parameter 5 comes from the product-status
// request, and the later requests no longer carry the vendor code.
void MakePartnerVariant(const CSite& site, CSite& variant) {
  variant.CopyFrom(site);
  variant.SetParam5Url(SuningStatusTemplate());
  variant.SetParam5Regex(kSuningVendorPattern);
  variant.SetParam6Url(ReplaceAll(site.GetParam6Url(), kSuningVendorQuery, ""));
  variant.SetParam7Url(ReplaceAll(site.GetParam7Url(), kSuningVendorQuery, ""));
  variant.SetPriceUrl(ReplaceAll(site.GetPriceUrl(), kSuningVendorQuery, ""));
}

// Tmall's promotional step answers this when no promotion has stock.
constexpr double kNoPromotion = 999999999;

}  // namespace

std::string EffectivePrice(const std::string& price, const std::string& promPrice) {
  double value = ReadPriceNumber(price);
  double promotion = ReadPriceNumber(promPrice);
  // The "no promotion" answer must not stand in for a price that could not
  // be read.
  if (promotion == kNoPromotion) return price;
  return promotion > 0 && (value == 0 || promotion < value) ? promPrice : price;
}

ProductValues ExtractProduct(CSpider& spider, const std::string& page, const CSite& site,
                             const std::string& referer, ExtractTrace* trace) {
  BodyCache cache;
  const ExtractContext context{spider, page, referer, cache, trace};
  // A rule that backtracks without end gives up as "not found"; the trace
  // says at which step.
  std::string step;
  std::optional<CRegexGiveUpWatch> watch;
  if (trace)
    watch.emplace(
        [&](RegexStatus status) { trace->OnRuleGaveUp(step.c_str(), RegexStatusText(status)); });
  ProductValues values;
  ExtractParams& params = values.params;
  auto param = [&](const CSite& rules, int n) {
    step = "param" + std::to_string(n);
    return ExtractParam(context, rules, n, params);
  };
  for (int n = 1; n <= 5; ++n) params[n - 1] = param(site, n);

  const CSite* priceSite = &site;
  CSite variant;
  if (IsSuningShop(site.GetDomain()) && IsPartnerMarker(params[4])) {
    MakePartnerVariant(site, variant);
    params[4] = param(variant, 5);
    priceSite = &variant;
  }
  for (int n = 6; n <= 7; ++n) params[n - 1] = param(*priceSite, n);
  step = "price";
  values.price = ExtractPrice(context, *priceSite, params);

  // The promotional price and the stock always follow the shop's own rules.
  step = "promprice";
  values.promPrice = ExtractPromPrice(context, site, params, values.price);
  step = "stock";
  values.stock = ExtractStock(context, site, params);
  values.effectivePrice = EffectivePrice(values.price, values.promPrice);
  return values;
}

void PrepareShop(CSpider& spider, const CSite& site, const std::string& productUrl,
                 ExtractTrace* trace) {
  const std::string domain = site.GetDomain();
  if (IsYihaodianShop(domain)) SetYihaodianProvince(spider, productUrl, trace);
  if (IsYixunShop(domain)) RequestYixunLocation(spider, site.GetEncode(), productUrl, trace);
}

std::string FetchProductPage(CSpider& spider, const CSite& site, const std::string& productUrl,
                             ExtractTrace* trace) {
  PrepareShop(spider, site, productUrl, trace);
  if (site.GetRender()) return RenderProductPage(spider, productUrl, trace);
  if (trace) trace->OnRequest(productUrl);
  return spider.GetPage(productUrl, site.GetEncode(), "", "");
}

std::string RenderProductPage(CSpider& spider, const std::string& productUrl, ExtractTrace* trace) {
  if (trace) trace->OnRender(productUrl);
  const auto start = std::chrono::steady_clock::now();
  std::string page = spider.RenderPage(productUrl);
  if (trace)
    trace->OnRendered(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return page;
}
