// Turning a clean product link into the program's commission link.
#include <string>

#include "base/hosts.h"
#include "engine/commissionlink.h"
#include "engine/nocase.h"
#include "engine/spider.h"
#include "engine/urlencode.h"
#include "services/programserver.h"
#include "services/shoplinks.h"
#include "services/shoplinks_shops.h"

namespace {

enum class RewriteRule {
  kAppend,         // link + "?"/"&" + name=value
  kPrefix,         // redirect + link, unescaped
  kEscapedPrefix,  // shared redirect + UrlEncode(link + "?" + shared query)
  kLookup,         // the commission-link service, once per task
  kUnchanged,
};

struct RewriteRow {
  ShopSuffixes suffixes;
  RewriteRule rule;
  // kPrefix: the redirect; kAppend: the parameter's value.
  HostId value = kNoHost;
  // kAppend: the parameter's name; kLookup: the shop key.
  const char* name = "";
  // kAppend: the name used right after "?", when it differs.
  const char* nameAfterQuestion = nullptr;
  // kAppend: the name is kept in config.ini instead.
  HostId nameKey = kNoHost;
};

constexpr RewriteRow Lookup(ShopSuffixes suffixes, const char* shopKey) {
  return {suffixes, RewriteRule::kLookup, kNoHost, shopKey};
}
constexpr RewriteRow Append(ShopSuffixes suffixes, const char* name, HostId value) {
  return {suffixes, RewriteRule::kAppend, value, name};
}
constexpr RewriteRow Prefix(ShopSuffixes suffixes, HostId redirect) {
  return {suffixes, RewriteRule::kPrefix, redirect};
}
constexpr RewriteRow EscapedPrefix(HostId suffix) {
  return {{suffix}, RewriteRule::kEscapedPrefix, kHostEscapedRedirect};
}

const RewriteRow kRewriteRows[] = {
    Lookup({kHostTmallSuffix, kHostTaobaoSuffix}, "taobao"),
    Append({kHostAmazonSuffix}, "tag", kHostAmazonTag),
    Lookup({kHostJdOldSuffix, kHostJdSuffix}, "jd"),
    Prefix({kHostDangdangSuffix}, kHostDangdangRedirect),
    Append({kHostNeweggSuffix}, "cm_mmc", kHostNeweggCmMmc),
    Prefix({kHostRedbabySuffix}, kHostRedbabyRedirect),
    Prefix({kHostCoo8Suffix}, kHostCoo8Redirect),
    Prefix({kHostGomeSuffix}, kHostGomeRedirect),
    Prefix({kHostSuningSuffix}, kHostSuningRedirect),
    Prefix({kHostYixunSuffix1, kHostYixunSuffix2}, kHostYixunRedirect),
    Lookup({kHostYihaodianSuffix1, kHostYihaodianSuffix2, kHostYihaodianSuffix3}, "yhd"),
    Prefix({kHostYougouSuffix}, kHostYougouRedirect),
    Prefix({kHostVipshopSuffix}, kHostVipshopRedirect),
    Prefix({kHostHomevvSuffix}, kHostHomevvRedirect),
    Prefix({kHostM18Suffix}, kHostM18Redirect),
    Prefix({kHostJumeiSuffix}, kHostJumeiRedirect),
    Prefix({kHostPaixieSuffix}, kHostPaixieRedirect),
    Prefix({kHostShopinSuffix}, kHostShopinRedirect),
    Prefix({kHostWomaiSuffix}, kHostWomaiRedirect),
    Prefix({kHostVjiaSuffix}, kHostVjiaRedirect),
    Prefix({kHostTonlionSuffix}, kHostTonlionRedirect),
    EscapedPrefix(kHostMoonbasaSuffix),
    EscapedPrefix(kHostIng2ingSuffix),
    EscapedPrefix(kHostMonteamorSuffix),
    EscapedPrefix(kHostRutisherSuffix),
    EscapedPrefix(kHostSuorangSuffix),
    EscapedPrefix(kHostBaoyeahSuffix),
    EscapedPrefix(kHostQjherbSuffix),
    Prefix({kHostHanduSuffix, kHostHstyleSuffix}, kHostHanduRedirect),
    Prefix({kHostMasamasoSuffix}, kHostMasamasoRedirect),
    Prefix({kHostSporticaSuffix}, kHostSporticaRedirect),
    Prefix({kHostPb89Suffix}, kHostPb89Redirect),
    Prefix({kHostLamiuSuffix}, kHostLamiuRedirect),
    Prefix({kHostAimerSuffix}, kHostAimerRedirect),
    Prefix({kHostZm7Suffix}, kHostZm7Redirect),
    Prefix({kHostAnportSuffix1, kHostAnportSuffix2}, kHostAnportRedirect),
    Prefix({kHostHqbuySuffix}, kHostHqbuyRedirect),
    Prefix({kHostBuy168Suffix}, kHostBuy168Redirect),
    Prefix({kHostXiuSuffix}, kHostXiuRedirect),
    Prefix({kHostMbaobaoSuffix}, kHostMbaobaoRedirect),
    Append({kHostLetaoSuffix}, "Source", kHostLetaoSource),
    Prefix({kHostDomainShopSuffix}, kHostDomainShopRedirect),
    Prefix({kHostYintaiSuffix}, kHostYintaiRedirect),
    Prefix({kHostIhushSuffix}, kHostIhushRedirect),
    Prefix({kHostD1Suffix}, kHostD1Redirect),
    Prefix({kHostCamelSuffix}, kHostCamelRedirect),
    Prefix({kHostUiyiSuffix}, kHostUiyiRedirect),
    Append({kHostK121Suffix}, "from", kHostK121From),
    {{kHostHtjzSuffix}, RewriteRule::kAppend, kHostHtjzSource, "Source", "source"},
    Prefix({kHostGaojieSuffix}, kHostGaojieRedirect),
    Prefix({kHostMiqiSuffix}, kHostMiqiRedirect),
    Prefix({kHostNalaSuffix}, kHostNalaRedirect),
    Prefix({kHostHmeiliSuffix}, kHostHmeiliRedirect),
    {{kHostTiantianSuffix}, RewriteRule::kUnchanged},
    Prefix({kHostNo5Suffix}, kHostNo5Redirect),
    Prefix({kHostW1Suffix}, kHostW1Redirect),
    Prefix({kHostPp365Suffix}, kHostPp365Redirect),
    Prefix({kHostXiaoyeSuffix}, kHostXiaoyeRedirect),
    Prefix({kHostXzhuangSuffix}, kHostXzhuangRedirect),
    Prefix({kHostEjiaSuffix}, kHostEjiaRedirect),
    Prefix({kHostShop818Suffix}, kHostShop818Redirect),
    Prefix({kHostPharm800Suffix}, kHostPharm800Redirect),
    Prefix({kHostWinxuanSuffix}, kHostWinxuanRedirect),
    Prefix({kHostWlSuffix}, kHostWlRedirect),
    {{kHostShop111Suffix},
     RewriteRule::kAppend,
     kHostShop111TrackingValue,
     "",
     nullptr,
     kHostShop111TrackingParam},
    Prefix({kHostLvheziSuffix}, kHostLvheziRedirect),
    Prefix({kHostQuwanSuffix}, kHostQuwanRedirect),
    Prefix({kHostLeyouSuffix}, kHostLeyouRedirect),
    Prefix({kHostJiuxianSuffix}, kHostJiuxianRedirect),
    Prefix({kHostKxr360Suffix}, kHostKxr360Redirect),
    Prefix({kHostMuyingzhijiaSuffix}, kHostMuyingzhijiaRedirect),
    Prefix({kHostYoupin51Suffix}, kHostYoupin51Redirect),
    Prefix({kHostBeyondSuffix}, kHostBeyondRedirect),
    Prefix({kHostGapSuffix1, kHostGapSuffix2}, kHostGapRedirect),
    Prefix({kHostTommySuffix}, kHostTommyRedirect),
    Prefix({kHostSfbestSuffix}, kHostSfbestRedirect),
    Prefix({kHostMmlooSuffix}, kHostMmlooRedirect),
    Prefix({kHostEasy361Suffix}, kHostEasy361Redirect),
    Prefix({kHostYidiandaSuffix}, kHostYidiandaRedirect),
    Prefix({kHostM6goSuffix}, kHostM6goRedirect),
    Prefix({kHostLefengSuffix}, kHostLefengRedirect),
    Prefix({kHostStrawberrynetSuffix}, kHostStrawberrynetRedirect),
    Prefix({kHostWumeiwangSuffix}, kHostWumeiwangRedirect),
    Prefix({kHostIbuyingSuffix}, kHostIbuyingRedirect),
    Prefix({kHostYingtaoSuffix}, kHostYingtaoRedirect),
    Prefix({kHostBanggoSuffix}, kHostBanggoRedirect),
    Prefix({kHostBeifabookSuffix}, kHostBeifabookRedirect),
    Prefix({kHostBookuuSuffix}, kHostBookuuRedirect),
    Prefix({kHostRead99Suffix}, kHostRead99Redirect),
    Prefix({kHostHappigoSuffix}, kHostHappigoRedirect),
    Prefix({kHostSigoSuffix1, kHostSigoSuffix2}, kHostSigoRedirect),
    Prefix({kHostKeedeSuffix}, kHostKeedeRedirect),
    Prefix({kHostXijieSuffix}, kHostXijieRedirect),
    Prefix({kHostLenovoSuffix}, kHostLenovoRedirect),
    Prefix({kHostDhcSuffix}, kHostDhcRedirect),
    Prefix({kHostIkappaSuffix}, kHostIkappaRedirect),
    Prefix({kHostVmallSuffix}, kHostVmallRedirect),
    Prefix({kHostCoolpadSuffix}, kHostCoolpadRedirect),
    Prefix({kHostEhaierSuffix}, kHostEhaierRedirect),
};

// An unconfigured partner value leaves the link as it is: a bare "tag=" would
// only tell the shop that the link was tampered with.
std::string AppendParameter(const std::string& link, const RewriteRow& row) {
  std::string name = row.nameKey != kNoHost ? HostValue(row.nameKey) : row.name;
  std::string value = HostValue(row.value);
  if (name.empty() || value.empty()) return link;
  if (link.find('?') != std::string::npos) return link + "&" + name + "=" + value;
  return link + "?" + (row.nameAfterQuestion ? row.nameAfterQuestion : name) + "=" + value;
}

// Without a configured redirect the user goes straight to the shop.
std::string PrefixRedirect(const std::string& link, HostId redirect) {
  std::string value = HostValue(redirect);
  return value.empty() ? link : value + link;
}

std::string EscapedRedirect(const std::string& link) {
  std::string redirect = HostValue(kHostEscapedRedirect);
  if (redirect.empty()) return link;
  std::string query = "type=" + HostValue(kHostEscapedType) + "&cn=" + HostValue(kHostEscapedCn) +
                      "&other=" + HostValue(kHostEscapedOther) +
                      "&adsiteid=" + HostValue(kHostEscapedAdsiteid);
  return redirect + UrlEncode(link + "?" + query);
}

// A tracked product asks the service once. Only a link is kept in the task:
// any other answer ("false", "nologin", "商品不在推广中", an error page) keeps
// the plain product link instead, so the service is not asked again and
// tasks.xml never holds a shop link that is no link. "false" (and for Taobao
// "nologin") is not worth a save, so a later start asks again. A failed
// request keeps nothing: the next open asks again.
std::string LookupForTask(const std::string& link, const std::string& cleaned,
                          const std::string& shopKey, const ShopLinkTaskStore& store, bool& found) {
  TaskPtr task = store.tasks ? store.tasks->FindByUrl(link) : nullptr;
  found = task != nullptr;
  if (!task) return std::string();
  const std::string answer = LookupCommissionLink(cleaned, shopKey);
  if (answer.empty()) return answer;
  const std::string kept = IsCommissionLink(answer) ? answer : cleaned;
  task->SetGotoUrl(kept);
  bool worthSaving = answer != "false" && !(shopKey == "taobao" && answer == "nologin");
  // A failed save only means the service is asked again after a restart.
  if (worthSaving && !store.tasksPath.empty()) store.tasks->SaveTasks(store.tasksPath);
  if (store.taskChanged) store.taskChanged(task);
  return kept;
}

std::string CommissionLink(const std::string& link, const std::string& cleaned,
                           const std::string& gotoUrl, ShopLinkKind kind,
                           const std::string& shopKey, const ShopLinkTaskStore& store) {
  std::string answer = gotoUrl;
  if (answer.empty()) {
    if (kind == ShopLinkKind::kTask) {
      bool found = false;
      answer = LookupForTask(link, cleaned, shopKey, store, found);
      if (!found) return cleaned;
    } else {
      answer = LookupCommissionLink(cleaned, shopKey);
    }
  }
  if (shopKey == "taobao" && (answer == "nologin" || answer.size() < cleaned.size())) {
    return cleaned;
  }
  return IsCommissionLink(answer) ? answer : cleaned;
}

}  // namespace

std::string RewriteShopLink(const std::string& link, const std::string& gotoUrl, ShopLinkKind kind,
                            const ShopLinkTaskStore& store) {
  std::string cleaned = CleanShopLink(link);
  const RewriteRow* row = FindShopRow(cleaned, kRewriteRows);
  if (!row) return cleaned;
  switch (row->rule) {
    case RewriteRule::kAppend:
      return AppendParameter(cleaned, *row);
    case RewriteRule::kPrefix:
      return PrefixRedirect(cleaned, row->value);
    case RewriteRule::kEscapedPrefix:
      return EscapedRedirect(cleaned);
    case RewriteRule::kLookup:
      return CommissionLink(link, cleaned, gotoUrl, kind, row->name, store);
    case RewriteRule::kUnchanged:
      break;
  }
  return cleaned;
}

std::string LookupCommissionLink(const std::string& link, const std::string& shopKey) {
  CDeadlineScope deadline{std::chrono::milliseconds(kCommissionWaitMilliseconds)};
  return AskProgramServer(kHostCommission, "?s=" + shopKey + "&u=" + UrlEncode(link));
}
