#include "engine/sitelearned.h"

#include <vector>

#include "base/files.h"
#include "engine/nocase.h"

namespace {

// Whether a rule people wrote reads the learned record's shop.
bool CoveredByRules(const CSiteList& sites, const CSite& learned) {
  const std::string domain = learned.GetDomain();
  for (const SiteRef& rule : sites.Snapshot()) {
    const std::string& ruled = rule->Field(SiteField::Domain);
    if (rule->IsLearned() || ruled.empty()) continue;
    if (EqualNoCase(ruled, domain) || domain.find(ruled) != std::string::npos) return true;
  }
  return false;
}

// The rule file as it is on disk; false when it is there but can't be read
// (a missing file is an empty list).
bool LoadFromDisk(CSiteList& list, const std::string& path) {
  return !FileExists(path) || list.LoadSites(path);
}

}  // namespace

bool StoreLearnedSite(CSiteList& sites, const SiteRef& learned, const std::string& path) {
  sites.AddSite(learned);
  CSiteList disk;
  // An unreadable file is kept aside by SaveSites; the rules in memory take
  // its place.
  if (!LoadFromDisk(disk, path)) return sites.SaveSites(path);
  disk.AddSite(learned);
  return disk.SaveSites(path);
}

bool ForgetLearnedSite(CSiteList& sites, const std::string& name, const std::string& path) {
  const SiteRef site = sites.FindSiteByName(name);
  if (!site || !site->IsLearned()) return false;
  sites.RemoveSite(name);
  CSiteList disk;
  if (!LoadFromDisk(disk, path)) return sites.SaveSites(path);
  if (const SiteRef stored = disk.FindSiteByName(name); stored && stored->IsLearned())
    disk.RemoveSite(name);
  return disk.SaveSites(path);
}

void KeepLearnedSites(CSiteList& sites, const std::string& path) {
  for (const SiteRef& site : sites.Snapshot())
    if (site->IsLearned() && CoveredByRules(sites, *site)) sites.RemoveSite(site->GetName());
  CSiteList before;
  if (!FileExists(path) || !before.LoadSites(path)) return;
  for (const SiteRef& learned : before.Snapshot()) {
    if (!learned->IsLearned() || sites.FindSiteByDomain(learned->GetDomain())) continue;
    if (!CoveredByRules(sites, *learned)) sites.AddSite(learned);
  }
}
