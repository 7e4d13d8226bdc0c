#pragma once

#include <string>

class CSpider;
class ExtractTrace;

// The shops whose pages need more than rules: each is recognised by the
// site's Domain against host names of section "Hosts" in config.ini. A host
// configured empty never matches.
bool IsGomeShop(const std::string& domain);
bool IsYihaodianShop(const std::string& domain);
bool IsYixunShop(const std::string& domain);
bool IsTmallShop(const std::string& domain);
// The stock step tests the Suning suffix without its leading dot; the
// calling order with it. Both are kept, as the two rules differ for hosts
// such as "suning.com" itself.
bool IsSuningShop(const std::string& domain);
bool IsSuningShopForStock(const std::string& domain);
// Yixun and Efeihu write their image links without scheme on purpose.
bool KeepsImageLinkAsIs(const std::string& domain);

// The product-status request that replaces parameter 5 of a Suning product
// sold by a partner, and the pattern that reads the vendor from its reply.
std::string SuningStatusTemplate();
inline constexpr const char* kSuningVendorPattern = "\"vendor\":\"(.*?)\"";
inline constexpr const char* kSuningVendorQuery = "&vendorCode=$param5";
inline constexpr const char* kSuningStatusPattern = "\"productStatus\":\"(.*?)\"";

// Gome keeps the visitor's region in a cookie; "$city" in its price and
// stock requests is that region code. Asks the region endpoint only when the
// cookie store has none. Empty when no region could be found.
std::string GomeRegion(CSpider& spider, const std::string& referer, ExtractTrace* trace);

// Yihaodian answers by the province in cookie "provinceId": asks the
// province endpoint for the visitor's province and sets the cookie for `link`.
void SetYihaodianProvince(CSpider& spider, const std::string& link, ExtractTrace* trace);

// Yixun wants its location endpoint asked before a product page.
void RequestYixunLocation(CSpider& spider, const std::string& encode, const std::string& referer,
                          ExtractTrace* trace);
