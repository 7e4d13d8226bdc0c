#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/extract.h"

// A placeholder of a request template and the text it is replaced by.
using Placeholder = std::pair<std::string, std::string>;

// Replaces every occurrence of `what`, scanning on after each replacement so
// that a value is never searched again.
std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);

// A filled request template and its BodyCache key: the link without the time
// stamp, so that requests differing only in their stamp share one reply.
struct StepRequest {
  std::string link;
  std::string key;
};

// Replaces the placeholders in the order given; `stamp` is the "$nowtime"
// value among them, taken out of the key again.
StepRequest BuildRequest(const std::string& tpl, const std::vector<Placeholder>& placeholders,
                         const std::string& stamp);

enum class CacheRule {
  kAlwaysSend,  // the first parameter step: always asks the shop
  kReadFirst,   // every other step: a reply already in the BodyCache is used
};

// What a step does before it sends its request.
enum RequestExtras : unsigned {
  kNoExtras = 0,
  kGomeRegion = 1,         // "$city" = the Gome region (Gome shop only)
  kYihaodianProvince = 2,  // the province cookie for the link (Yihaodian only)
};

// The reply body of a step's request: from the BodyCache when the rule allows
// and the key is there, else fetched with the site's character set, the
// XMLHttpRequest header and the referer, and stored under the key (empty
// replies too, so that a failed request is not repeated within the pass).
std::string StepBody(const ExtractContext& context, const CSite& site, const StepRequest& request,
                     CacheRule rule, unsigned extras);
