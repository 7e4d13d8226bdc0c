#pragma once

#include <functional>
#include <string>

#include "engine/tasklist.h"

class CImage;
class CSiteList;
class CTracker;
class EventSink;

// The side of a task's files that the services layer knows: the two servers
// behind its comparison and history files, the commission-link service, the
// shop-link cleaning and the account. The services layer provides the
// program's set (ProgramProductServices); an empty function skips its step.
struct ProductServices {
  // The link as tasks keep it: fragment, tracking parameters and redirect
  // wrappers removed.
  std::function<std::string(const std::string& link)> cleanLink;
  // Fetch the task's comparison (or history) from its server whatever is on
  // disk, write it to `path` and attach it to the task.
  std::function<void(CTask& task, const std::string& path)> fetchComparison;
  std::function<void(CTask& task, const std::string& path)> fetchHistory;
  // The commission-link service's answer for (link, shop key); empty when it
  // could not be asked.
  std::function<std::string(const std::string& link, const std::string& shopKey)> lookupBuyLink;
  // Tell the user's account of a task just added or about to be deleted;
  // nothing happens while nobody is logged in.
  std::function<void(const CTask& task)> reportAdded;
  std::function<void(const CTask& task)> reportDeleted;
};

// What adding, importing and deleting tasks work with. Everything is owned
// elsewhere (the application object, the window) and outlives the work.
struct TaskEnvironment {
  CSiteList& sites;
  CTaskList& tasks;
  EventSink& events;
  CTracker* tracker = nullptr;  // creates the tasks' timers; null: none
  ProductServices services;
};

// The side of the main window's picture list.
inline constexpr int kListPictureSide = 105;

// A task's files in the program directory, named by its ProductFileKey.
std::string ProductPicturePath(const CTask& task);     // productimgs/KEY
std::string ProductComparisonPath(const CTask& task);  // productitems/KEY.xml
std::string ProductHistoryPath(const CTask& task);     // productprices/KEY.xml
std::string BlankPicturePath();                        // productimgs/blank.jpg

// "jd", "taobao" (Taobao and Tmall) or "yhd" by the domain suffixes of
// section "Hosts" found in the site domain; empty for every other shop,
// which gets no buy link.
std::string BuyLinkShopKey(const std::string& siteDomain);
// Where the task's picture is downloaded from: the Yixun and Efeihu shops
// keep only a reference to a picture on their image servers; any other
// shop's ImageLink is the link itself.
std::string ProductPictureLink(const CTask& task);

// The files of a task that was just added or imported, in order: comparison,
// history, buy link, tasks.xml, picture, the "UpdateData" sent with the
// picture path, and the task's timer (due at once, so its first firing only
// clears AddMode). When the history file can't be written the task leaves
// the list again, message 58650 is shown and nothing else happens; when
// tasks.xml can't be saved message 57692 is shown and nothing after the save
// happens; false in both cases.
bool PrepareProductFiles(const TaskEnvironment& environment, const TaskPtr& task);

// Asks the commission-link service for the shop link of a product (JD,
// Taobao and Tmall, Yihaodian); empty for other shops and for every answer
// that is not a link. It blocks: never call it on the window thread.
std::string LookUpBuyLink(const ProductServices& services, const std::string& url,
                          const std::string& siteDomain);

// LookUpBuyLink for the task, kept in its GotoUrl when it is a link.
void TakeBuyLink(const TaskEnvironment& environment, CTask& task);

// Downloads the product picture to `path`, normalised to 105 x 105 in the
// format it came in. The path of the picture to show: `path`, or
// productimgs/blank.jpg when the download failed or did not decode.
std::string DownloadProductPicture(const std::string& link, const std::string& path);

// Loads a picture for the window's list: one wider or taller than 105 is
// resampled to 105 x 105 and written back to `path` in its own format;
// smaller ones are left as they are. False when nothing could be loaded.
bool LoadListPicture(const std::string& path, CImage& picture);

// Deletes the task's picture, comparison and history files; a missing file
// is no error. The shared blank picture is never deleted, nor are files that
// a task of `remaining` (other than `task`) shares by its ProductFileKey.
void DeleteProductFiles(const CTask& task, const CTaskList& remaining);

// Deleting one task: its timer is deleted, AddMode becomes "del" and
// "UpdateData" is sent (the window removes the row), the task leaves the
// list, its files are deleted, the account is told, and tasks.xml is saved
// (message 57692 when that fails). False when the task was not in the list
// or tasks.xml could not be saved.
bool DeleteTask(const TaskEnvironment& environment, const TaskPtr& task);
