#include "engine/extract_request.h"

#include "engine/extract_shops.h"
#include "engine/site.h"
#include "engine/spider.h"

namespace {
constexpr const char* kStepHeaders = "\r\nX-Requested-With: XMLHttpRequest";
}  // namespace

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
  return text;
}

StepRequest BuildRequest(const std::string& tpl, const std::vector<Placeholder>& placeholders,
                         const std::string& stamp) {
  StepRequest request{tpl, {}};
  for (const Placeholder& p : placeholders)
    request.link = ReplaceAll(request.link, p.first, p.second);
  request.key = ReplaceAll(request.link, stamp, "");
  return request;
}

std::string StepBody(const ExtractContext& context, const CSite& site, const StepRequest& request,
                     CacheRule rule, unsigned extras) {
  if (rule == CacheRule::kReadFirst) {
    auto hit = context.cache.find(request.key);
    if (hit != context.cache.end()) {
      if (context.trace) context.trace->OnCacheHit(request.key);
      return hit->second;
    }
  }
  std::string link = request.link;
  const std::string domain = site.GetDomain();
  if ((extras & kGomeRegion) && IsGomeShop(domain))
    link = ReplaceAll(link, "$city", GomeRegion(context.spider, context.referer, context.trace));
  if ((extras & kYihaodianProvince) && IsYihaodianShop(domain))
    SetYihaodianProvince(context.spider, link, context.trace);
  if (context.trace) context.trace->OnRequest(link);
  std::string body = context.spider.GetPage(link, site.GetEncode(), kStepHeaders, context.referer);
  context.cache[request.key] = body;
  return body;
}
