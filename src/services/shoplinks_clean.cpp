// Cleaning a product link of whatever the page it was copied from added.
#include <string>

#include "base/hosts.h"
#include "engine/productlink.h"
#include "engine/spider.h"
#include "services/shoplinks.h"
#include "services/shoplinks_shops.h"
#include "text/regex.h"

namespace {

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// Removes group 1 of the pattern's first match: every occurrence of that text
// goes. A pattern that does not match removes nothing.
void Remove(std::string& link, const std::string& pattern) {
  ReplaceAll(link, RegexGroup1(link, pattern), "");
}

// A parameter and its value up to the next "&" (which goes too). The name
// must stand after "?" or "&", so that "source=" does not eat the tail of
// "utm_source=" and "id=" is not found inside "pvid=".
void RemoveParameter(std::string& link, const std::string& name) {
  Remove(link, "[?&](" + PatternLiteral(name) + "=.*?(?:&|$))");
}

// A redirect wrapper: from "http://" and the redirect's host up to and
// including its target parameter; what follows is the wrapped link, used as
// it stands. A redirect whose host is not configured is left alone.
void RemoveRedirect(std::string& link, HostId host, const std::string& target) {
  std::string value = HostValue(host);
  if (value.empty()) return;
  Remove(link, "(https?://[^/]*?" + PatternLiteral(value) + ".*?" + target + ")");
}

// Everything behind the first ".html" (".htm", ".shtml" with those suffixes).
void CutAfter(std::string& link, const std::string& suffix) {
  Remove(link, "\\." + suffix + "(.*?$)");
}

void CutAfterHtml(std::string& link) { CutAfter(link, "html"); }

void CleanTaobao(std::string& link) {
  RemoveRedirect(link, kHostTaobaoClickHost, "&l=");
  RemoveParameter(link, "ali_refid");
  // The tracking id is often repeated; five passes take every copy links
  // are known to carry.
  for (int i = 0; i < 5; ++i) RemoveParameter(link, "ali_trackid");
  RemoveParameter(link, "pid");
  RemoveParameter(link, "eventid");
  RemoveParameter(link, "unid");
  // Only the product id stays in the query.
  std::string tail = RegexGroup1(link, "[?&]id=.*?(&.*?$)");
  if (tail != "&") ReplaceAll(link, tail, "");
}

struct CleanRow {
  ShopSuffixes suffixes;
  void (*clean)(std::string& link);
};

const CleanRow kCleanRows[] = {
    {{kHostTao3cSuffix}, [](std::string& link) { link = RegexGroup1(link, "(^.*?\\.html)"); }},
    {{kHostTmallSuffix, kHostTaobaoSuffix}, CleanTaobao},
    {{kHostAmazonSuffix},
     [](std::string& link) {
       RemoveParameter(link, "tag");
       RemoveParameter(link, "ascsubtag");
     }},
    {{kHostJdOldSuffix},
     [](std::string& link) {
       RemoveRedirect(link, kHostJdOldUnionHost, "[?&]to=");
       CutAfterHtml(link);
     }},
    {{kHostJdSuffix},
     [](std::string& link) {
       RemoveRedirect(link, kHostJdUnionHost, "[?&]to=");
       CutAfterHtml(link);
     }},
    {{kHostDangdangSuffix},
     [](std::string& link) {
       RemoveRedirect(link, kHostDangdangUnionHost, "[?&]backurl=");
       Remove(link, "product_id=.*?&(.*?$)");
     }},
    {{kHostNeweggSuffix}, [](std::string& link) { RemoveParameter(link, "cm_mmc"); }},
    {{kHostLetaoSuffix}, CutAfterHtml},
    {{kHostHtjzSuffix}, [](std::string& link) { RemoveParameter(link, "Source"); }},
    {{kHostShop111Suffix},
     [](std::string& link) {
       std::string name = HostValue(kHostShop111TrackingParam);
       if (!name.empty()) RemoveParameter(link, name);
     }},
    {{kHostHappigoSuffix}, [](std::string& link) { RemoveParameter(link, "ref"); }},
    {{kHostSuningSuffix},
     [](std::string& link) { RemoveRedirect(link, kHostSuningUnionHost, "[?&]vistURL="); }},
    {{kHostGomeSuffix},
     [](std::string& link) { RemoveRedirect(link, kHostGomeAffiliateHost, "&to="); }},
    {{kHostYihaodianSuffix1, kHostYihaodianSuffix2, kHostYihaodianSuffix3},
     [](std::string& link) { Remove(link, "(\\?.*?$)"); }},
    {{kHostDomainShopSuffix}, CutAfterHtml},
    {{kHostK121Suffix}, CutAfterHtml},
    {{kHostRedbabySuffix}, CutAfterHtml},
    {{kHostWomaiSuffix}, [](std::string& link) { CutAfter(link, "htm"); }},
    {{kHostYougouSuffix}, [](std::string& link) { CutAfter(link, "shtml"); }},
    {{kHostVanclSuffix}, CutAfterHtml},
    {{kHostBanggoSuffix}, [](std::string& link) { CutAfter(link, "shtml"); }},
    {{kHostCoo8Suffix}, CutAfterHtml},
    {{kHostLefengSuffix},
     [](std::string& link) { RemoveRedirect(link, kHostLefengTrackingHost, "&url="); }},
    {{kHostMasamasoSuffix}, CutAfterHtml},
    {{kHostIkappaSuffix}, CutAfterHtml},
    {{kHostUiyiSuffix}, [](std::string& link) { RemoveParameter(link, "source"); }},
    {{kHostYintaiSuffix}, CutAfterHtml},
};

}  // namespace

std::string CleanShopLink(const std::string& link) {
  std::string cleaned = LinkWithoutFragment(link);
  if (LinkHasSuffix(cleaned, {kHostAffiliateNetworkDomain})) {
    RemoveRedirect(cleaned, kHostAffiliateNetworkDomain, "[?&]t=");
  }
  if (const CleanRow* row = FindShopRow(cleaned, kCleanRows)) row->clean(cleaned);
  return cleaned;
}
