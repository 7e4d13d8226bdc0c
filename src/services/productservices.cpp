#include "services/productservices.h"

#include "services/account.h"
#include "services/productcache.h"
#include "services/shoplinks.h"

ProductServices ProgramProductServices(const CSiteList* sites) {
  ProductServices services;
  services.cleanLink = CleanShopLink;
  services.fetchComparison = [sites](CTask& task, const std::string& path) {
    task.SetCompareInfo(FetchComparisonFile(task, path, sites));
  };
  services.fetchHistory = [](CTask& task, const std::string& path) {
    task.SetPriceHistory(FetchHistoryFile(task, path));
  };
  services.lookupBuyLink = LookupCommissionLink;
  // The account is read at each report: logging in or out may happen while
  // a task is being added.
  services.reportAdded = [](const CTask& task) { ServerTaskAdd(LoadAccount(), task); };
  services.reportDeleted = [](const CTask& task) { ServerTaskDelete(LoadAccount(), task); };
  return services;
}
