#pragma once

#include <mutex>
#include <string>
#include <vector>

class CSiteList;

// One offer of the product in another shop.
struct CETaoInfoItem {
  std::string name;     // offer title
  std::string price;    // as the server sent it
  std::string url;      // the offer's page
  std::string gotoUrl;  // the link actually opened; empty until the first click
  std::string site;     // the configured shop's name, else the server's
};

// A product's offers in other shops, cheapest first after a fetch. The view
// reads it on the window's thread while other threads may save it, so it is
// read and written under its lock.
class CETaoInfo {
 public:
  // Replaces Date by now and ItemID by empty, and inserts the server's offers
  // by price. `sites` (may be null) names the offers of configured shops.
  void FetchFromServer(const std::string& productName, const std::string& productLink,
                       const CSiteList* sites);

  // The comparison file; false when it can't be written (the old one stays).
  bool SaveCache(const std::string& path) const;
  // Reads a comparison file, offers in file order. False for a missing or
  // unreadable file.
  bool LoadCache(const std::string& path);
  // The bytes SaveCache writes.
  std::string ToCacheText() const;

  std::string GetDate() const;
  std::string GetItemID() const;
  // The service's item page, when the file named an ItemID; else empty.
  std::string GetComparisonLink() const;
  std::vector<CETaoInfoItem> Items() const;
  size_t GetItemCount() const;
  // Remembers the link opened for an offer; false for an index out of range.
  bool SetItemGotoUrl(size_t index, const std::string& gotoUrl);

 private:
  void InsertByPrice(CETaoInfoItem item);

  mutable std::mutex m_lock;
  std::string m_date;
  std::string m_itemId;
  std::string m_comparisonLink;
  std::vector<CETaoInfoItem> m_items;
};

// The comparison server's text escapes: CR and LF are removed, "\u" and four
// hexadecimal digits become that UTF-16 character in the local code page (one
// it lacks becomes "?"); anything else stays as it is.
std::string DecodeServerEscapes(const std::string& text);

// A link on the Tmall item host moved to the same path on the detail host
// (both hosts from config.ini); any other link unchanged.
std::string MoveTmallItemLink(const std::string& url);
