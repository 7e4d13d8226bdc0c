// vantrelctl sites: loads and merges shop-rule files, and writes the result.
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/outputfield.h"
#include "engine/site.h"
#include "tools/command.h"

namespace {

int RunSites(const std::vector<std::string>& args) {
  std::string out;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--save") {
      if (!TakeValue(args, i, out)) return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: vantrelctl sites FILE... [--save OUT]\n");
    return 2;
  }
  CSiteList list;
  int status = 0;
  for (const std::string& file : files) {
    if (list.LoadSites(file)) continue;
    std::fprintf(stderr, "vantrelctl sites: cannot load %s\n", file.c_str());
    status = 1;
  }
  std::printf("Version: %s\n", LocalToUtf8(list.GetVersion()).c_str());
  for (const SiteRef& site : list.Snapshot())
    std::printf("%s\t%s\n", LocalOutputField(site->GetName()).c_str(),
                LocalOutputField(site->GetDomain()).c_str());
  if (!out.empty() && !list.SaveSites(out)) {
    std::fprintf(stderr, "vantrelctl sites: cannot write %s\n", out.c_str());
    return 1;
  }
  return status;
}

}  // namespace

VANTREL_COMMAND(sites, "sites", "FILE... [--save OUT]",
                "Loads the shop-rule files in order into one list, as a rules refresh\n"
                "does: a later shop whose Domain contains an earlier shop's Domain (an\n"
                "empty one included) takes that shop's place, others are appended; a\n"
                "file's Version replaces the one before (\"99999\" when none has one).\n"
                "Prints \"Version: \" and the version, then one line per shop: its Name, a\n"
                "tab and its Domain (UTF-8). --save writes the list to OUT as sites.xml\n"
                "(a file there that cannot be read is first kept as OUT.bad). Exit status\n"
                "1 when a file could not be loaded (the others still are) or OUT not\n"
                "written.",
                RunSites);
