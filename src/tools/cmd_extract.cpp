// vantrelctl extract: what the add pipeline does with a product link before
// it accepts a task, for people writing shop rules.
#include <strings.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/addtask.h"
#include "engine/extract.h"
#include "engine/generic.h"
#include "engine/pagecharset.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

struct ExtractOptions {
  std::string sitesFile;
  std::string siteName;
  std::string pageFile;
  std::string url;
  bool trace = false;
  bool render = false;
  bool candidates = false;
};

// Prints requests and BodyCache hits as they happen.
class PrintingTrace : public ExtractTrace {
 public:
  void OnRequest(const std::string& link) override {
    std::printf("request: %s\n", LocalToUtf8(link).c_str());
  }
  void OnRuleGaveUp(const char* step, const char* why) override {
    std::printf("rule %s: %s\n", step, why);
  }
  void OnCacheHit(const std::string& key) override {
    std::printf("cache hit: %s\n", LocalToUtf8(key).c_str());
  }
  void OnRender(const std::string& link) override {
    std::printf("render: %s\n", LocalToUtf8(link).c_str());
    std::fflush(stdout);
  }
  void OnRendered(double seconds) override { std::printf("render time: %.2f s\n", seconds); }
  void OnCharset(const std::string& charset, const std::string& source) override {
    std::printf("charset: %s (%s)\n", charset.c_str(), source.c_str());
  }
};

int Usage(const char* problem) {
  std::fprintf(stderr, "vantrelctl extract: %s (see vantrelctl extract --help)\n", problem);
  return 2;
}

bool ParseOptions(const std::vector<std::string>& args, ExtractOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--sites") {
      if (!TakeValue(args, i, options.sitesFile)) return false;
    } else if (arg == "--site") {
      if (!TakeValue(args, i, options.siteName)) return false;
    } else if (arg == "--page") {
      if (!TakeValue(args, i, options.pageFile)) return false;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--render") {
      options.render = true;
    } else if (arg == "--candidates") {
      options.candidates = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "vantrelctl extract: unknown option %s\n", arg.c_str());
      return false;
    } else if (options.url.empty()) {
      options.url = arg;
    } else {
      std::fprintf(stderr, "vantrelctl extract: more than one link\n");
      return false;
    }
  }
  return true;
}

// Says why there is no page: the fetch failed, or the browser could not draw it.
void ReportNoPage(const CSpider& spider) {
  const FetchFailure failure = spider.LastFailure();
  if (failure.kind == FetchFailure::kRender || failure.kind == FetchFailure::kCancelled)
    std::fprintf(stderr, "vantrelctl extract: %s\n",
                 LocalToUtf8(LoadString(IDS_FAIL_RENDER) + ": " + failure.why).c_str());
  else
    std::fprintf(stderr, "vantrelctl extract: the page is empty (fetch failed)\n");
}

// With --render, the shop's pages are drawn by the browser as if its record
// said so.
SiteRef RenderedShop(const SiteRef& site) {
  auto rendered = std::make_shared<CSite>(*site);
  rendered->SetRender(true);
  return rendered;
}

// The product page as the add pipeline sees it; `site` may be found on the
// way. Empty (with a message) when there is none.
std::string LoadPage(const ExtractOptions& options, const std::string& url, const CSiteList& sites,
                     SiteRef& site, CSpider& spider, ExtractTrace* trace) {
  std::string page;
  if (!options.pageFile.empty()) {
    if (!ReadWholeFile(options.pageFile, page)) {
      std::fprintf(stderr, "vantrelctl extract: cannot read %s\n", options.pageFile.c_str());
      return {};
    }
    if (page.empty()) std::fprintf(stderr, "vantrelctl extract: the page is empty\n");
    return page;
  }
  if (!site) {
    // No shop for the link: a first look finds the shop by its Flag, then
    // the page is fetched the way that shop's pages are. A page no shop
    // recognises is read as the general shop's, drawn by the browser when
    // its bytes give no product.
    std::string refused;
    if (options.render)
      page = RenderProductPage(spider, url, trace);
    else
      FetchGenericPage(spider, url, page, trace, &refused);
    site = sites.FindSiteInPage(page);
    if (!site) {
      GenericProduct product;
      if (!page.empty() && !options.render &&
          !ReadProductOrRender(spider, url, page, product, trace))
        page.clear();
      if (!refused.empty())
        std::fprintf(stderr, "vantrelctl extract: %s\n", LocalToUtf8(refused).c_str());
      else if (page.empty())
        ReportNoPage(spider);
      return page;
    }
    if (options.render) site = RenderedShop(site);
  }
  page = FetchProductPage(spider, *site, url, trace);
  if (page.empty()) ReportNoPage(spider);
  return page;
}

