#include "server/pointprogram.h"

#include <utility>

#include "base/hosts.h"
#include "base/ini.h"

bool PointProgramAt(const std::string& base, const std::string& configFile) {
  const std::pair<HostId, const char*> services[] = {
      {kHostUpdateInfo, "update/update.ini"},
      {kHostSiteRules, "update/sites.xml"},
      {kHostHistory, "price_history.php?url="},
      {kHostComparison, "price_comparison.php?url="},
      {kHostComparisonItem, "item/"},
      {kHostCommission, "buylink.php"},
      {kHostAccount, ""},
      {kHostSidePanel, "panel.html"},
      {kHostHelp, "help.html"},
      {kHostFollow, "follow.html"},
      {kHostHomePage, ""},
      {kHostLogo, "logo.png"},
  };
  bool written = true;
  for (const auto& [id, path] : services)
    written = IniWriteString(configFile, "Hosts", HostKey(id), base + path) && written;
  return written;
}
