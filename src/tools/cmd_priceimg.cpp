// vantrelctl priceimg: reads a price image with a folder of digit templates,
// for people who prepare template sets for a shop.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/priceimg.h"
#include "tools/command.h"

namespace {

struct PriceImgOptions {
  std::string templates;
  std::string type;
  std::string colors;
  std::string domain;
  std::string image;
  bool haveImage = false;
};

bool ParseOptions(const std::vector<std::string>& args, PriceImgOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--templates") {
      if (!TakeValue(args, i, options.templates)) return false;
    } else if (arg == "--type") {
      if (!TakeValue(args, i, options.type)) return false;
    } else if (arg == "--colors") {
      if (!TakeValue(args, i, options.colors)) return false;
    } else if (arg == "--domain") {
      if (!TakeValue(args, i, options.domain)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "vantrelctl priceimg: unknown option %s\n", arg.c_str());
      return false;
    } else if (!options.haveImage) {
      options.image = arg;
      options.haveImage = true;
    } else {
      std::fprintf(stderr, "vantrelctl priceimg: more than one image\n");
      return false;
    }
  }
  if (options.templates.empty() || options.type.empty() || options.colors.empty() ||
      !options.haveImage) {
    std::fprintf(stderr,
                 "vantrelctl priceimg: --templates, --type, --colors and IMAGE are needed\n");
    return false;
  }
  return true;
}

int RunPriceImg(const std::vector<std::string>& args) {
  PriceImgOptions options;
  if (!ParseOptions(args, options)) return 2;
  CPriceImg reader(options.templates, options.type, options.colors);
  std::string text;
  if (options.image == "-") {
    std::string bytes;
    if (ReadInput("-", bytes)) text = reader.RecognizeImageBytes(bytes, options.domain);
  } else {
    text = reader.RecognizePrice(options.image, options.domain);
  }
  if (text.empty()) return 1;
  std::printf("%s\n", text.c_str());
  return 0;
}

}  // namespace

VANTREL_COMMAND(priceimg, "priceimg", "--templates DIR --type T --colors C [--domain D] IMAGE",
                "Reads the price in a price image the way the tracking pass does and prints\n"
                "the recognised characters on one line. DIR holds one template image per\n"
                "character (\"0.gif\" ... \"9.gif\"; \"pot\" names the decimal point, \"_2\" a\n"
                "second drawing, a name with \"flag\" a sign that adds nothing). T is png,\n"
                "jpg or gif and chooses the decoder for the image and every template. C lists\n"
                "the text colours as \"r,g,b\" keys separated by \"|\". D is the shop's domain\n"
                "(it decides the 0-or-8 rule for Newegg). IMAGE is a file, an http:// or\n"
                "https:// link (downloaded), or - for standard input. Exit status 1 when\n"
                "nothing was recognised or the image could not be read.",
                RunPriceImg);
