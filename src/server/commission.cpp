#include "server/commission.h"

#include "engine/urlencode.h"
#include "server/form.h"

std::string CommissionReply(const std::map<std::string, std::string>& templates,
                            const std::string& key, const std::string& link) {
  auto found = templates.find(key);
  if (found == templates.end() || found->second.empty() || !IsProductLink(link)) return "false";
  const std::string& pattern = found->second;
  const std::string encoded = UrlEncode(link);
  const size_t slot = pattern.find("{url}");
  if (slot == std::string::npos) return pattern + encoded;
  return pattern.substr(0, slot) + encoded + pattern.substr(slot + 5);
}
