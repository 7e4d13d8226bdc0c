#include "services/productcache.h"

#include <sys/stat.h>

#include "base/clock.h"
#include "base/files.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/historyfile.h"

namespace {

std::string CacheFilePath(const CTask& task, const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + ProductFileKey(task) + ".xml";
}

// Reads a cache file into a fresh object; a file that is there but can't be
// read is kept aside before the fetch that follows overwrites it.
template <typename Info>
std::shared_ptr<Info> ReadCacheFile(const std::string& path) {
  auto info = std::make_shared<Info>();
  if (info->LoadCache(path)) return info;
  KeepAside(path);
  return nullptr;
}

}  // namespace

std::string ComparisonFilePath(const CTask& task, const std::string& itemsFolder) {
  return CacheFilePath(task, itemsFolder);
}

std::string HistoryFilePath(const CTask& task, const std::string& pricesFolder) {
  return CacheFilePath(task, pricesFolder);
}

bool ComparisonFileIsFresh(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  long long hours = (static_cast<long long>(CurrentTime()) - st.st_mtime) / 3600;
  return hours % 24 < 20;
}

std::shared_ptr<CETaoInfo> FetchComparisonFile(const CTask& task, const std::string& path,
                                               const CSiteList* sites) {
  auto info = std::make_shared<CETaoInfo>();
  info->FetchFromServer(task.GetProductName(), task.GetUrl(), sites);
  info->SaveCache(path);
  return info;
}

std::shared_ptr<CPriceInfo> FetchHistoryFile(const CTask& task, const std::string& path) {
  auto info = std::make_shared<CPriceInfo>();
  info->FetchFromServer(task.GetUrl(), task.GetCurrentPrice());
  // Another link of the same product may have recorded points in the file
  // already: they are kept with the server's.
  SaveHistoryFile(*info, path);
  return info;
}

void AttachProductCaches(CTask& task, const std::string& itemsFolder,
                         const std::string& pricesFolder, const CSiteList* sites) {
  std::string comparisonPath = ComparisonFilePath(task, itemsFolder);
  std::shared_ptr<CETaoInfo> comparison;
  if (ComparisonFileIsFresh(comparisonPath)) comparison = ReadCacheFile<CETaoInfo>(comparisonPath);
  if (!comparison) comparison = FetchComparisonFile(task, comparisonPath, sites);
  task.SetCompareInfo(std::move(comparison));

  std::string historyPath = HistoryFilePath(task, pricesFolder);
  std::shared_ptr<CPriceInfo> history;
  if (FileExists(historyPath)) history = ReadCacheFile<CPriceInfo>(historyPath);
  if (!history) history = FetchHistoryFile(task, historyPath);
  task.SetPriceHistory(std::move(history));
}

AttachCachesFunction ProductCacheAttacher(const CSiteList* sites) {
  return [sites](CTask& task, const std::string& itemsFolder, const std::string& pricesFolder) {
    AttachProductCaches(task, itemsFolder, pricesFolder, sites);
  };
}
