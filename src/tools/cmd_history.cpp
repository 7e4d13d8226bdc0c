// vantrelctl history: what the history server knows of a product.
#include <cstdio>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/codepage.h"
#include "services/history.h"
#include "services/verdict.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

// "<name>\t<price>\t<date>", "-" for a stretch the history does not cover.
void PrintLow(const std::string& name, const PriceLow& low) {
  std::printf("%s\t%s\t%s\n", name.c_str(), low.price.empty() ? "-" : low.price.c_str(),
              low.date.empty() ? "-" : LocalToUtf8(low.date).c_str());
}

// The lows of the history and what it says of its newest price.
void PrintVerdict(const CPriceInfo& history) {
  const std::vector<CPriceInfoItem> items = history.Items();
  const std::string newest = items.empty() ? std::string() : items.front().price;
  const PriceVerdict verdict = JudgePrice(items, newest, CurrentTime(), ReadVerdictSettings());
  for (size_t k = 0; k < std::size(kVerdictDays); ++k)
    PrintLow("low" + std::to_string(kVerdictDays[k]), verdict.lows[k]);
  PrintLow("lowest", verdict.lowest);
  std::printf("verdict\t%s\n", LocalToUtf8(VerdictViewText(verdict)).c_str());
}

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
  PrintVerdict(history);
  return 0;
}

}  // namespace

VANTREL_COMMAND(history, "history", "URL [PRICE]",
                "Asks the configured history server (HistoryUrl in section \"Hosts\" of\n"
                "config.ini) for the product at URL, adds PRICE as the current price the\n"
                "way a new task does, and prints the bytes its history file would hold\n"
                "(UTF-8 XML, CR LF after the declaration), then a line break. Then five\n"
                "tab-separated lines in UTF-8 say what the history makes of its newest\n"
                "price: \"low30\", \"low90\" and \"low180\" with the lowest price of the last\n"
                "30, 90 and 180 days and the time of its point (\"-\" \"-\" when the history\n"
                "does not reach back that far; a price holds from its point until the\n"
                "next), \"lowest\" with the lowest of the whole history, and \"verdict\" with\n"
                "one of \"历史最低\" (at or below every price, with at least 60 days of\n"
                "history), \"近N天最低\" (the longest of 30, 90, 180 days it is the lowest\n"
                "of), \"先涨后降：N天内从A涨到B\" (it only undoes a rise of at least\n"
                "RisePercent per cent, default 5, within RiseDays days, default 14, of\n"
                "section \"Base\" of config.ini), \"高于近30天最低价\" or \"历史记录不足\" (less\n"
                "than 30 days of history). Nothing is written. An empty HistoryUrl sends\n"
                "no request.",
                RunHistory);
