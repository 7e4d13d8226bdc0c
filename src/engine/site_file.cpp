// sites.xml: reading it into a CSiteList and writing the list back.
#include <initializer_list>
#include <optional>
#include <vector>

#include "base/files.h"
#include "engine/site.h"
#include "text/xml.h"

namespace {

using enum SiteField;

// The elements of a Site in the order they are written and looked for; the
// middle group sits inside a RegularExpression element.
constexpr SiteField kHeadFields[] = {Name, GoodsUrlTpl, Domain, Encode, Flag};
constexpr SiteField kRegexFields[] = {
    IDRegex,     Param1Regex, Param2Regex, Param3Regex,    Param4Regex, Param5Regex, Param6Regex,
    Param7Regex, NameRegex,   PriceRegex,  PromPriceRegex, StockRegex,  ImageRegex};
constexpr SiteField kTailFields[] = {Param1Url,       Param2Url,      Param3Url,      Param4Url,
                                     Param5Url,       Param6Url,      Param7Url,      PriceUrl,
                                     PromPriceUrl,    StockUrl,       OutOfStockFlag, NoGoods,
                                     PriceImgTplPath, PriceImgColors, PriceImgType};

// Marks a record learned from a product page; only such records have it.
constexpr const char* kLearnedElement = "Learned";

// The optional element after Learned (or after the last field); "1" turns it on.
constexpr const char* kRenderElement = "Render";

bool IsRenderOn(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  const size_t last = text.find_last_not_of(" \t\r\n");
  return first != std::string::npos && text.substr(first, last - first + 1) == "1";
}

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

template <size_t N>
void ReadFields(XmlDocument& doc, CSite& site, const SiteField (&fields)[N]) {
  for (SiteField field : fields)
    if (doc.FindChildElement(SiteFieldName(field))) site.SetField(field, doc.GetChildText());
}

std::shared_ptr<CSite> ReadSite(XmlDocument& doc) {
  auto site = std::make_shared<CSite>();
  doc.EnterElement();
  ReadFields(doc, *site, kHeadFields);
  if (doc.FindChildElement("RegularExpression")) {
    doc.EnterElement();
    ReadFields(doc, *site, kRegexFields);
    doc.LeaveElement();
  }
  ReadFields(doc, *site, kTailFields);
  if (doc.FindChildElement(kLearnedElement)) site->SetLearned(doc.GetChildText());
  if (doc.FindChildElement(kRenderElement)) site->SetRender(IsRenderOn(doc.GetChildText()));
  doc.LeaveElement();
  return site;
}

// Every text is escaped and then written in UTF-8, as the declaration says.
// Texts written in the local code page instead would not survive being read
// back as UTF-8 once they held anything but ASCII.
void AppendElement(std::string& xml, const char* name, const std::string& text) {
  AppendXmlElement(xml, name, AnsiToUtf8(XmlEscape(text)));
}

template <size_t N>
void AppendFields(std::string& xml, const CSite& site, const SiteField (&fields)[N]) {
  for (SiteField field : fields) AppendElement(xml, SiteFieldName(field), site.Field(field));
}

}  // namespace

bool CSiteList::LoadSites(const std::string& path) { return MergeFile(path, false); }

bool CSiteList::MergeFetchedSites(const std::string& path) { return MergeFile(path, true); }

bool CSiteList::MergeFile(const std::string& path, bool needShops) {
  XmlDocument doc;
  if (!doc.LoadFile(path)) return false;
  std::optional<std::string> version;
  if (doc.FindChildElement("Version")) version = doc.GetChildText();
  std::vector<SiteRef> shops;
  if (doc.FindChildElement("SiteList")) {
    doc.EnterElement();
    while (doc.FindChildElement("Site")) shops.push_back(ReadSite(doc));
    doc.LeaveElement();
  }
  if (needShops && shops.empty()) return false;
  if (version) SetVersion(*version);
  for (SiteRef& shop : shops) AddSite(std::move(shop));
  return true;
}

std::string CSiteList::ToXml() const {
  std::string xml = kDeclaration;
  xml += "<Sites>";
  AppendElement(xml, "Version", m_version);
  xml += "<SiteList>";
  for (const SiteRef& site : m_sites) {
    xml += "<Site>";
    AppendFields(xml, *site, kHeadFields);
    xml += "<RegularExpression>";
    AppendFields(xml, *site, kRegexFields);
    xml += "</RegularExpression>";
    AppendFields(xml, *site, kTailFields);
    if (site->IsLearned()) AppendElement(xml, kLearnedElement, site->GetLearned());
    // Last, and only when set: files of shops that don't
    // render stay as they were, byte for byte.
    if (site->GetRender()) AppendXmlElement(xml, kRenderElement, "1");
    xml += "</Site>";
  }
  xml += "</SiteList></Sites>";
  return xml;
}

bool CSiteList::SaveSites(const std::string& path) const {
  // A rule file that is there but unreadable may be all the rules the user
  // has; it is kept before being overwritten.
  if (FileExists(path) && !XmlDocument().LoadFile(path)) KeepAside(path);
  std::lock_guard<std::mutex> hold(m_lock);
  return WriteFileAtomic(path, ToXml());
}
