// vantrelctl post: a form post as the account dialogs make it.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/spider.h"
#include "tools/arguments.h"
#include "tools/command.h"

namespace {

int RunPost(const std::vector<std::string>& args) {
  std::vector<std::string> plain;
  std::string headers;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (args[i] == "--header") {
      if (!TakeValue(args, i, value)) return 2;
      headers += (headers.empty() ? "" : "\r\n") + ArgumentToLocal(value);
    } else {
      plain.push_back(args[i]);
    }
  }
  if (plain.size() != 2) {
    std::fprintf(stderr, "usage: vantrelctl post [--header LINE] URL BODY\n");
    return 2;
  }
  if (headers.empty()) headers = "Content-Type: application/x-www-form-urlencoded";
  std::string reply = CSpider().PostPage(ArgumentToLocal(plain[0]), plain[1], headers);
  std::fwrite(reply.data(), 1, reply.size(), stdout);
  return reply.empty() ? 1 : 0;
}

}  // namespace

VANTREL_COMMAND(post, "post", "[--header LINE] URL BODY",
                "POSTs BODY (already form-encoded, sent as given) to URL, which must be\n"
                "an http:// link: other schemes are refused without a request. Sends\n"
                "the header lines given (default: Content-Type:\n"
                "application/x-www-form-urlencoded). Prints the reply bytes as they\n"
                "came, with every line feed removed, whatever the status. Exit status 1\n"
                "when the reply is empty or the link was refused.",
                RunPost);
