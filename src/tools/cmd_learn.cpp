// vantrelctl learn: teaches the program a shop from one of its product pages
// and the price the user sees on it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/learn.h"
#include "engine/site.h"
#include "engine/sitelearned.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

struct LearnOptions {
  std::string pageFile;
  std::string link;
  std::string price;
};

bool ParseOptions(const std::vector<std::string>& args, LearnOptions& options) {
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--page") {
      if (!TakeValue(args, i, options.pageFile)) return false;
    } else if (args[i].size() > 1 && args[i][0] == '-' && words.size() < 1) {
      std::fprintf(stderr, "vantrelctl learn: unknown option %s\n", args[i].c_str());
      return false;
    } else {
      words.push_back(args[i]);
    }
  }
  if (words.size() != 2) {
    std::fprintf(stderr, "vantrelctl learn: a link and a price are needed\n");
    return false;
  }
  options.link = ArgumentToLocal(words[0]);
  options.price = ArgumentToLocal(words[1]);
  return true;
}

// A value from a page on one line of its own, whatever it holds.
void PrintValue(const char* key, const std::string& local) {
  std::string utf8 = LocalToUtf8(local);
  for (char& c : utf8)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  std::printf("%s: %s\n", key, utf8.c_str());
}

int Fail(const std::string& localWhy) {
  std::fprintf(stderr, "vantrelctl learn: %s\n", LocalToUtf8(localWhy).c_str());
  return 1;
}

int RunLearn(const std::vector<std::string>& args) {
  LearnOptions options;
  if (!ParseOptions(args, options)) return 2;
  const std::string sitesFile = ProgramFile("sites.xml");
  CSiteList sites;
  if (FileExists(sitesFile) && !sites.LoadSites(sitesFile)) {
    std::fprintf(stderr, "vantrelctl learn: cannot load %s\n", sitesFile.c_str());
    return 1;
  }

  LearnRequest request;
  request.link = options.link;
  request.price = options.price;
  std::string why;
  if (options.pageFile.empty()) {
    request.page = FetchPageToLearn(options.link, request.charset, why);
  } else {
    std::string bytes;
    if (!ReadWholeFile(options.pageFile, bytes)) {
      std::fprintf(stderr, "vantrelctl learn: cannot read %s\n", options.pageFile.c_str());
      return 1;
    }
    request.page = ReadPageToLearn(bytes, "", request.charset, why);
  }
  if (request.page.empty()) return Fail(why);

  const LearnedShop shop = LearnShop(request);
  if (!shop.learned) return Fail(shop.why);
  if (!StoreLearnedSite(sites, std::make_shared<CSite>(shop.site), sitesFile))
    return Fail(LoadString(IDS_LEARN_SAVE_FAILED));

  for (size_t field = 0; field < kSiteFieldCount; ++field) {
    const SiteField which = static_cast<SiteField>(field);
    if (!shop.site.Field(which).empty()) PrintValue(SiteFieldName(which), shop.site.Field(which));
  }
  PrintValue("Learned", shop.site.GetLearned());
  PrintValue("price", shop.price);
  PrintValue("name", shop.info.name);
  PrintValue("id", shop.info.id);
  PrintValue("image", shop.info.image);
  std::printf("stock: %d\n", shop.stock);
  return 0;
}

}  // namespace

VANTREL_COMMAND(learn, "learn", "[--page FILE] URL PRICE",
                "Teaches the program the shop of URL from that one product page and\n"
                "PRICE, the price a shopper sees on it (as the page writes it, e.g.\n"
                "\"1.299,00\" or \"¥89\"). It finds where the page shows that price, its\n"
                "name, an id, its picture and, when the page states it, its stock, and\n"
                "writes an ordinary shop record for URL's host into sites.xml of the\n"
                "program directory, marked as learned (element Learned: when). Its\n"
                "patterns anchor on what the shop's pages share (tags, attribute and\n"
                "class names, JSON keys, labels), never on this product's name, id or\n"
                "numbers, so the shop's other products read with it too. A learned shop\n"
                "replaces an earlier record of the same Domain; a refresh of the rules\n"
                "keeps it unless the refreshed rules hold a record for its Domain.\n"
                "--page reads a saved page (in its own character set) instead of\n"
                "fetching URL.\n"
                "Prints the record, one \"Element: value\" line per field that is set,\n"
                "then what it reads back from the page: price (\"%.2f\"), name, id,\n"
                "image and stock (1 in stock, 0 out of stock, -1 not stated).\n"
                "Exit status 1, with the reason and nothing written, when it can't\n"
                "learn: the page can't be fetched or read, the price is not on the page,\n"
                "it stands in several places that can't be told apart, the page has no\n"
                "name or no id, or sites.xml can't be read or written.",
                RunLearn);
