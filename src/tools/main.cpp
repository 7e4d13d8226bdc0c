// vantrelctl: the engine on the command line, for people who write shop rules
// and for scripts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/outputfield.h"
#include "engine/browser_process.h"
#include "engine/spider.h"
#include "tools/command.h"

namespace {

void PrintHelp() {
  std::vector<Command> commands = Commands();
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  std::printf(
      "usage: vantrelctl COMMAND [ARGS]\n\n"
      "Runs the Vantrel engine without a window. Files are resolved against the\n"
      "program directory: $VANTREL_HOME when set; for an installed vantrelctl (a\n"
      "bin folder beside share/vantrel) $XDG_DATA_HOME/vantrel, by default\n"
      "~/.local/share/vantrel, filled from share/vantrel at first use; else the\n"
      "folder of vantrelctl.\n"
      "Texts are printed in UTF-8. Exit status 0 on success, 1 when the command\n"
      "found or produced nothing, 2 for a usage error.\n%s\ncommands:\n",
      kOutputFieldHelp);
  for (const Command& c : commands) {
    std::printf("\n  %s %s\n", c.name, c.usage);
    const char* line = c.help;
    while (*line) {
      const char* end = std::strchr(line, '\n');
      size_t len = end ? static_cast<size_t>(end - line) : std::strlen(line);
      std::printf("      %.*s\n", static_cast<int>(len), line);
      line += len + (end ? 1 : 0);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
      !std::strcmp(argv[1], "help")) {
    PrintHelp();
    return argc < 2 ? 2 : 0;
  }
  for (const Command& c : Commands()) {
    if (std::strcmp(c.name, argv[1]) != 0) continue;
    std::vector<std::string> args(argv + 2, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::printf("usage: vantrelctl %s %s\n%s\n", c.name, c.usage, c.help);
      return 0;
    }
    LoadFetchTimeout();
    // A stop signal ends the browser of a render first (see browser_process.h).
    InstallBrowserStopHandlers();
    const int status = c.run(args);
    EndIfStopSignalled();
    return status;
  }
  std::fprintf(stderr, "vantrelctl: unknown command '%s' (see vantrelctl --help)\n", argv[1]);
  return 2;
}
