#include "engine/productfiles.h"

#include <cstdlib>
#include <initializer_list>

#include "base/files.h"
#include "base/hosts.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/commissionlink.h"
#include "engine/events.h"
#include "engine/extract_shops.h"
#include "engine/image.h"
#include "engine/nocase.h"
#include "engine/spider.h"
#include "engine/tracking.h"

namespace {

bool DomainHasSuffix(const std::string& foldedDomain, std::initializer_list<HostId> suffixes) {
  for (HostId id : suffixes) {
    const std::string suffix = FoldCase(HostValue(id));
    if (!suffix.empty() && foldedDomain.find(suffix) != std::string::npos) return true;
  }
  return false;
}

// A configured host written without its scheme gets "http://".
std::string HostLink(std::string host) {
  if (host.find("://") == std::string::npos) host = "http://" + host;
  return host;
}

// The Yixun image server's host, whose "%s" is the server number.
std::string YixunImageHost(const std::string& serverNumber) {
  std::string host = HostValue(kHostYixunImage);
  const size_t mark = host.find("%s");
  if (mark != std::string::npos) host.replace(mark, 2, serverNumber);
  return HostLink(host);
}

// A reference A-B-C names a picture on server 1 (C odd) or 2 (C even), in
// the folder A/B; the whole reference is the file name.
std::string YixunPictureLink(const std::string& reference) {
  const size_t first = reference.find('-');
  const size_t second = first == std::string::npos ? first : reference.find('-', first + 1);
  const std::string a = reference.substr(0, first);
  const std::string b =
      first == std::string::npos ? std::string() : reference.substr(first + 1, second - first - 1);
  const std::string c = second == std::string::npos ? std::string() : reference.substr(second + 1);
  const long number = std::strtol(c.c_str(), nullptr, 10);
  return YixunImageHost(number % 2 != 0 ? "1" : "2") + "/product/mm/" + a + "/" + b + "/" +
         reference + ".jpg";
}

bool IsEfeihuShop(const std::string& domain) {
  const std::string host = HostValue(kHostEfeihu);
  return !host.empty() && EqualNoCase(domain, host);
}

bool SaveTaskFile(CTaskList& tasks) {
  if (tasks.SaveTasks(ProgramFile("tasks.xml"))) return true;
  ShowMessage(IDS_SAVE_TASKS_FAILED, kMessageInfo);
  return false;
}

}  // namespace

std::string LookUpBuyLink(const ProductServices& services, const std::string& url,
                          const std::string& siteDomain) {
  const std::string key = BuyLinkShopKey(siteDomain);
  if (key.empty() || !services.lookupBuyLink) return std::string();
  std::string answer = services.lookupBuyLink(url, key);
  // "false", "nologin", "商品不在推广中" or an error page: there is none.
  return IsCommissionLink(answer) ? answer : std::string();
}

void TakeBuyLink(const TaskEnvironment& environment, CTask& task) {
  const std::string link = LookUpBuyLink(environment.services, task.GetUrl(), task.GetSiteDomain());
  if (!link.empty()) task.SetGotoUrl(link);
}

std::string ProductPicturePath(const CTask& task) {
  return ProgramFile("productimgs/" + ProductFileKey(task));
}

std::string ProductComparisonPath(const CTask& task) {
  return ProgramFile("productitems/" + ProductFileKey(task) + ".xml");
}

std::string ProductHistoryPath(const CTask& task) {
  return ProgramFile("productprices/" + ProductFileKey(task) + ".xml");
}

std::string BlankPicturePath() { return ProgramFile("productimgs/blank.jpg"); }

std::string BuyLinkShopKey(const std::string& siteDomain) {
  const std::string domain = FoldCase(siteDomain);
  if (DomainHasSuffix(domain, {kHostJdSuffix})) return "jd";
  if (DomainHasSuffix(domain, {kHostTaobaoSuffix, kHostTmallSuffix})) return "taobao";
  if (DomainHasSuffix(domain,
                      {kHostYihaodianSuffix1, kHostYihaodianSuffix2, kHostYihaodianSuffix3}))
    return "yhd";
  return std::string();
}

