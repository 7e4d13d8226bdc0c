// vantrelctl download: a file as the program downloads rules, images and
// update files.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/spider.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunDownload(const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  std::string referer;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--referer") {
      if (!TakeValue(args, i, referer)) return 2;
    } else {
      plain.push_back(args[i]);
    }
  }
  if (plain.size() != 2) {
    std::fprintf(stderr, "usage: vantrelctl download [--referer R] URL FILE\n");
    return 2;
  }
  bool ok = CSpider().DownloadFile(ArgumentToLocal(plain[0]), plain[1], ArgumentToLocal(referer));
  return ok ? 0 : 1;
}

}  // namespace

VANTREL_COMMAND(download, "download", "[--referer R] URL FILE",
                "Downloads URL into FILE the way the program fetches shop rules, images\n"
                "and update files: a gzip body is decoded, anything else is saved as it\n"
                "came; the file is replaced whole or not at all. Prints nothing. Exit\n"
                "status 0 when the exchange succeeded, which includes a reply other\n"
                "than 200 (then FILE is left alone); 1 when the request or the write\n"
                "failed or the body is over 64 MB.",
                RunDownload);
