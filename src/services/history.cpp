#include "services/history.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/clock.h"
#include "base/files.h"
#include "base/timetext.h"
#include "engine/nocase.h"
#include "engine/urlencode.h"
#include "services/programserver.h"
#include "text/xml.h"

namespace {

// A date that does not read as a time sorts as the oldest.
std::time_t DateValue(const std::string& date) {
  std::time_t when = 0;
  return ParseTimeText(date, when) ? when : 0;
}

double PriceValue(const std::string& price) { return std::atof(price.c_str()); }

std::string FormatPrice(double price) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.2f", price);
  return text;
}

// The first `needle` at or after `from`, ASCII letters without regard to
// case; npos when there is none.
size_t FindNoCase(const std::string& text, std::string_view needle, size_t from) {
  for (size_t at = from; at + needle.size() <= text.size(); ++at) {
    size_t n = 0;
    while (n < needle.size() && std::tolower(static_cast<unsigned char>(text[at + n])) ==
                                    static_cast<unsigned char>(needle[n]))
      ++n;
    if (n == needle.size()) return at;
  }
  return std::string::npos;
}

// A field the reply may hold: the program kept each in a 64-byte buffer, and
// a longer one must not be cut into a different number.
constexpr size_t kFieldBytes = 63;
// Prices of a shop's product are far below this; larger ones are garbage.
constexpr double kHighestPrice = 1e12;
// A point may be dated up to a day ahead (clocks and time zones differ).
constexpr std::time_t kFutureSlack = 24 * 60 * 60;

bool AllDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The point of one record, or false when its date or price makes no sense.
bool ReadPoint(const std::string& time, const std::string& price, CPriceInfoItem& item) {
  if (time.size() > kFieldBytes || price.size() > kFieldBytes || !AllDigits(time)) return false;
  const long long seconds = std::strtoll(time.c_str(), nullptr, 10);
  if (seconds <= 0 || seconds > CurrentTime() + kFutureSlack) return false;
  char* end = nullptr;
  const double value = std::strtod(price.c_str(), &end);
  if (end == price.c_str() || *end != '\0' || !std::isfinite(value) || value <= 0 ||
      value >= kHighestPrice)
    return false;
  item = {FormatTimeText(static_cast<std::time_t>(seconds)), FormatPrice(value)};
  return true;
}

}  // namespace

std::vector<CPriceInfoItem> HistoryReplyPoints(const std::string& reply) {
  // Records read "t":"<seconds>","p":"<price>", letters in any case; one walk
  // over the reply, whatever it holds.
  static constexpr std::string_view kTime = "\"t\":\"";
  static constexpr std::string_view kPrice = "\",\"p\":\"";
  std::vector<CPriceInfoItem> points;
  size_t at = 0;
  for (;;) {
    const size_t time = FindNoCase(reply, kTime, at);
    if (time == std::string::npos) break;
    const size_t timeStart = time + kTime.size();
    const size_t price = FindNoCase(reply, kPrice, timeStart);
    if (price == std::string::npos) break;
    const size_t priceStart = price + kPrice.size();
    const size_t priceEnd = reply.find('"', priceStart);
    if (priceEnd == std::string::npos) break;
    CPriceInfoItem item;
    if (ReadPoint(reply.substr(timeStart, price - timeStart),
                  reply.substr(priceStart, priceEnd - priceStart), item))
      points.push_back(std::move(item));
    at = priceEnd + 1;
  }
  return points;
}

void CPriceInfo::TakeIntoSummary(const CPriceInfoItem& item) {
  std::lock_guard<std::mutex> lock(m_lock);
  double price = PriceValue(item.price);
  // A lowest price of 0 is an empty history's, not a price.
  if (PriceValue(m_lowestPrice) <= 0 || price < PriceValue(m_lowestPrice)) {
    m_lowestPrice = item.price;
    m_lowestDate = item.date;
  }
  if (price > PriceValue(m_highestPrice)) {
    m_highestPrice = item.price;
    m_highestDate = item.date;
  }
}

void CPriceInfo::FetchFromServer(const std::string& productLink, const std::string& currentPrice) {
  const std::string reply = AskProgramServer(kHostHistory, UrlEncode(productLink));
  // The summary does not depend on which points the list takes.
  const std::vector<CPriceInfoItem> points = HistoryReplyPoints(reply);
  for (const CPriceInfoItem& item : points) TakeIntoSummary(item);
  AddItems(points);

  double current = PriceValue(currentPrice);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_items.empty() && (current <= 0 || current == PriceValue(m_items.front().item.price)))
      return;
  }
  AddCurrentPrice(currentPrice);
}

bool CPriceInfo::AddItem(const CPriceInfoItem& item) {
  return AddPoint({item, DateValue(item.date)});
}

