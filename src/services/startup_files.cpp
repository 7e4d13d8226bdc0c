// The run-time files start-up makes sure of, and the shop-rule refresh.
#include "services/startup.h"

#include <ctime>

#include <sys/stat.h>

#include "base/files.h"
#include "base/hosts.h"
#include "base/programdir.h"
#include "base/timetext.h"
#include "engine/sitelearned.h"
#include "engine/spider.h"

namespace {

// Interface files fetched when missing, named as the update folder serves them.
constexpr const char* kRuntimeFiles[] = {
    "ding.wav",
    "imgs/Del.png",
    "imgs/CompBtn.png",
    "imgs/HisBtn.png",
    "imgs/GoTo.png",
    "imgs/Search.png",
    "imgs/NavBtnBkg.png",
    "imgs/NavBtnHotBkg.png",
    "imgs/SinaWeiboBtn.png",
    "imgs/SohuWeiboBtn.png",
    "imgs/QQWeiboBtn.png",
    "imgs/163WeiboBtn.png",
    "imgs/KaixinSnsBtn.png",
    "imgs/RenrenSnsBtn.png",
    "imgs/DoubanSnsBtn.png",
    "imgs/QQKongJianBtn.png",
    "imgs/BaiDuKongJianBtn.png",
    "imgs/ShareNormal.png",
    "imgs/ShareFocus.png",
    "imgs/HScrollBarLeftArrow.png",
    "imgs/HScrollBarRightArrow.png",
    "imgs/HScrollBarSpan.png",
    "imgs/HScrollBarThumb.png",
    "imgs/VScrollBarDownArrow.png",
    "imgs/VScrollBarUpArrow.png",
    "imgs/VScrollBarSpan.png",
    "imgs/VScrollBarThumb.png",
    "imgs/SpinUp.png",
    "imgs/SpinUpHot.png",
    "imgs/SpinDown.png",
    "imgs/SpinDownHot.png",
};

// A sites.xml shorter than this is a truncated or placeholder file.
constexpr int64_t kMinimumSitesSize = 60900;
constexpr int64_t kMinimumBlankSize = 1266;

// Midnight (or the given hour) of a day, local time.
std::time_t LocalTime(int year, int month, int day, int hour) {
  std::tm when{};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_hour = hour;
  when.tm_isdst = -1;
  return std::mktime(&when);
}

// True when the file exists and was last written at least `margin` seconds
// before `limit`.
bool WrittenBefore(const std::string& path, std::time_t limit, std::time_t margin) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return limit - st.st_mtime >= margin;
}

// The update folder as one start-up uses it. A failed download leaves the
// file as it was. After the first failed exchange the folder is not asked
// again: a server that does not answer would otherwise hold start-up for a
// time-out per file.
class CStartupDownloads {
 public:
  explicit CStartupDownloads(std::string folderUrl) : m_folderUrl(std::move(folderUrl)) {}

  void Download(const std::string& name) {
    if (m_folderUrl.empty() || m_failed) return;
    const std::string path = ProgramFile(name);
    // The interface files live in sub-folders that may not exist yet.
    MakePrivateDirectories(path.substr(0, path.rfind('/') + 1));
    if (!CSpider().DownloadFile(m_folderUrl + name, path)) m_failed = true;
  }

  void DownloadIfMissing(const std::string& name) {
    if (!FileExists(ProgramFile(name))) Download(name);
  }

 private:
  std::string m_folderUrl;
  bool m_failed = false;
};

// Updaters written before the cut-off day cannot read the current update
// folder; they are replaced, and the rules with them. True when the rules
// must be replaced.
bool RefreshOldUpdater(CStartupDownloads& downloads) {
  const std::string updater = ProgramFile("update");
  if (!WrittenBefore(updater, LocalTime(2014, 11, 23, 0), 24 * 60 * 60)) return false;
  DeleteFile(updater);
  downloads.Download("update");
  if (FileExists(updater)) chmod(updater.c_str(), 0755);
  return true;
}

bool SiteRulesOutdated() {
  const std::string sites = ProgramFile("sites.xml");
  return FileSize(sites) < kMinimumSitesSize || WrittenBefore(sites, LocalTime(2012, 9, 3, 1), 60);
}

}  // namespace

std::string UpdateFolderUrl() {
  std::string url = HostValue(kHostUpdateInfo);
  const std::string name = "update.ini";
  for (size_t at = url.find(name); at != std::string::npos; at = url.find(name, at))
    url.erase(at, name.size());
  return url;
}

bool PrepareRuntimeFiles() {
  CStartupDownloads downloads(UpdateFolderUrl());
  const bool oldUpdater = RefreshOldUpdater(downloads);
  const bool replaceRules = oldUpdater || SiteRulesOutdated();
  for (const char* name : kRuntimeFiles) downloads.DownloadIfMissing(name);

  MakePrivateDirectories(ProgramFile("temp/"));
  MakePrivateDirectories(ProgramFile("productimgs/"));
  if (FileSize(ProgramFile("productimgs/blank.jpg")) < kMinimumBlankSize)
    downloads.Download("productimgs/blank.jpg");
  for (const char* name : {"productitems/", "productprices/", "priceimg/", "priceimg/newegg/"})
    MakePrivateDirectories(ProgramFile(name));

  for (char digit = '0'; digit <= '9'; ++digit)
    downloads.DownloadIfMissing(std::string("priceimg/newegg/") + digit + ".gif");
  downloads.DownloadIfMissing("priceimg/newegg/pot.gif");
  return replaceRules;
}

bool RefreshSiteRules(CSiteList& sites) {
  const std::string url = HostValue(kHostSiteRules);
  if (url.empty()) return false;
  const std::string fetched = ProgramFile("sites_rt.xml");
  // A file left by an earlier run must not pass for this fetch.
  DeleteFile(fetched);
  CSpider().DownloadFile(url + (url.find('?') == std::string::npos ? "?t=" : "&t=") + NowStamp(),
                         fetched);
  // Only a fetched file with shops that merged is written out: saving the list
  // after a failed fetch could replace good rules with an empty list.
  const bool merged = FileExists(fetched) && sites.MergeFetchedSites(fetched);
  DeleteFile(fetched);
  if (!merged) return false;
  KeepLearnedSites(sites, ProgramFile("sites.xml"));
  return sites.SaveSites(ProgramFile("sites.xml"));
}
