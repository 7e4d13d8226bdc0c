#include "engine/site.h"

#include "text/regex.h"

namespace {

constexpr const char* kFieldNames[] = {
#define VANTREL_SITE_NAME(field) #field,
    VANTREL_SITE_FIELDS(VANTREL_SITE_NAME)
#undef VANTREL_SITE_NAME
};
static_assert(std::size(kFieldNames) == kSiteFieldCount);

constexpr SiteField kParamRegex[] = {
    SiteField::Param1Regex, SiteField::Param2Regex, SiteField::Param3Regex, SiteField::Param4Regex,
    SiteField::Param5Regex, SiteField::Param6Regex, SiteField::Param7Regex};
constexpr SiteField kParamUrl[] = {SiteField::Param1Url, SiteField::Param2Url, SiteField::Param3Url,
                                   SiteField::Param4Url, SiteField::Param5Url, SiteField::Param6Url,
                                   SiteField::Param7Url};

std::string ParamField(const CSite& site, const SiteField (&fields)[7], int n) {
  return n >= 1 && n <= 7 ? site.Field(fields[n - 1]) : std::string();
}

}  // namespace

const char* SiteFieldName(SiteField field) { return kFieldNames[static_cast<size_t>(field)]; }

bool ParamRegexField(int n, SiteField& field) {
  if (n < 1 || n > 7) return false;
  field = kParamRegex[n - 1];
  return true;
}

std::shared_ptr<const CRegexPattern> SitePatterns::Get(SiteField field,
                                                       const std::string& text) const {
  std::lock_guard<std::mutex> hold(m_lock);
  Entry& entry = m_entries[static_cast<size_t>(field)];
  if (!entry.pattern || entry.text != text) {
    entry.text = text;
    entry.pattern = std::make_shared<const CRegexPattern>(text, RX_DOT_ALL | RX_IGNORE_CASE);
  }
  return entry.pattern;
}

std::shared_ptr<const CRegexPattern> CSite::Pattern(SiteField field) const {
  return m_patterns.Get(field, Field(field));
}

std::string CSite::GetParamRegex(int n) const { return ParamField(*this, kParamRegex, n); }
std::string CSite::GetParamUrl(int n) const { return ParamField(*this, kParamUrl, n); }

void CSite::CopyFrom(const CSite& other) {
  if (&other == this) return;
  m_fields = other.m_fields;
  m_render = other.m_render;
  m_learned = other.m_learned;
}