bool CPriceInfo::AddPoint(Point point) {
  auto same = [&](const Point& other) {
    return other.when == point.when && EqualNoCase(other.item.price, point.item.price);
  };
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_items.empty() || point.when >= m_items.front().when) {
    if (!m_items.empty() && same(m_items.front())) return false;
    m_items.push_front(std::move(point));
    return true;
  }
  // The oldest point so far goes to the tail without a duplicate test, so
  // that a file's points come back as they were written.
  if (point.when <= m_items.back().when) {
    m_items.push_back(std::move(point));
    return true;
  }
  for (auto it = m_items.begin(); it != m_items.end(); ++it) {
    if (same(*it)) return false;
    auto next = std::next(it);
    if (next == m_items.end() || it->when < point.when || next->when > point.when) continue;
    // The place is found; a twin may still stand among the points of the
    // same date that follow it.
    for (auto twin = next; twin != m_items.end() && twin->when == point.when; ++twin)
      if (same(*twin)) return false;
    m_items.insert(next, std::move(point));
    return true;
  }
  m_items.push_back(std::move(point));
  return true;
}

size_t CPriceInfo::AddItems(const std::vector<CPriceInfoItem>& items) {
  // AddItem puts a point at the front of the points of its date, or at their
  // back when it goes to the tail of the list. Each point gets a place number
  // within its date that says so, and one sort by date and place gives the
  // list; what AddItem compares is kept aside: the head, the tail's date and
  // the prices each date holds.
  struct Placed {
    std::time_t when;
    long place;
    Point point;
  };
  struct DatePlaces {
    long front = 0;
    long back = 0;
  };
  std::lock_guard<std::mutex> lock(m_lock);
  std::vector<Placed> placed;
  placed.reserve(m_items.size() + items.size());
  std::unordered_map<std::time_t, DatePlaces> places;
  std::set<std::pair<std::time_t, std::string>> prices;
  for (Point& point : m_items) {
    prices.emplace(point.when, FoldCase(point.item.price));
    placed.push_back({point.when, ++places[point.when].back, std::move(point)});
  }
  const bool hadItems = !placed.empty();
  Point head = hadItems ? placed.front().point : Point{};
  std::time_t tail = hadItems ? placed.back().when : 0;
  size_t added = 0;
  for (const CPriceInfoItem& item : items) {
    Point point{item, DateValue(item.date)};
    const bool empty = !hadItems && added == 0;
    if (!empty && head.when == point.when && EqualNoCase(head.item.price, item.price)) continue;
    const bool newest = empty || point.when >= head.when;
    const bool oldest = !newest && point.when <= tail;
    auto price = std::make_pair(point.when, FoldCase(item.price));
    // Between the head and the tail a point is refused when a point of its
    // date has its price.
    if (!newest && !oldest && prices.count(price) != 0) continue;
    prices.insert(std::move(price));
    DatePlaces& date = places[point.when];
    const long place = oldest ? ++date.back : --date.front;
    if (newest) head = point;
    if (empty || point.when < tail) tail = point.when;
    placed.push_back({point.when, place, std::move(point)});
    ++added;
  }
  std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    return a.when != b.when ? a.when > b.when : a.place < b.place;
  });
  m_items.clear();
  for (Placed& p : placed) m_items.push_back(std::move(p.point));
  return added;
}

bool CPriceInfo::AddCurrentPrice(const std::string& price) {
  // The date is known: reading its text back would cost a time zone lookup.
  const std::time_t now = CurrentTime();
  CPriceInfoItem item{FormatTimeText(now), price};
  if (!AddPoint({item, now})) return false;
  std::lock_guard<std::mutex> lock(m_lock);
  double value = PriceValue(price);
  if (PriceValue(m_lowestPrice) <= 0 || PriceValue(m_lowestPrice) > value) {
    m_lowestPrice = item.price;
    m_lowestDate = item.date;
  }
  if (PriceValue(m_highestPrice) < value) {
    m_highestPrice = item.price;
    m_highestDate = item.date;
  }
  return true;
}

std::string CPriceInfo::ToCacheText() const {
  std::lock_guard<std::mutex> lock(m_lock);
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices>";
  // The summary is escaped as well: a price text holding "<" or "&" must not
  // make the whole file unreadable.
  AppendXmlElement(xml, "LPDate", XmlEscape(m_lowestDate));
  AppendXmlElement(xml, "LowestPrice", XmlEscape(m_lowestPrice));
  AppendXmlElement(xml, "HPDate", XmlEscape(m_highestDate));
  AppendXmlElement(xml, "HighestPrice", XmlEscape(m_highestPrice));
  xml += "<HPriceList>";
  for (const Point& point : m_items) {
    xml += "<HPrice>";
    AppendXmlElement(xml, "Date", AnsiToUtf8(XmlEscape(point.item.date)));
    AppendXmlElement(xml, "Price", XmlEscape(point.item.price));
    xml += "</HPrice>";
  }
  xml += "</HPriceList></HPrices>";
  return xml;
}