void PrintValue(const char* key, const std::string& localText) {
  std::printf("%s: %s\n", key, LocalToUtf8(localText).c_str());
}

void PrintSourced(const char* key, const std::string& localText, const StructuredValue& from) {
  PrintValue(key, localText);
  if (!from.source.empty()) std::printf("%s.source: %s\n", key, from.source.c_str());
}

// Every price the reader weighed, best first, with its score and source.
// The text comes from the page: no control character of it reaches the
// terminal or splits the line.
void PrintCandidates(const PageReading& reading) {
  for (const PriceCandidate& candidate : reading.candidates) {
    std::string text = candidate.written;
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    std::printf("candidate: %s\t%.1f\t%s\t%s\n", FormatPrice(candidate.value).c_str(),
                candidate.score, candidate.source.c_str(), text.c_str());
  }
}

// A page of the general shop: each value with the source it came from, and
// the price as the page wrote it.
int PrintGeneric(const GenericProduct& product, bool candidates) {
  PrintValue("site", GenericSiteName());
  PrintSourced("name", product.info.name, product.data.name);
  PrintSourced("id", product.info.id, product.data.id);
  PrintSourced("image", product.info.image, product.data.image);
  PrintSourced("price", product.price.empty() ? FormatPrice(0) : product.price, product.data.price);
  if (!product.data.price.Empty()) PrintValue("price.written", product.data.price.value);
  PrintSourced("currency", product.currency, product.data.currency);
  std::printf("stock: %d\n", product.stock);
  if (!product.data.availability.Empty()) {
    std::printf("stock.source: %s\n", product.data.availability.source.c_str());
    PrintValue("stock.written", product.data.availability.value);
  }
  if (candidates) PrintCandidates(product.reading);
  return AcceptGenericProduct(product) ? 0 : 1;
}

int RunExtract(const std::vector<std::string>& args) {
  ExtractOptions options;
  if (!ParseOptions(args, options)) return 2;
  if (options.url.empty() && options.pageFile.empty())
    return Usage("a link or --page FILE is needed");
  if (options.render && !options.pageFile.empty())
    return Usage("--render draws a link, not a saved page");

  CSiteList sites;
  const std::string sitesFile =
      options.sitesFile.empty() ? ProgramFile("sites.xml") : options.sitesFile;
  if (!sites.LoadSites(sitesFile)) {
    std::fprintf(stderr, "vantrelctl extract: cannot load %s\n", sitesFile.c_str());
    return 1;
  }
  const std::string url = ArgumentToLocal(options.url);
  const std::string siteName = ArgumentToLocal(options.siteName);
  SiteRef site = siteName.empty() ? GuessSiteFromLink(sites, url) : sites.FindSiteByName(siteName);
  if (!options.siteName.empty() && !site && !IsGenericSiteName(siteName)) {
    std::fprintf(stderr, "vantrelctl extract: no shop named %s\n", options.siteName.c_str());
    return 1;
  }

  if (site && options.render) site = RenderedShop(site);

  PrintingTrace printer;
  ExtractTrace* trace = options.trace ? &printer : nullptr;
  CSpider spider;
  std::string page = LoadPage(options, url, sites, site, spider, trace);
  if (page.empty()) return 1;
  if (IsGenericSiteName(siteName))
    site = nullptr;
  else if (SiteRef inPage = sites.FindSiteInPage(page))
    site = inPage;
  if (!site) {
    // A saved page of a shop without rules is read in its own character set,
    // as a fetched one is (without the reply's header).
    if (!options.pageFile.empty()) {
      const PageText read = DecodePage(page, "");
      if (trace) trace->OnCharset(read.charset, read.source);
      if (read.text.empty()) {
        std::fprintf(stderr, "vantrelctl extract: %s\n", LocalToUtf8(read.refused).c_str());
        return 1;
      }
      page = read.text;
    }
    return PrintGeneric(ReadGenericProduct(page, url), options.candidates);
  }
  // A saved page is in the character set of its shop, as the shop sent it.
  if (!options.pageFile.empty() && strcasecmp(site->GetEncode().c_str(), "utf-8") == 0)
    page = Utf8ToLocal(page);

  ProductValues values = ExtractProduct(spider, page, *site, url, trace);
  ItemInfo info = ExtractItemInfo(page, *site);
  PrintValue("site", site->GetName());
  PrintValue("name", info.name);
  PrintValue("id", info.id);
  PrintValue("image", info.image);
  for (int n = 1; n <= 7; ++n)
    PrintValue(("param" + std::to_string(n)).c_str(), values.params[n - 1]);
  PrintValue("price", values.price);
  PrintValue("promprice", values.promPrice);
  PrintValue("effectiveprice", values.effectivePrice);
  std::printf("stock: %d\n", values.stock);
  // What the reader of shops without rules sees on the same page.
  if (options.candidates) PrintCandidates(ReadGenericProduct(page).reading);
  return 0;
}

}  // namespace

