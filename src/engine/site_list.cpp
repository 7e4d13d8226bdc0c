// CSiteList: the ordered records, their replacement rule and the look-ups.
#include "engine/nocase.h"
#include "engine/site.h"

namespace {
constexpr const char* kInitialVersion = "99999";
}

CSiteList::CSiteList() : m_version(kInitialVersion) {}

CSiteList::~CSiteList() = default;

std::string CSiteList::GetVersion() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_version;
}

void CSiteList::SetVersion(const std::string& version) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_version = version;
}

bool CSiteList::AddSite(SiteRef site) {
  if (!site) return false;
  // The search and the replacement happen under one hold of the lock, so no
  // other change can slip in between them.
  std::lock_guard<std::mutex> hold(m_lock);
  const std::string domain = site->GetDomain();
  for (SiteRef& existing : m_sites) {
    if (domain.find(existing->Field(SiteField::Domain)) == std::string::npos) continue;
    existing = std::move(site);
    return false;
  }
  m_sites.push_back(std::move(site));
  return true;
}

bool CSiteList::ReplaceSiteAt(size_t index, SiteRef site) {
  std::lock_guard<std::mutex> hold(m_lock);
  if (!site || index >= m_sites.size()) return false;
  m_sites[index] = std::move(site);
  return true;
}

bool CSiteList::RemoveSite(const std::string& name) {
  std::lock_guard<std::mutex> hold(m_lock);
  for (auto site = m_sites.begin(); site != m_sites.end(); ++site) {
    if (!EqualNoCase((*site)->Field(SiteField::Name), name)) continue;
    m_sites.erase(site);
    return true;
  }
  return false;
}

SiteRef CSiteList::FindFirst(const std::function<bool(const CSite&)>& match) const {
  std::lock_guard<std::mutex> hold(m_lock);
  for (const SiteRef& site : m_sites)
    if (match(*site)) return site;
  return nullptr;
}

SiteRef CSiteList::FindSiteByName(const std::string& name) const {
  return FindFirst([&](const CSite& s) { return EqualNoCase(s.Field(SiteField::Name), name); });
}

SiteRef CSiteList::FindSiteByDomain(const std::string& domain) const {
  return FindFirst([&](const CSite& s) { return EqualNoCase(s.Field(SiteField::Domain), domain); });
}

SiteRef CSiteList::FindSiteInPage(const std::string& page) const {
  return FindFirst([&](const CSite& s) {
    const std::string& flag = s.Field(SiteField::Flag);
    return !flag.empty() && page.find(flag) != std::string::npos;
  });
}

size_t CSiteList::GetCount() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_sites.size();
}

SiteRef CSiteList::GetSiteAt(size_t index) const {
  std::lock_guard<std::mutex> hold(m_lock);
  return index < m_sites.size() ? m_sites[index] : nullptr;
}

std::vector<SiteRef> CSiteList::Snapshot() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_sites;
}

void CSiteList::ForEachSite(const std::function<bool(const CSite&)>& visit) const {
  for (const SiteRef& site : Snapshot())
    if (!visit(*site)) return;
}
