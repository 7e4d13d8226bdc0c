// Runs the extraction steps on a product page with a rule set, both from the
// input: shop rules (a sites file), a zero byte, then the page. Every request
// template is emptied first, so each step reads the page and nothing is sent.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/extract.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "search_limit.h"

namespace {

// The rules of the shop the page names (by Flag), else the first shop.
SiteRef ShopOf(const std::string& rules, const std::string& page) {
  int fd = memfd_create("page_fuzz", 0);
  if (fd < 0) return nullptr;
  CSiteList sites;
  if (write(fd, rules.data(), rules.size()) == static_cast<ssize_t>(rules.size()))
    sites.LoadSites("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  SiteRef site = sites.FindSiteInPage(page);
  return site ? site : sites.GetSiteAt(0);
}

// The shop without anything that leaves the process: request templates, the
// price-image reader's files and the host that picks shop-specific requests.
CSite Offline(const CSite& shop) {
  CSite site(shop);
  for (SiteField field : {SiteField::PriceUrl, SiteField::StockUrl, SiteField::PromPriceUrl,
                          SiteField::PriceImgTplPath, SiteField::Domain})
    site.SetField(field, "");
  for (int n = 1; n <= 7; ++n)
    site.SetField(static_cast<SiteField>(static_cast<int>(SiteField::Param1Url) + n - 1), "");
  return site;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  if (split == std::string::npos) return 0;
  std::string page = input.substr(split + 1);
  SiteRef shop = ShopOf(input.substr(0, split), page);
  if (!shop) return 0;
  CSite site = Offline(*shop);
  size_t longest = 128;
  for (size_t f = 0; f < kSiteFieldCount; ++f)
    longest = std::min(longest, SearchableLength(site.Field(static_cast<SiteField>(f)), 12, 128));
  if (page.size() > longest) page.resize(longest);

  CSpider spider;
  ExtractProduct(spider, page, site, "http://127.0.0.1:9/item.html");
  ExtractItemInfo(page, site);
  return 0;
}
