// vantrelctl cookies: the shared cookie store, as the shop rules see it.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/spider.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunCookies(const std::vector<std::string>& args) {
  std::string url;
  std::string name;
  std::vector<std::string> sets;
  bool fetch = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (args[i] == "--name" || args[i] == "--set") {
      if (!TakeValue(args, i, value)) return 2;
      if (args[i - 1] == "--name") name = value;
      if (args[i - 1] == "--set") sets.push_back(ArgumentToLocal(value));
    } else if (args[i] == "--fetch") {
      fetch = true;
    } else if (url.empty() && (args[i].empty() || args[i][0] != '-')) {
      url = ArgumentToLocal(args[i]);
    } else {
      url.clear();
      break;
    }
  }
  if (url.empty()) {
    std::fprintf(stderr, "usage: vantrelctl cookies [--set NAME=VALUE] [--fetch] [--name N] URL\n");
    return 2;
  }
  CSpider spider;
  for (const std::string& set : sets) {
    size_t equals = set.find('=');
    if (equals == std::string::npos ||
        !spider.SetCookie(url, set.substr(0, equals), set.substr(equals + 1))) {
      std::fprintf(stderr, "vantrelctl cookies: cannot store '%s'\n", set.c_str());
      return 1;
    }
  }
  std::string text = fetch ? spider.FetchCookies(url, "", "") : spider.GetCookie(url, name);
  if (text.empty()) return 1;
  std::printf("%s\n", text.c_str());
  return 0;
}

}  // namespace

VANTREL_COMMAND(cookies, "cookies", "[--set NAME=VALUE] [--fetch] [--name N] URL",
                "Prints the cookies the program's cookie store (cookies.txt in the\n"
                "program directory) would send to URL, as \"a=1; b=2\", then a line\n"
                "break; with --name only that cookie. Each --set first stores a cookie\n"
                "for URL's host and folder (VALUE may carry attributes after \";\", such\n"
                "as expires= or path=). With --fetch, requests URL instead and prints\n"
                "the leading \"name=value;\" of each Set-Cookie header of its reply,\n"
                "joined without separator. Exit status 1 when nothing is printed.",
                RunCookies);
