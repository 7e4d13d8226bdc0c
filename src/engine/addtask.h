#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/productfiles.h"
#include "engine/site.h"
#include "engine/tasklist.h"

// What the add window collects, with its defaults.
struct AddChoices {
  std::string link;
  std::string siteName;
  std::string frequencyHour = "1";
  std::string frequencyMinute = "0";
  bool trackPrice = true;
  bool trackStock = true;
  bool priceDown = true;
  bool priceUp = true;
  std::string targetPrice;
  std::string dropPercent;  // the least drop worth telling, in per cent; "" any
};

// The site the add window selects for a link it is given: for a link longer
// than 10 characters, the first site (in list order) one of whose host names
// ("|"-separated in its Domain) occurs in the link. Null otherwise.
SiteRef GuessSiteFromLink(const CSiteList& sites, const std::string& link);

// The task that stands for a new product while its page is fetched: the
// cleaned link, the choices, the blank picture, the "fetching" texts, and
// FETCHING_MARK in Status and CurrentStock. Not in any list.
TaskPtr MakePlaceholderTask(const AddChoices& choices, const ProductServices& services);

enum class AddResult { kAdded, kDuplicate, kFailed };

// Whether a fetched product can become a task: name, identifier and picture
// link are known, and either a price above 0 was read with a known stock, or
// the product is out of stock (which shops often show without a price).
bool AcceptProduct(const std::string& name, const std::string& productId,
                   const std::string& imageLink, const std::string& price, int stock);

// The add pipeline for one placeholder, on the calling thread: fetch the
// page with the shop's rules, extract, accept or refuse, add the task and
// prepare its files, tell the account. The window hears of the outcome
// through "UpdateData" (AddMode "add", "del_dup_init" or "del_faild_init");
// a refusal shows message 57721 (duplicate) or 57728 (fetch failed).
AddResult AddWorker(const TaskEnvironment& environment, const TaskPtr& placeholder);

// Links the general shop read without finding a price on their pages (the
// latest few): the add window offers to learn their shops.
void RememberUnpricedLink(const std::string& link);
bool WasUnpricedLink(const std::string& link);

// The account import's entry: the task, read from a server record, is
// offered to the list; when the list takes it (AddMode "import"), true, and
// the caller prepares its files (CAddWorkers::StartImport does both).
bool ImportTask(const TaskEnvironment& environment, const TaskPtr& task);

// The threads of the add pipeline and of imported tasks' files. Each runs
// on its own thread; destroying the object waits for all of them, so the
// environment they use must outlive it.
class CAddWorkers {
 public:
  explicit CAddWorkers(TaskEnvironment environment);
  ~CAddWorkers();
  CAddWorkers(const CAddWorkers&) = delete;
  CAddWorkers& operator=(const CAddWorkers&) = delete;

  // Starts an AddWorker for the placeholder; `done` (may be empty) is told
  // the outcome on that thread.
  void StartAdd(TaskPtr placeholder, std::function<void(AddResult)> done = {});
  // ImportTask, and PrepareProductFiles on a thread of its own when the
  // task was taken. False when the list already had the task.
  bool StartImport(const TaskPtr& task);
  // Returns when every thread started so far has finished.
  void Wait();

  const TaskEnvironment& Environment() const { return m_environment; }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  void Start(std::function<void()> work);
  void JoinFinishedLocked();

  TaskEnvironment m_environment;
  std::mutex m_lock;
  std::list<Worker> m_workers;
};
