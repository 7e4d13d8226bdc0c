#include "engine/extract_shops.h"

#include <strings.h>

#include <initializer_list>

#include "base/hosts.h"
#include "base/timetext.h"
#include "engine/extract.h"
#include "engine/spider.h"

namespace {

bool EqualsHost(const std::string& domain, std::initializer_list<HostId> hosts) {
  for (HostId id : hosts) {
    std::string host = HostValue(id);
    if (!host.empty() && strcasecmp(domain.c_str(), host.c_str()) == 0) return true;
  }
  return false;
}

bool ContainsSuffix(const std::string& domain, const std::string& suffix) {
  return !suffix.empty() && domain.find(suffix) != std::string::npos;
}

// An endpoint on a configured host; a host written with its scheme is taken
// as it is. Empty when the host is switched off.
std::string EndpointLink(HostId host, const char* pathAndQuery) {
  std::string value = HostValue(host);
  if (value.empty()) return {};
  if (value.find("://") == std::string::npos) value = "http://" + value;
  return value + pathAndQuery;
}

void Trace(ExtractTrace* trace, const std::string& link) {
  if (trace) trace->OnRequest(link);
}

constexpr const char* kGomeRegionPath = "/ec/homeus/browse/ipWriteCookie.jsp?callback=ipWrite";
constexpr const char* kGomeRegionPattern = "atgregion=(.*?)\\|";
constexpr const char* kYihaodianProvincePath = "/header/selectProvinceboxV2.do";
constexpr const char* kYihaodianProvincePattern = "\"ipProvinceId\":(.*?),";
constexpr const char* kYixunLocationPath = "/w/loc/getloc?noSetCookie=0";
constexpr const char* kSuningStatusPath =
    "/SNProductStatusView?storeId=$param2&catalogId=$param3&partNumber=$param4&cityId=$param1"
    "&clientType=1&_=$nowtime";

}  // namespace

bool IsGomeShop(const std::string& domain) { return EqualsHost(domain, {kHostGome, kHostCoo8}); }

bool IsYihaodianShop(const std::string& domain) {
  return EqualsHost(domain, {kHostYihaodian1, kHostYihaodian2, kHostYihaodian3, kHostYihaodian4});
}

bool IsYixunShop(const std::string& domain) {
  return EqualsHost(domain, {kHostYixun1, kHostYixun2});
}

bool IsTmallShop(const std::string& domain) {
  return ContainsSuffix(domain, HostValue(kHostTmallSuffix));
}

bool IsSuningShop(const std::string& domain) {
  return ContainsSuffix(domain, HostValue(kHostSuningSuffix));
}

bool IsSuningShopForStock(const std::string& domain) {
  std::string suffix = HostValue(kHostSuningSuffix);
  if (!suffix.empty() && suffix[0] == '.') suffix.erase(0, 1);
  return ContainsSuffix(domain, suffix);
}

bool KeepsImageLinkAsIs(const std::string& domain) {
  return EqualsHost(domain, {kHostYixun1, kHostYixun2, kHostEfeihu});
}

std::string SuningStatusTemplate() { return EndpointLink(kHostSuningStatus, kSuningStatusPath); }

std::string GomeRegion(CSpider& spider, const std::string& referer, ExtractTrace* trace) {
  std::string endpoint = EndpointLink(kHostGomeRegion, kGomeRegionPath);
  if (endpoint.empty()) return {};
  std::string region = RegexGroup1(spider.GetCookie(endpoint, ""), kGomeRegionPattern);
  if (!region.empty()) return region;
  std::string link = endpoint + "&_" + NowStamp();
  Trace(trace, link);
  return RegexGroup1(spider.FetchCookies(link, "", referer), kGomeRegionPattern);
}

void SetYihaodianProvince(CSpider& spider, const std::string& link, ExtractTrace* trace) {
  std::string endpoint = EndpointLink(kHostYihaodianProvince, kYihaodianProvincePath);
  if (endpoint.empty()) return;
  Trace(trace, endpoint);
  std::string province =
      RegexGroup1(spider.GetPage(endpoint, "utf-8", "", ""), kYihaodianProvincePattern);
  spider.SetCookie(link, "provinceId", province);
}

void RequestYixunLocation(CSpider& spider, const std::string& encode, const std::string& referer,
                          ExtractTrace* trace) {
  std::string endpoint = EndpointLink(kHostYixunLocation, kYixunLocationPath);
  if (endpoint.empty()) return;
  Trace(trace, endpoint);
  spider.GetPage(endpoint, encode, "", referer);
}
