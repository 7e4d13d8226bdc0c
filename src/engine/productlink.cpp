#include "engine/productlink.h"

#include <strings.h>

#include <string_view>

namespace {

// Parameters analytics and shops add to a link to tell where a visitor came
// from; none of them chooses a product.
constexpr const char* kTrackingNames[] = {
    "spm",   "scm",    "from",    "ref",     "ref_",     "ref_src",    "referrer", "fbclid",
    "gclid", "gclsrc", "dclid",   "msclkid", "yclid",    "igshid",     "mc_cid",   "mc_eid",
    "_ga",   "_gl",    "srsltid", "pvid",    "tracelog", "share_from", "sharefrom"};
constexpr const char* kTrackingPrefixes[] = {"utm_", "pk_", "mtm_"};

bool IsTracking(std::string_view name) {
  for (const char* tracking : kTrackingNames)
    if (name.size() == std::string_view(tracking).size() &&
        strncasecmp(name.data(), tracking, name.size()) == 0)
      return true;
  for (const char* prefix : kTrackingPrefixes) {
    const std::string_view p(prefix);
    if (name.size() > p.size() && strncasecmp(name.data(), prefix, p.size()) == 0) return true;
  }
  return false;
}

}  // namespace

std::string LinkWithoutFragment(const std::string& link) {
  std::string cleaned;
  cleaned.reserve(link.size());
  for (size_t at = 0; at < link.size() && link[at] != '#';) {
    if (link.compare(at, 5, "&amp;") == 0) {
      cleaned += '&';
      at += 5;
    } else {
      cleaned += link[at++];
    }
  }
  return cleaned;
}

std::string LinkWithoutTracking(const std::string& link) {
  const std::string cleaned = LinkWithoutFragment(link);
  const size_t question = cleaned.find('?');
  if (question == std::string::npos) return cleaned;
  std::string kept;
  std::string_view query(cleaned);
  query.remove_prefix(question + 1);
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view parameter = query.substr(0, amp);
    query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
    if (parameter.empty() || IsTracking(parameter.substr(0, parameter.find('=')))) continue;
    kept += kept.empty() ? "" : "&";
    kept += parameter;
  }
  return cleaned.substr(0, question) + (kept.empty() ? "" : "?" + kept);
}
