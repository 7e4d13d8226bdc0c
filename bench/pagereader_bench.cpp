// Reading a large product page of a shop without rules: the page walk
// (libxml2's HTML parser in SAX mode, every price candidate weighed) against
// the reader it replaced, which built libxml2's tree and read only the
// schema.org data and Open Graph tags from it. Both start from the page in
// the local code page, as the fetcher hands it over.
#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "base/codepage.h"
#include "best_seconds.h"
#include "engine/generic.h"
#include "engine/inflate.h"
#include "engine/structured_internal.h"

namespace {

// The saved page: 1.3 MB of HTML.
const std::string& Page() {
  static const std::string page = [] {
    std::ifstream file(VANTREL_SOURCE_DIR "/tests/data/product-pages/table-layout-large.html.gz",
                       std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return Utf8ToLocal(Gunzip(bytes.str()));
  }();
  return page;
}

// The reader before the page walk, kept here as the baseline.
namespace tree {

struct DocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using HtmlDoc = std::unique_ptr<xmlDoc, DocDeleter>;

// Nested elements deeper than this are not walked: a hostile page must not
// exhaust the stack.
constexpr int kMaxDepth = 256;

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value) return std::string();
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

bool HasAttribute(xmlNode* node, const char* name) {
  return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

std::string Trim(const std::string& text) {
  const char* space = " \t\r\n\f\v";
  size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string Content(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  if (!content) return std::string();
  std::string text(reinterpret_cast<const char*>(content));
  xmlFree(content);
  return text;
}

bool NameIs(xmlNode* node, const char* name) {
  return strcasecmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool TypeIsJsonLd(const std::string& type) {
  std::string media = Trim(type.substr(0, type.find(';')));
  return strcasecmp(media.c_str(), "application/ld+json") == 0;
}

// A microdata property's value: its content attribute, the link of a link,
// a picture's source, or the element's text.
std::string ItemValue(xmlNode* node) {
  if (HasAttribute(node, "content")) return Trim(Attribute(node, "content"));
  if (NameIs(node, "img")) return Trim(Attribute(node, "src"));
  if (NameIs(node, "a") || NameIs(node, "link")) return Trim(Attribute(node, "href"));
  std::string text = Trim(Content(node));
  // Runs of white space inside a name as a browser shows it.
  std::string collapsed;
  bool space = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      space = true;
      continue;
    }
    if (space) collapsed += ' ';
    space = false;
    collapsed += c;
  }
  return collapsed;
}

void Keep(std::string& field, const std::string& value) {
  if (field.empty()) field = value;
}

bool HasToken(const std::string& list, const char* token) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of(" \t\r\n", start);
    if (end == std::string::npos) end = list.size();
    if (end - start == std::strlen(token) &&
        strncasecmp(list.c_str() + start, token, end - start) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

void TakeItemProp(const std::string& props, xmlNode* node, FoundValues& found) {
  std::string value;
  auto take = [&](const char* prop, std::string& field) {
    if (!HasToken(props, prop)) return;
    if (value.empty()) value = ItemValue(node);
    Keep(field, value);
  };
  take("name", found.name);
  take("image", found.image);
  take("price", found.price);
  take("lowPrice", found.price);
  take("priceCurrency", found.currency);
  take("availability", found.availability);
  for (const char* id : {"sku", "productID", "gtin13", "gtin", "gtin8", "gtin12", "gtin14"})
    take(id, found.id);
}

void TakeMeta(xmlNode* node, PageSources& sources) {
  std::string key = Attribute(node, "property");
  if (key.empty()) key = Attribute(node, "name");
  if (key.empty()) return;
  const std::string value = Trim(Attribute(node, "content"));
  FoundValues& og = sources.openGraph;
  const char* k = key.c_str();
  if (strcasecmp(k, "og:title") == 0) Keep(og.name, value);
  if (strcasecmp(k, "og:image") == 0 || strcasecmp(k, "og:image:url") == 0) Keep(og.image, value);
  if (strcasecmp(k, "product:price:amount") == 0 || strcasecmp(k, "og:price:amount") == 0)
    Keep(og.price, value);
  if (strcasecmp(k, "product:price:currency") == 0 || strcasecmp(k, "og:price:currency") == 0)
    Keep(og.currency, value);
  if (strcasecmp(k, "product:availability") == 0 || strcasecmp(k, "og:availability") == 0)
    Keep(og.availability, value);
  if (strcasecmp(k, "product:retailer_item_id") == 0) Keep(og.id, value);
}

// Microdata of a nested item other than an offer (a brand, a review, a
// seller) does not describe the product.
bool ForeignItem(xmlNode* node) {
  if (!HasAttribute(node, "itemscope")) return false;
  const std::string type = Attribute(node, "itemtype");
  return type.find("Offer") == std::string::npos && type.find("Product") == std::string::npos;
}

void Walk(xmlNode* node, int depth, bool inForeignItem, PageSources& sources) {
  if (depth > kMaxDepth) return;
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    // The itemprop of a nested item belongs to its parent item.
    if (!inForeignItem && HasAttribute(node, "itemprop"))
      TakeItemProp(Attribute(node, "itemprop"), node, sources.microdata);
    if (NameIs(node, "script") && TypeIsJsonLd(Attribute(node, "type"))) {
      sources.jsonBlocks.push_back(Content(node));
      continue;
    }
    if (NameIs(node, "meta")) TakeMeta(node, sources);
    if (NameIs(node, "link") && HasToken(Attribute(node, "rel"), "canonical"))
      Keep(sources.canonical, Trim(Attribute(node, "href")));
    Walk(node->children, depth + 1, inForeignItem || ForeignItem(node), sources);
  }
}

PageSources WalkHtml(const std::string& utf8Page) {
  PageSources sources;
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                      HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED;
  HtmlDoc doc(htmlReadMemory(utf8Page.data(), static_cast<int>(utf8Page.size()), nullptr, "UTF-8",
                             options));
  if (doc) Walk(xmlDocGetRootElement(doc.get()), 0, false, sources);
  return sources;
}

}  // namespace tree

void ReadWithTree() {
  const PageSources sources = tree::WalkHtml(LocalToUtf8(Page()));
  benchmark::DoNotOptimize(StructuredFromSources(sources, ReadJsonLd(sources.jsonBlocks)));
}

void ReadWithWalk() { benchmark::DoNotOptimize(ReadGenericProduct(Page())); }

void BM_TreeReader(benchmark::State& state) {
  for (auto _ : state) ReadWithTree();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Page().size()));
}

void BM_PageReader(benchmark::State& state) {
  for (auto _ : state) ReadWithWalk();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Page().size()));
}

BENCHMARK(BM_TreeReader)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PageReader)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  xmlInitParser();
  std::printf("page: %zu bytes\n", Page().size());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const double bestTree = BestCpuSeconds(20, ReadWithTree);
  const double bestWalk = BestCpuSeconds(20, ReadWithWalk);
  std::printf("best of 20: tree reader %.1f ms, page walk %.1f ms CPU, ratio %.2f\n",
              bestTree * 1e3, bestWalk * 1e3, bestWalk / bestTree);
  std::printf("page walk per 1.4 MB: %.1f ms CPU (best)\n", bestWalk * 1e3 * 1.4e6 / Page().size());
  benchmark::Shutdown();
  return 0;
}
