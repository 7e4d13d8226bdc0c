// vantrelctl link: what the program opens for a product link.
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "services/shoplinks.h"
#include "tools/command.h"

namespace {

int RunLink(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: vantrelctl link URL [GOTO]\n");
    return 2;
  }
  std::string link = Utf8ToLocal(args[0]);
  std::string gotoUrl = args.size() > 1 ? Utf8ToLocal(args[1]) : std::string();
  // As a price-comparison row: a lookup is made when needed, and nothing is
  // stored in tasks.xml.
  std::string rewritten = RewriteShopLink(link, gotoUrl, ShopLinkKind::kCompPrice);
  std::printf("cleaned: %s\n", LocalToUtf8(CleanShopLink(link)).c_str());
  std::printf("rewritten: %s\n", LocalToUtf8(rewritten).c_str());
  return rewritten.empty() ? 1 : 0;
}

}  // namespace

VANTREL_COMMAND(link, "link", "URL [GOTO]",
                "Prints the link as the program cleans it of tracking parameters and redirect\n"
                "wrappers, and the link it opens for the user (the shop's commission link):\n"
                "  cleaned: LINK\n"
                "  rewritten: LINK\n"
                "Shop domains, redirects and partner values come from section Hosts of\n"
                "config.ini. GOTO is a stored commission link; without it, Taobao/Tmall, JD and\n"
                "Yihaodian links ask the commission-link service (CommissionUrl). Nothing is\n"
                "stored. Exit status 1 when the rewritten link is empty.",
                RunLink);
