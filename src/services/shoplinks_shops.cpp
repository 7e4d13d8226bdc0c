#include "services/shoplinks_shops.h"

#include "engine/nocase.h"

namespace {

bool HasSuffix(const std::string& foldedLink, HostId id) {
  if (id == kNoHost) return false;
  std::string suffix = HostValue(id);
  return !suffix.empty() && foldedLink.find(FoldCase(suffix)) != std::string::npos;
}

}  // namespace

bool LinkHasSuffix(const std::string& link, const ShopSuffixes& suffixes) {
  std::string folded = FoldCase(link);
  return HasSuffix(folded, suffixes.first) || HasSuffix(folded, suffixes.second) ||
         HasSuffix(folded, suffixes.third);
}
