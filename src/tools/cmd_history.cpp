// vantrelctl history: what the history server knows of a product.
#include <cstdio>
#include <string>
#include <vector>

#include "services/history.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunHistory(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: vantrelctl history URL [PRICE]\n");
    return 2;
  }
  CPriceInfo history;
  history.FetchFromServer(ArgumentToLocal(args[0]), args.size() > 1 ? args[1] : std::string());
  std::string file = history.ToCacheText();
  std::fwrite(file.data(), 1, file.size(), stdout);
  std::printf("\n");
  return 0;
}

}  // namespace

VANTREL_COMMAND(history, "history", "URL [PRICE]",
                "Asks the configured history server (HistoryUrl in section \"Hosts\" of\n"
                "config.ini) for the product at URL, adds PRICE as the current price the\n"
                "way a new task does, and prints the bytes its history file would hold\n"
                "(UTF-8 XML, CR LF after the declaration), then a line break. Nothing is\n"
                "written. An empty HistoryUrl sends no request.",
                RunHistory);