VANTREL_COMMAND(extract, "extract",
                "[--sites FILE] [--site NAME] [--trace] [--candidates] [--render] (URL | --page "
                "FILE [URL])",
                "Runs what adding a task runs before the task is accepted: the shop's\n"
                "preparation requests, the product page, the shop recognised by its Flag\n"
                "in the page, every extraction step and the product details. The shop\n"
                "rules come from FILE (default: sites.xml of the program directory).\n"
                "The shop is NAME, else the one the add window picks for URL (the first\n"
                "whose Domain holds a host name that occurs in URL), else the page is\n"
                "fetched once to find the shop by its Flag and then again as that shop;\n"
                "a shop whose Flag is in the page always wins.\n"
                "--page reads a saved page instead of fetching URL; it is taken to be in\n"
                "the Encode of the shop used. URL is then only the referer of the\n"
                "requests.\n"
                "Prints one \"key: value\" line each, in UTF-8: site, name, id, image,\n"
                "param1 ... param7 (percent-encoded), price, promprice, effectiveprice\n"
                "(\"%.2f\"; 0.00 means none) and stock (1 in stock, 0 out of stock, -1\n"
                "undetermined). --trace first prints \"request: LINK\" for every request\n"
                "sent (links after placeholder substitution) and \"cache hit: KEY\" when\n"
                "a step reuses a reply of the same product, and \"rule STEP: WHY\" when a\n"
                "rule's search of a step (param1 ... param7, price, promprice, stock) gave\n"
                "up, e.g. \"rule price: match limit exceeded\" (then it found nothing),\n"
                "and for the general shop \"charset: NAME (WHY)\": the character set the\n"
                "page was read in and what told it (bom, header, utf-16 check, meta,\n"
                "utf-8 check, or default for GBK).\n"
                "A page that no shop rule recognises (or --site 通用) is read as the\n"
                "general shop's, in its own character set (a byte-order mark, the\n"
                "reply's Content-Type, <meta> charset, UTF-8 when valid, else GBK; a\n"
                "page naming an unknown charset that is not UTF-8 is refused), from its\n"
                "schema.org JSON-LD, microdata and Open Graph product data, and from the\n"
                "price a shopper sees on the page, weighed from its visible text, price\n"
                "attributes, meta tags and script state; when schema.org and the page\n"
                "disagree, a stated price shown struck through next to a lower one gives\n"
                "way to that sale price. A page whose price can't be told apart gives\n"
                "none. It prints site, name, id, image, price (\"%.2f\"), currency and\n"
                "stock, each followed by a \"KEY.source:\" line naming where the value\n"
                "came from (json-ld, microdata, opengraph; meta for other price meta\n"
                "tags, state for a script's state, page for the page's text; link for\n"
                "the canonical link standing in for an id, url for the product link\n"
                "itself without its fragment and tracking parameters when the page names\n"
                "no id), and price.written / stock.written as the page wrote them; exit\n"
                "status 1 when the product could not be added. When the page's bytes\n"
                "give no product, the page is drawn once by the browser\n"
                "(chromium-headless-shell) and read again.\n"
                "--render has the browser draw the page (after the scripts ran) and reads\n"
                "that, as for a shop whose record has <Render>1</Render>; --trace then\n"
                "prints \"render: URL\" and \"render time: SECONDS s\". A page that could\n"
                "not be drawn prints \"vantrelctl extract: 渲染失败: WHY\" on standard\n"
                "error, e.g. when chromium-headless-shell is not installed.\n"
                "--candidates then prints every price the reader weighed, best first, one\n"
                "\"candidate: PRICE<TAB>SCORE<TAB>SOURCE<TAB>TEXT\" line each (for a shop\n"
                "with rules: what the general shop's reader sees on the same page).\n"
                "Exit status 1 when the rules cannot be loaded, the page is empty or it\n"
                "yields no product.",
                RunExtract);
