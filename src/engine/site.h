#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One shop's rules: its name and host, the character set of its pages, the
// patterns that pull the product's values out of them, the request templates,
// the stock markers and the settings of the price-image reader. All of it is
// data of sites.xml; nothing of any shop is built in.

// The 33 fields, in the order records declare them; each is also the name of
// its sites.xml element.
#define VANTREL_SITE_FIELDS(X)                                                                  \
  X(Name)                                                                                       \
  X(Domain)                                                                                     \
  X(Encode)                                                                                     \
  X(ImageRegex) X(NameRegex) X(IDRegex) X(PriceRegex) X(StockRegex) X(OutOfStockFlag)           \
      X(Param1Regex) X(Param2Regex) X(Param3Regex) X(Param4Regex) X(Param5Regex) X(Param6Regex) \
          X(Param7Regex) X(PriceUrl) X(StockUrl) X(Param1Url) X(Param2Url) X(Param3Url)         \
              X(Param4Url) X(Param5Url) X(Param6Url) X(Param7Url) X(PriceImgTplPath)            \
                  X(PriceImgType) X(PriceImgColors) X(GoodsUrlTpl) X(PromPriceUrl)              \
                      X(PromPriceRegex) X(Flag) X(NoGoods)

enum class SiteField : int {
#define VANTREL_SITE_ENUM(field) field,
  VANTREL_SITE_FIELDS(VANTREL_SITE_ENUM)
#undef VANTREL_SITE_ENUM
};

inline constexpr size_t kSiteFieldCount = 33;

// The element name of a field in sites.xml.
const char* SiteFieldName(SiteField field);
// Param1Regex ... Param7Regex by number; false for a number outside 1 to 7.
bool ParamRegexField(int n, SiteField& field);

class CRegexPattern;

// The compiled patterns of a record's fields, each kept with the text it was
// compiled from, so that a field set afterwards is compiled again. A copy of
// a record starts without patterns.
class SitePatterns {
 public:
  SitePatterns() = default;
  SitePatterns(const SitePatterns&) {}
  SitePatterns& operator=(const SitePatterns&) { return *this; }
  std::shared_ptr<const CRegexPattern> Get(SiteField field, const std::string& text) const;

 private:
  struct Entry {
    std::string text;
    std::shared_ptr<const CRegexPattern> pattern;
  };
  mutable std::mutex m_lock;
  mutable std::array<Entry, kSiteFieldCount> m_entries;
};

class CSite {
 public:
  CSite() = default;
  virtual ~CSite() = default;
  CSite(const CSite&) = default;
  CSite& operator=(const CSite&) = default;

#define VANTREL_SITE_ACCESSORS(field)                                                        \
  std::string Get##field() const { return m_fields[static_cast<size_t>(SiteField::field)]; } \
  void Set##field(const std::string& value) {                                                \
    m_fields[static_cast<size_t>(SiteField::field)] = value;                                 \
  }
  VANTREL_SITE_FIELDS(VANTREL_SITE_ACCESSORS)
#undef VANTREL_SITE_ACCESSORS

  // Param1Regex ... Param7Regex and Param1Url ... Param7Url by number; "" for
  // a number outside 1 to 7.
  std::string GetParamRegex(int n) const;
  std::string GetParamUrl(int n) const;

  const std::string& Field(SiteField field) const { return m_fields[static_cast<size_t>(field)]; }
  void SetField(SiteField field, std::string value) {
    m_fields[static_cast<size_t>(field)] = std::move(value);
  }

  // Element Render of sites.xml, written only when set ("1"): the shop
  // draws its pages with scripts, so they are read as a browser draws them.
  bool GetRender() const { return m_render; }
  void SetRender(bool render) { m_render = render; }

  // Copies every field of `other`; copying a record onto itself does nothing.
  void CopyFrom(const CSite& other);

  // When the record was learned from one of the shop's pages (a local time
  // text), or "" for rules that people wrote. sites.xml keeps it in the
  // optional element Learned after the last element of a record, written
  // only when set.
  const std::string& GetLearned() const { return m_learned; }
  void SetLearned(const std::string& when) { m_learned = when; }
  bool IsLearned() const { return !m_learned.empty(); }

  // The field's pattern compiled as rule patterns are (RX_DOT_ALL |
  // RX_IGNORE_CASE), compiled once per record: a rules refresh puts new
  // records in, and the patterns of the old rules go with them.
  std::shared_ptr<const CRegexPattern> Pattern(SiteField field) const;

 private:
  std::array<std::string, kSiteFieldCount> m_fields;
  bool m_render = false;
  std::string m_learned;
  SitePatterns m_patterns;
};

// Records are handed out shared, so a rules refresh that replaces a record
// cannot free it under a tracking pass that still reads it.
using SiteRef = std::shared_ptr<const CSite>;

// All shops' rules in their order, with the version of the rule file.
class CSiteList {
 public:
  CSiteList();
  virtual ~CSiteList();
  CSiteList(const CSiteList&) = delete;
  CSiteList& operator=(const CSiteList&) = delete;

  // "99999" until a file with a Version element is loaded.
  std::string GetVersion() const;
  void SetVersion(const std::string& version);

  // Merges the shops of a sites.xml file into the list (see AddSite). False,
  // and nothing changed, when the file can't be loaded as a document.
  bool LoadSites(const std::string& path);
  // The same for a rule file just fetched to replace the rules: a document
  // without a single shop is a failed fetch too, and changes nothing.
  bool MergeFetchedSites(const std::string& path);
  // Writes the list as sites.xml, atomically. A file there that cannot be
  // read as a document is first kept aside as path + ".bad".
  bool SaveSites(const std::string& path) const;

  // Appends the record, true; or, when an existing record's Domain occurs in
  // the new record's Domain, puts the new record in the first such record's
  // place, false.
  bool AddSite(SiteRef site);
  // Puts the record at that position; false when there is no such position.
  bool ReplaceSiteAt(size_t index, SiteRef site);
  // Takes the record named `name` (without regard to case) out of the list;
  // false when there is none.
  bool RemoveSite(const std::string& name);

  // The first record whose Name equals the text without regard to case.
  SiteRef FindSiteByName(const std::string& name) const;
  // The first record whose Domain equals the text without regard to case.
  SiteRef FindSiteByDomain(const std::string& domain) const;
  // The first record with a non-empty Flag that occurs in the page.
  SiteRef FindSiteInPage(const std::string& page) const;

  size_t GetCount() const;
  SiteRef GetSiteAt(size_t index) const;
  // The records as they are now, for walks that must not hold the lock.
  std::vector<SiteRef> Snapshot() const;
  // Calls `visit` for each record in order until it returns false.
  void ForEachSite(const std::function<bool(const CSite&)>& visit) const;

 private:
  SiteRef FindFirst(const std::function<bool(const CSite&)>& match) const;
  bool MergeFile(const std::string& path, bool needShops);
  std::string ToXml() const;

  mutable std::mutex m_lock;
  std::string m_version;
  std::vector<SiteRef> m_sites;
};