std::string ProductPictureLink(const CTask& task) {
  const std::string domain = task.GetSiteDomain();
  const std::string reference = task.GetImageLink();
  if (reference.empty()) return std::string();
  if (IsYixunShop(domain)) return YixunPictureLink(reference);
  if (IsEfeihuShop(domain))
    return HostLink(HostValue(kHostEfeihuImage)) + "/Images/Wap/android/" + reference + ".jpg";
  return reference;
}

std::string DownloadProductPicture(const std::string& link, const std::string& path) {
  if (link.empty()) return BlankPicturePath();
  CSpider spider;
  spider.DownloadFile(link, path);
  if (!FileExists(path)) return BlankPicturePath();
  CImage picture;
  if (!picture.Load(path)) {
    // Rows are later filled from this file whenever it exists; one that can't
    // be shown must not stand in for the blank picture.
    DeleteFile(path);
    return BlankPicturePath();
  }
  // A picture that can't be scaled or written back would be shown at the
  // wrong size; the blank one is the honest fallback.
  if (!picture.Resample(kListPictureSide, kListPictureSide) || !picture.Save(path))
    return BlankPicturePath();
  return path;
}

bool PrepareProductFiles(const TaskEnvironment& environment, const TaskPtr& task) {
  if (!task) return false;
  const ProductServices& services = environment.services;
  if (services.fetchComparison) services.fetchComparison(*task, ProductComparisonPath(*task));
  if (services.fetchHistory) {
    const std::string history = ProductHistoryPath(*task);
    services.fetchHistory(*task, history);
    // A task whose history can't be kept would record its changes nowhere.
    if (!FileExists(history)) {
      environment.tasks.RemoveTaskAt(task);
      ShowMessage(IDS_PRODUCT_FILES_FAILED, kMessageInfo);
      return false;
    }
  }
  TakeBuyLink(environment, *task);
  if (!SaveTaskFile(environment.tasks)) return false;

  const std::string picture =
      DownloadProductPicture(ProductPictureLink(*task), ProductPicturePath(*task));
  environment.events.SendUpdateData(task, picture);
  if (environment.tracker) environment.tracker->ScheduleTask(0, TaskPeriodMs(*task), task);
  return true;
}

bool LoadListPicture(const std::string& path, CImage& picture) {
  if (!picture.Load(path)) return false;
  if (picture.Width() > kListPictureSide || picture.Height() > kListPictureSide) {
    picture.Resample(kListPictureSide, kListPictureSide);
    // The list shows the smaller picture even when it can't be written back.
    picture.Save(path);
  }
  return true;
}

void DeleteProductFiles(const CTask& task, const CTaskList& remaining) {
  const std::string key = ProductFileKey(task);
  for (const TaskPtr& other : remaining.Tasks())
    if (other.get() != &task && ProductFileKey(*other) == key) return;
  // Keys always hold a "_", so productimgs/blank.jpg is never among these.
  DeleteFile(ProductPicturePath(task));
  DeleteFile(ProductComparisonPath(task));
  DeleteFile(ProductHistoryPath(task));
  DeleteFile(SpareFilePath(ProductHistoryPath(task)));
}

bool DeleteTask(const TaskEnvironment& environment, const TaskPtr& task) {
  if (!task || environment.tasks.IndexOf(task.get()) < 0) return false;
  if (environment.tracker) environment.tracker->UnscheduleTask(task->GetUrl());
  task->SetAddMode("del");
  environment.events.SendUpdateData(task, std::string());
  if (!environment.tasks.RemoveTaskAt(task)) return false;
  DeleteProductFiles(*task, environment.tasks);
  if (environment.services.reportDeleted) environment.services.reportDeleted(*task);
  return SaveTaskFile(environment.tasks);
}
