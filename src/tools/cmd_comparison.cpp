// vantrelctl comparison: what the comparison server offers for a product.
#include <cstdio>
#include <string>
#include <vector>

#include "base/programdir.h"
#include "engine/site.h"
#include "services/comparison.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunComparison(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: vantrelctl comparison URL NAME\n");
    return 2;
  }
  // The shop rules name the offers of configured shops; without a readable
  // sites.xml the server's names stay.
  CSiteList sites;
  bool haveSites = sites.LoadSites(ProgramFile("sites.xml"));
  CETaoInfo comparison;
  comparison.FetchFromServer(ArgumentToLocal(args[1]), ArgumentToLocal(args[0]),
                             haveSites ? &sites : nullptr);
  std::string file = comparison.ToCacheText();
  std::fwrite(file.data(), 1, file.size(), stdout);
  std::printf("\n");
  return 0;
}

}  // namespace

VANTREL_COMMAND(comparison, "comparison", "URL NAME",
                "Asks the configured comparison server (ComparisonUrl in section \"Hosts\"\n"
                "of config.ini) for offers of the product at URL named NAME, and prints\n"
                "the bytes its comparison file would hold (UTF-8 XML, CR LF after the\n"
                "declaration, offers cheapest first), then a line break. Offers on a\n"
                "shop of the program directory's sites.xml carry that shop's name.\n"
                "Nothing is written. An empty ComparisonUrl sends no request.",
                RunComparison);
