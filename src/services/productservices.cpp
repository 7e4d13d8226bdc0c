#include "services/productservices.h"

#include "services/account.h"
#include "services/productcache.h"
#include "services/shoplinks.h"

void CPublishedAccount::Publish(const CAccount& account) {
  std::lock_guard lock(m_lock);
  m_account = account;
}

CAccount CPublishedAccount::Get() const {
  std::lock_guard lock(m_lock);
  return m_account;
}

ProductServices ProgramProductServices(const CSiteList* sites,
                                       std::shared_ptr<const CPublishedAccount> account) {
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
  auto current = [account] { return account ? account->Get() : LoadAccount(); };
  services.reportAdded = [current](const CTask& task) { ServerTaskAdd(current(), task); };
  services.reportDeleted = [current](const CTask& task) { ServerTaskDelete(current(), task); };
  return services;
}
