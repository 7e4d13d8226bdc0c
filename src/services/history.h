#pragma once

#include <ctime>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "base/files.h"

// One point of a price history. The date is local time
// "%d-%02d-%02d %02d:%02d:%02d"; the price is a decimal text.
struct CPriceInfoItem {
  std::string date;
  std::string price;
};

// The points of a history server reply, in its order: each record
// "t":"<seconds>","p":"<price>" whose date is whole seconds no later than a
// day from now and whose price is a number above 0 and below 1e12, both at
// most 63 bytes long; other records are left out. Linear in the reply.
std::vector<CPriceInfoItem> HistoryReplyPoints(const std::string& reply);

// A product's price history: its points, newest first, and the lowest and
// the highest price with their dates. Filled once from the history server,
// then grown by the tracking passes; the history view reads it meanwhile, so
// everything is read and written under the history's lock.
class CPriceInfo {
 public:
  // Fills the history from the history server's points for the link, then
  // adds the current price as a point dated now unless the history already
  // ends in that price (or holds points and the price is not above 0).
  void FetchFromServer(const std::string& productLink, const std::string& currentPrice);

  // Inserts a point in date order; false when it is refused as a duplicate
  // (same date to the second and same price).
  bool AddItem(const CPriceInfoItem& item);
  // AddItem of each point in turn, with the same list as the outcome (the
  // same points refused, the same order among points of one date), in
  // O(n log n): what a server reply, a history file or an import brings.
  // Returns how many were inserted.
  size_t AddItems(const std::vector<CPriceInfoItem>& items);

  // Adds a point dated now at `price`; when it is inserted it becomes the
  // lowest (when there is none yet, or it is below) or the highest (when it is
  // above). What a tracking pass does for each new price.
  bool AddCurrentPrice(const std::string& price);

  // The history file; false when it can't be written (the old one stays).
  bool SaveCache(const std::string& path) const;
  // Reads a history file: the summary as the file has it, the points sorted
  // again. False for a missing or unreadable file.
  bool LoadCache(const std::string& path);
  // The version of the history file this history last read or wrote (none
  // before either), so that a save can tell what other writers added.
  FileStamp FileVersion() const;
  void SetFileVersion(const FileStamp& version);

  // Takes in the points of `other` that this history lacks (same date to the
  // second and same price count as one point), in date order; the lowest and
  // the highest price become the lower and the higher of the two (ties keep
  // the earlier date).
  void MergeFrom(const CPriceInfo& other);
  // The bytes SaveCache writes.
  std::string ToCacheText() const;

  // Puts a summary as a saved history had it (an imported one).
  void SetSummary(const CPriceInfoItem& lowest, const CPriceInfoItem& highest);

  std::vector<CPriceInfoItem> Items() const;
  size_t GetItemCount() const;
  std::string GetLowestDate() const;
  std::string GetLowestPrice() const;
  std::string GetHighestDate() const;
  std::string GetHighestPrice() const;

 private:
  struct Point {
    CPriceInfoItem item;
    std::time_t when;  // the date in seconds, for ordering
  };

  bool AddPoint(Point point);

  // The summary rules for one server point: the first point is the lowest;
  // a lower one replaces it, a higher one the highest; ties keep the earlier.
  void TakeIntoSummary(const CPriceInfoItem& item);

  mutable std::mutex m_lock;
  FileStamp m_fileVersion;
  std::string m_lowestDate;
  std::string m_lowestPrice;
  std::string m_highestDate;
  std::string m_highestPrice;
  std::list<Point> m_items;  // newest first
};
