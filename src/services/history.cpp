#include "services/history.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/files.h"
#include "base/timetext.h"
#include "engine/nocase.h"
#include "engine/urlencode.h"
#include "services/programserver.h"
#include "text/regex.h"
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

}  // namespace

void CPriceInfo::TakeIntoSummary(const CPriceInfoItem& item) {
  std::lock_guard<std::mutex> lock(m_lock);
  double price = PriceValue(item.price);
  if (m_lowestPrice.empty() || price < PriceValue(m_lowestPrice)) {
    m_lowestPrice = item.price;
    m_lowestDate = item.date;
  }
  if (price > PriceValue(m_highestPrice)) {
    m_highestPrice = item.price;
    m_highestDate = item.date;
  }
}

void CPriceInfo::FetchFromServer(const std::string& productLink, const std::string& currentPrice) {
  std::string reply = AskProgramServer(kHostHistory, UrlEncode(productLink));
  static const CRegexPattern kPoint("\"t\":\"(.*?)\",\"p\":\"(.*?)\"", RX_IGNORE_CASE | RX_DOT_ALL);
  for (const auto& record : ReplyRecords(reply, kPoint, 2)) {
    double price = PriceValue(record[1]);
    // A hostile "nan" or "inf" is no price either.
    if (price == 0 || !std::isfinite(price)) continue;
    auto seconds = static_cast<std::time_t>(std::strtoll(record[0].c_str(), nullptr, 10));
    CPriceInfoItem item{FormatTimeText(seconds), FormatPrice(price)};
    TakeIntoSummary(item);
    AddItem(item);
  }

  double current = PriceValue(currentPrice);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_items.empty() && (current <= 0 || current == PriceValue(m_items.front().item.price)))
      return;
  }
  AddCurrentPrice(currentPrice);
}

bool CPriceInfo::AddItem(const CPriceInfoItem& item) {
  Point point{item, DateValue(item.date)};
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

bool CPriceInfo::AddCurrentPrice(const std::string& price) {
  CPriceInfoItem item{FormatNowText(), price};
  if (!AddItem(item)) return false;
  std::lock_guard<std::mutex> lock(m_lock);
  double value = PriceValue(price);
  if (m_lowestPrice.empty() || PriceValue(m_lowestPrice) > value) {
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
  if (!document.LoadFile(path)) return false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
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
  while (document.FindChildElement("HPrice")) {
    document.EnterElement();
    CPriceInfoItem item;
    if (document.FindChildElement("Date")) item.date = document.GetChildText();
    if (document.FindChildElement("Price")) item.price = document.GetChildText();
    document.LeaveElement();
    AddItem(item);
  }
  return true;
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
