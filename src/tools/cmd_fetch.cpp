// vantrelctl fetch: a page as the tracker fetches it, for people who write
// shop rules.
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "engine/spider.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunFetch(const std::vector<std::string>& args) {
  std::string charset = "gbk";
  std::string referer;
  std::string headers;
  std::string url;
  bool local = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (args[i] == "--charset" || args[i] == "--referer" || args[i] == "--header") {
      if (!TakeValue(args, i, value)) return 2;
      if (args[i - 1] == "--charset") charset = value;
      if (args[i - 1] == "--referer") referer = ArgumentToLocal(value);
      if (args[i - 1] == "--header") headers += "\r\n" + ArgumentToLocal(value);
    } else if (args[i] == "--local") {
      local = true;
    } else if (url.empty() && (args[i].empty() || args[i][0] != '-')) {
      url = ArgumentToLocal(args[i]);
    } else {
      std::fprintf(stderr,
                   "usage: vantrelctl fetch [--charset C] [--referer R] "
                   "[--header LINE] [--local] URL\n");
      return 2;
    }
  }
  if (url.empty()) {
    std::fprintf(stderr, "vantrelctl fetch: no URL\n");
    return 2;
  }
  std::string page = CSpider().GetPage(url, charset, headers, referer);
  if (page.empty()) return 1;
  std::string out = local ? page : LocalToUtf8(page);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

}  // namespace

VANTREL_COMMAND(fetch, "fetch", "[--charset C] [--referer R] [--header LINE] [--local] URL",
                "Fetches URL as the tracker fetches a shop page (GET with the program's\n"
                "browser headers, gzip and deflate bodies decoded, cookies from and into\n"
                "the program directory's cookies.txt) and prints the body exactly, with\n"
                "no line break added. C is the character set the page is expected in\n"
                "(a shop's Encode, default gbk); a charset named by the reply's\n"
                "Content-Type wins, and a page in utf-8 is converted to the local code\n"
                "page (GBK). The body is printed in UTF-8, or with --local as the local\n"
                "code page bytes. R is sent as Referer; each --header adds one header\n"
                "line. Exit status 1 when the page is empty (no connection, a status\n"
                "other than 200, a body that does not decode or is over 64 MB).",
                RunFetch);
