#include "services/comparison.h"

#include <cstdlib>

#include "base/codepage.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/timetext.h"
#include "engine/nocase.h"
#include "engine/site.h"
#include "engine/urlencode.h"
#include "services/programserver.h"
#include "text/regex.h"
#include "text/xml.h"

namespace {

double PriceValue(const std::string& price) { return std::atof(price.c_str()); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The UTF-16 unit of "\uXXXX" at `at`, or -1 when there is none.
int EscapedUnit(const std::string& text, size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
  int unit = 0;
  for (size_t i = at + 2; i < at + 6; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
  return text;
}

// The Name of the first configured shop whose Domain occurs in the link. A
// shop without a Domain would occur in every link, so it never names one.
std::string ConfiguredSiteName(const CSiteList* sites, const std::string& url) {
  if (!sites) return std::string();
  std::string name;
  sites->ForEachSite([&](const CSite& site) {
    const std::string& domain = site.Field(SiteField::Domain);
    if (domain.empty() || url.find(domain) == std::string::npos) return true;
    name = site.GetName();
    return false;
  });
  return name;
}

}  // namespace

std::string DecodeServerEscapes(const std::string& text) {
  std::string plain;
  plain.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') plain += c;
  std::string decoded;
  decoded.reserve(plain.size());
  // A run of escapes is converted at once, so that a surrogate pair becomes
  // one character.
  std::u16string run;
  auto flush = [&] {
    if (!run.empty()) decoded += Utf16ToLocal(run);
    run.clear();
  };
  for (size_t i = 0; i < plain.size();) {
    int unit = EscapedUnit(plain, i);
    if (unit < 0) {
      flush();
      decoded += plain[i++];
      continue;
    }
    if (unit != 0) run += static_cast<char16_t>(unit);  // a zero byte would cut the text
    i += 6;
  }
  flush();
  return decoded;
}

std::string MoveTmallItemLink(const std::string& url) {
  std::string itemHost = HostValue(kHostTmallItem);
  std::string detailHost = HostValue(kHostTmallDetail);
  if (itemHost.empty() || detailHost.empty()) return url;
  size_t scheme = url.find("://");
  size_t hostBegin = scheme == std::string::npos ? 0 : scheme + 3;
  size_t hostEnd = url.find_first_of("/?#", hostBegin);
  if (hostEnd == std::string::npos) hostEnd = url.size();
  if (!EqualNoCase(url.substr(hostBegin, hostEnd - hostBegin), itemHost)) return url;
  return url.substr(0, hostBegin) + detailHost + url.substr(hostEnd);
}

void CETaoInfo::InsertByPrice(CETaoInfoItem item) {
  double price = PriceValue(item.price);
  auto at = m_items.end();
  if (!m_items.empty() && price <= PriceValue(m_items.front().price)) {
    at = m_items.begin();
  } else if (!m_items.empty() && price < PriceValue(m_items.back().price)) {
    // After the first offer not dearer than this one whose next is not
    // cheaper.
    for (auto it = m_items.begin(); std::next(it) != m_items.end(); ++it) {
      if (PriceValue(it->price) <= price && PriceValue(std::next(it)->price) >= price) {
        at = std::next(it);
        break;
      }
    }
  }
  m_items.insert(at, std::move(item));
}

void CETaoInfo::FetchFromServer(const std::string& productName, const std::string& productLink,
                                const CSiteList* sites) {
  std::string reply =
      AskProgramServer(kHostComparison, UrlEncode(productLink) + "&name=" + UrlEncode(productName));
  static const CRegexPattern kOffer(
      "\"title\":\"(.*?)\",\"price\":\"(.*?)\",\"url\":\"(.*?)\",\"site\":\"(.*?)\"",
      RX_IGNORE_CASE | RX_DOT_ALL);
  std::vector<CETaoInfoItem> offers;
  for (const auto& record : ReplyRecords(reply, kOffer, 4)) {
    CETaoInfoItem item;
    item.name = ReplaceAll(DecodeServerEscapes(record[0]), "\\/", "/");
    item.price = record[1];
    item.url = MoveTmallItemLink(ReplaceAll(record[2], "\\/", "/"));
    item.site = DecodeServerEscapes(record[3]);
    std::string configured = ConfiguredSiteName(sites, item.url);
    if (!configured.empty()) item.site = configured;
    offers.push_back(std::move(item));
  }
  std::lock_guard<std::mutex> lock(m_lock);
  m_date = FormatNowText();
  m_itemId.clear();
  m_comparisonLink.clear();
  for (CETaoInfoItem& item : offers) InsertByPrice(std::move(item));
}

std::string CETaoInfo::ToCacheText() const {
  std::lock_guard<std::mutex> lock(m_lock);
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<PItems>";
  AppendXmlElement(xml, "Date", m_date);
  AppendXmlElement(xml, "ItemID", m_itemId);
  xml += "<PItemList>";
  for (const CETaoInfoItem& item : m_items) {
    xml += "<PItem>";
    AppendXmlElement(xml, "Name", AnsiToUtf8(XmlEscape(item.name)));
    AppendXmlElement(xml, "Price", XmlEscape(item.price));
    AppendXmlElement(xml, "Url", XmlEscape(item.url));
    AppendXmlElement(xml, "GotoUrl", XmlEscape(item.gotoUrl));
    AppendXmlElement(xml, "Site", AnsiToUtf8(XmlEscape(item.site)));
    xml += "</PItem>";
  }
  xml += "</PItemList></PItems>";
  return xml;
}

bool CETaoInfo::SaveCache(const std::string& path) const {
  return WriteFileAtomic(path, ToCacheText());
}

bool CETaoInfo::LoadCache(const std::string& path) {
  XmlDocument document;
  if (!document.LoadFile(path)) return false;
  std::lock_guard<std::mutex> lock(m_lock);
  if (document.FindChildElement("Date")) m_date = document.GetChildText();
  if (document.FindChildElement("ItemID")) m_itemId = document.GetChildText();
  if (!m_itemId.empty()) m_comparisonLink = HostValue(kHostComparisonItem) + m_itemId + ".html";
  if (!document.FindChildElement("PItemList") || !document.EnterElement()) return true;
  while (document.FindChildElement("PItem")) {
    document.EnterElement();
    CETaoInfoItem item;
    struct {
      const char* tag;
      std::string* field;
    } const fields[] = {{"Name", &item.name},
                        {"Price", &item.price},
                        {"Url", &item.url},
                        {"GotoUrl", &item.gotoUrl},
                        {"Site", &item.site}};
    for (const auto& f : fields)
      if (document.FindChildElement(f.tag)) *f.field = document.GetChildText();
    document.LeaveElement();
    m_items.push_back(std::move(item));
  }
  return true;
}

std::string CETaoInfo::GetDate() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_date;
}

std::string CETaoInfo::GetItemID() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_itemId;
}

std::string CETaoInfo::GetComparisonLink() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_comparisonLink;
}

std::vector<CETaoInfoItem> CETaoInfo::Items() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_items;
}

size_t CETaoInfo::GetItemCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_items.size();
}

bool CETaoInfo::SetItemGotoUrl(size_t index, const std::string& gotoUrl) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (index >= m_items.size()) return false;
  m_items[index].gotoUrl = gotoUrl;
  return true;
}
