#include "services/share.h"

#include "base/codepage.h"
#include "base/hosts.h"
#include "base/openlink.h"
#include "base/stringtable.h"
#include "engine/task.h"
#include "engine/urlencode.h"

namespace {

struct ShareSiteInfo {
  HostId endpoint;
  unsigned productCommand;
  unsigned programCommand;
};

// In the order of ShareSite.
constexpr ShareSiteInfo kSites[kShareSiteCount] = {
    {kHostShareQzone, IDS_SHARE_TO_QQZONE, IDS_SITE_QQZONE},
    {kHostShareSina, IDS_SHARE_TO_SINA, IDS_SITE_SINA},
    {kHostShareQQWeibo, IDS_SHARE_TO_QQWEIBO, IDS_SITE_QQWEIBO},
    {kHostShareRenren, IDS_SHARE_TO_RENREN, IDS_SITE_RENREN},
    {kHostShareKaixin, IDS_SHARE_TO_KAIXIN, IDS_SITE_KAIXIN},
    {kHostShareDouban, IDS_SHARE_TO_DOUBAN, IDS_SITE_DOUBAN},
    {kHostShareSohu, IDS_SHARE_TO_SOHU, IDS_SITE_SOHU},
    {kHostShareBaidu, IDS_SHARE_TO_BAIDU, IDS_SITE_BAIDU},
    {kHostShareNetease, IDS_SHARE_TO_163, IDS_SITE_163},
};

bool ValidSite(int site) { return site >= 0 && site < kShareSiteCount; }

std::string Esc(const std::string& local) { return UrlEncode(local); }
std::string EscUtf8(const std::string& local) { return UrlEncode(LocalToUtf8(local)); }

// Product links through the affiliate network are not accepted by Sina
// Weibo as they are, so they go through the forwarding service.
std::string ForwardedForSina(const std::string& link) {
  std::string domain = HostValue(kHostAffiliateNetworkDomain);
  if (domain.empty() || link.find(domain) == std::string::npos) return link;
  return HostValue(kHostShareLinkForward) + link;
}

std::string SiteQuery(int site, const ShareValues& v, bool program) {
  switch (site) {
    case kShareQzone:
      return Esc(v.link) + "&title=" + EscUtf8(v.name) +
             "&summary=" + "&desc=" + EscUtf8(v.sentence) + "&site=" + EscUtf8(v.siteName) +
             "&pics=" + Esc(v.picture);
    case kShareSina: {
      std::string key = HostValue(kHostShareSinaAppKey);
      if (program) {
        return Esc(v.link) + "&title=" + EscUtf8(v.sentence) + "&pic=" + Esc(v.picture) +
               "&appkey=" + key;
      }
      return Esc(v.link) + "&appkey=" + key + "&title=" + EscUtf8(v.sentence) +
             "&pic=" + Esc(v.picture);
    }
    case kShareQQWeibo:
      return Esc(v.link) + "&title=" + EscUtf8(v.sentence) + "&pic=" + Esc(v.picture) +
             "&appkey=" + HostValue(kHostShareQQWeiboAppKey);
    case kShareRenren:
      return Esc(v.link) + "&title=" + EscUtf8(v.name) + "&message=" + EscUtf8(v.sentence) +
             "&pic=" + Esc(v.picture) + "&charset=UTF-8";
    case kShareKaixin:
      return Esc(v.link) + "&content=" + EscUtf8(v.sentence) + "&pic=" + Esc(v.picture) +
             "&aid=0&style=11&stime=&sig=";
    case kShareDouban:
      return Esc(v.link) + "&name=" + Esc(v.name) + "&text=" + EscUtf8(v.sentence) +
             "&image=" + Esc(v.picture);
    case kShareSohu:
      return Esc(v.link) + "&title=" + Esc(v.sentence) + "&pic=" + Esc(v.picture);
    case kShareBaidu:
      return Esc(v.link) + "&title=" + EscUtf8(v.sentence);
    case kShareNetease:
      // The picture is escaped like every other value: left raw, a picture
      // link with "&" or "#" would cut the query or add keys of its own.
      return Esc(HostValue(kHostHomePage)) + "&info=" + EscUtf8(v.sentence) + Esc(v.link) +
             "&source=" + EscUtf8(v.siteName) + "&images=" + Esc(v.picture) + "&togImg=true";
    default:
      return std::string();
  }
}

}  // namespace

unsigned ShareProductCommand(int site) { return ValidSite(site) ? kSites[site].productCommand : 0; }

unsigned ShareProgramCommand(int site) { return ValidSite(site) ? kSites[site].programCommand : 0; }

std::string ShareSentence(int site, const std::string& sentenceWithAppName) {
  std::string name = LoadString(IDS_APP_TITLE);
  std::string account = HostValue(kHostShareRenrenAccount);
  if (site == kShareRenren && !account.empty()) name += "(" + account + ")";
  static const std::string kMark = "$APPNAME";
  std::string sentence = sentenceWithAppName;
  for (size_t at = sentence.find(kMark); at != std::string::npos;
       at = sentence.find(kMark, at + name.size())) {
    sentence.replace(at, kMark.size(), name);
  }
  return sentence;
}

ShareValues ProductShareValues(int site, const CTask& task, const std::string& link) {
  ShareValues values;
  values.link = link;
  values.name = task.GetProductName();
  values.picture = task.GetImageLink();
  values.sentence = ShareSentence(
      site, LoadString(IDS_SHARE_PRODUCT_HEAD) + values.name + LoadString(IDS_SHARE_PRODUCT_TAIL));
  values.siteName = LoadString(IDS_APP_TITLE);
  return values;
}

ShareValues ProgramShareValues(int site) {
  ShareValues values;
  values.link = HostValue(kHostHomePage);
  values.name = LoadString(IDS_APP_TITLE);
  values.picture = HostValue(kHostLogo);
  values.sentence = ShareSentence(site, LoadString(IDS_SHARE_PROGRAM));
  values.siteName = values.name;
  return values;
}

std::string ShareUrl(int site, const ShareValues& values, bool program) {
  if (!ValidSite(site)) return std::string();
  std::string endpoint = HostValue(kSites[site].endpoint);
  if (endpoint.empty()) return std::string();
  return endpoint + SiteQuery(site, values, program);
}

std::string ShareProductUrl(int site, const CTask& task, const ShopLinkTaskStore& store) {
  if (!ValidSite(site) || task.GetStatus() == FETCHING_MARK) return std::string();
  if (HostValue(kSites[site].endpoint).empty()) return std::string();
  std::string link = RewriteShopLink(task.GetUrl(), task.GetGotoUrl(), ShopLinkKind::kTask, store);
  if (site == kShareSina) link = ForwardedForSina(link);
  return ShareUrl(site, ProductShareValues(site, task, link), false);
}

std::string ShareProgramUrl(int site) { return ShareUrl(site, ProgramShareValues(site), true); }

namespace {

std::string Opened(std::string url) {
  if (!url.empty()) OpenLink(url);
  return url;
}

}  // namespace

std::string ShareProduct(int site, const CTask& task, const ShopLinkTaskStore& store) {
  return Opened(ShareProductUrl(site, task, store));
}

std::string ShareProgram(int site) { return Opened(ShareProgramUrl(site)); }