bool CPriceInfo::SaveCache(const std::string& path) const {
  return WriteFileAtomic(path, ToCacheText());
}

bool CPriceInfo::LoadCache(const std::string& path) {
  XmlDocument document;
  std::string bytes;
  FileStamp version;
  if (!ReadWholeFile(path, bytes, &version) || !document.LoadFromMemory(bytes)) return false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_fileVersion = version;
    struct {
      const char* tag;
      std::string* field;
    } const summary[] = {{"LPDate", &m_lowestDate},
                         {"LowestPrice", &m_lowestPrice},
                         {"HPDate", &m_highestDate},
                         {"HighestPrice", &m_highestPrice}};
    for (const auto& s : summary)
      if (document.FindChildElement(s.tag)) *s.field = document.GetChildText();
  }
  if (!document.FindChildElement("HPriceList") || !document.EnterElement()) return true;
  std::vector<CPriceInfoItem> items;
  while (document.FindChildElement("HPrice")) {
    document.EnterElement();
    CPriceInfoItem item;
    if (document.FindChildElement("Date")) item.date = document.GetChildText();
    if (document.FindChildElement("Price")) item.price = document.GetChildText();
    document.LeaveElement();
    items.push_back(std::move(item));
  }
  AddItems(items);
  return true;
}

FileStamp CPriceInfo::FileVersion() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_fileVersion;
}

void CPriceInfo::SetFileVersion(const FileStamp& version) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_fileVersion = version;
}

void CPriceInfo::MergeFrom(const CPriceInfo& other) {
  if (&other == this) return;
  std::vector<Point> theirs;
  CPriceInfoItem theirLowest, theirHighest;
  {
    std::lock_guard<std::mutex> lock(other.m_lock);
    theirs.assign(other.m_items.begin(), other.m_items.end());
    theirLowest = {other.m_lowestDate, other.m_lowestPrice};
    theirHighest = {other.m_highestDate, other.m_highestPrice};
  }
  std::lock_guard<std::mutex> lock(m_lock);
  auto key = [](const Point& point) {
    return std::make_pair(point.when, FoldCase(point.item.price));
  };
  std::set<std::pair<std::time_t, std::string>> known;
  for (const Point& point : m_items) known.insert(key(point));
  std::vector<Point> all(m_items.begin(), m_items.end());
  for (Point& point : theirs)
    if (known.insert(key(point)).second) all.push_back(std::move(point));
  if (all.size() != m_items.size()) {
    // Newest first; points of one date keep the order they had.
    std::stable_sort(all.begin(), all.end(),
                     [](const Point& a, const Point& b) { return a.when > b.when; });
    m_items.assign(std::make_move_iterator(all.begin()), std::make_move_iterator(all.end()));
  }
  // A price of 0 or none is no lowest price.
  const double ourLow = PriceValue(m_lowestPrice), theirLow = PriceValue(theirLowest.price);
  if (theirLow > 0 &&
      (ourLow <= 0 || theirLow < ourLow ||
       (theirLow == ourLow && DateValue(theirLowest.date) < DateValue(m_lowestDate)))) {
    m_lowestPrice = theirLowest.price;
    m_lowestDate = theirLowest.date;
  }
  const double ourHigh = PriceValue(m_highestPrice), theirHigh = PriceValue(theirHighest.price);
  if (theirHigh > ourHigh || (theirHigh > 0 && theirHigh == ourHigh &&
                              DateValue(theirHighest.date) < DateValue(m_highestDate))) {
    m_highestPrice = theirHighest.price;
    m_highestDate = theirHighest.date;
  }
}

void CPriceInfo::SetSummary(const CPriceInfoItem& lowest, const CPriceInfoItem& highest) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_lowestDate = lowest.date;
  m_lowestPrice = lowest.price;
  m_highestDate = highest.date;
  m_highestPrice = highest.price;
}

std::vector<CPriceInfoItem> CPriceInfo::Items() const {
  std::lock_guard<std::mutex> lock(m_lock);
  std::vector<CPriceInfoItem> items;
  items.reserve(m_items.size());
  for (const Point& point : m_items) items.push_back(point.item);
  return items;
}

size_t CPriceInfo::GetItemCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_items.size();
}

std::string CPriceInfo::GetLowestDate() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_lowestDate;
}

std::string CPriceInfo::GetLowestPrice() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_lowestPrice;
}

std::string CPriceInfo::GetHighestDate() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_highestDate;
}

std::string CPriceInfo::GetHighestPrice() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_highestPrice;
}
