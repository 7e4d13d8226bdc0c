#include "engine/priceimg.h"

#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/hosts.h"
#include "base/programdir.h"
#include "engine/spider.h"

namespace {

// Newegg's price images draw 0 and 8 so alike that both templates match; the
// middle bar decides. An empty configured domain turns the rule off.
bool IsNeweggShop(const std::string& domain) {
  std::string newegg = HostValue(kHostNewegg);
  return !newegg.empty() && domain.find(newegg) != std::string::npos;
}

std::string ColorKey(const ImageColor& c) {
  char key[16];
  std::snprintf(key, sizeof(key), "%d,%d,%d", c.r, c.g, c.b);
  return key;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t length = std::char_traits<char>::length(prefix);
  return text.size() >= length && !strncasecmp(text.c_str(), prefix, length);
}

void EraseAll(std::string& text, const std::string& what, bool ignoreCase) {
  if (what.empty()) return;
  size_t pos = 0;
  while (pos + what.size() <= text.size()) {
    bool same = ignoreCase ? !strncasecmp(text.c_str() + pos, what.c_str(), what.size())
                           : text.compare(pos, what.size(), what) == 0;
    if (same) {
      text.erase(pos, what.size());
    } else {
      ++pos;
    }
  }
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (size_t pos = text.find(what); pos != std::string::npos;
       pos = text.find(what, pos + with.size())) {
    text.replace(pos, what.size(), with);
  }
}

// Every download gets its own file, so passes reading price images at the
// same time never load each other's picture.
std::string TemporaryImageFile() {
  static std::atomic<unsigned long> counter{0};
  char name[64];
  std::snprintf(name, sizeof(name), "temp/priceimg_%ld_%lu.img", static_cast<long>(getpid()),
                counter.fetch_add(1));
  return ProgramFile(name);
}

bool DownloadImage(const std::string& link, std::string& bytes) {
  std::string file = TemporaryImageFile();
  MakePrivateDirectories(ProgramFile("temp"));
  CSpider spider;
  bool ok = spider.DownloadFile(link, file) && ReadWholeFile(file, bytes);
  DeleteFile(file);
  return ok;
}

bool IsBlankColumn(const CPriceImg::TextMask& mask, int x) {
  for (int y = 0; y < mask.Height(); ++y) {
    if (mask.At(x, y)) return false;
  }
  return true;
}

}  // namespace

CPriceImg::TextMask::TextMask(const CImage& image, const std::set<std::string>& colors)
    : m_width(image.Width()), m_height(image.Height()) {
  m_bits.assign(static_cast<size_t>(m_width) * m_height, 0);
  // Colour keys are compared as texts; a cache keeps that to one lookup per
  // distinct colour.
  std::map<uint32_t, bool> known;
  for (int y = 0; y < m_height; ++y) {
    for (int x = 0; x < m_width; ++x) {
      ImageColor c = image.GetPixelColor(x, y);
      uint32_t rgb = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
      auto it = known.find(rgb);
      if (it == known.end()) it = known.emplace(rgb, colors.count(ColorKey(c)) > 0).first;
      m_bits[Index(x, y)] = it->second;
    }
  }
}

CPriceImg::CPriceImg(const std::string& templateFolder, const std::string& imageType,
                     const std::string& colors)
    : m_folder(templateFolder),
      m_type(imageType),
      m_format(ImageFormatFromType(imageType)),
      m_colors(SplitColors(colors)) {
  ReplaceAll(m_folder, "\\", "/");
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
  LoadTemplates();
}

std::set<std::string> CPriceImg::SplitColors(const std::string& colors) {
  std::set<std::string> keys;
  size_t start = 0;
  for (size_t bar = colors.find('|'); bar != std::string::npos && bar > 0;
       bar = colors.find('|', start)) {
    keys.insert(colors.substr(start, bar - start));
    start = bar + 1;
  }
  if (colors.empty() || colors.back() != '|') keys.insert(colors.substr(start));
  return keys;
}

std::string CPriceImg::TemplateCharacter(const std::string& fileName,
                                         const std::string& imageType) {
  std::string name = fileName;
  if (ImageFormatFromType(imageType) != ImageFormat::kUnknown) {
    // File names are compared without case, as on the systems the template
    // folders were made for.
    EraseAll(name, "." + imageType, true);
  } else if (size_t dot = name.rfind('.'); dot != std::string::npos) {
    name.erase(dot);
  }
  EraseAll(name, "_2", false);
  // A sign such as the currency sign is matched so that it is not misread as
  // a digit, but adds nothing.
  if (name.find("flag") != std::string::npos) return "";
  ReplaceAll(name, "pot", ".");
  return name;
}

void CPriceImg::LoadTemplates() {
  std::error_code error;
  std::filesystem::directory_iterator it(m_folder, error);
  if (error) return;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    if (!it->is_regular_file(error)) continue;
    std::string name = it->path().filename().string();
    CImage image;
    // A file that does not decode stays in the map as a template without
    // text pixels: it never matches, but it still counts as present.
    image.Load(it->path().string(), m_format);
    m_templates[name] = Template{TemplateCharacter(name, m_type), TextMask(image, m_colors)};
  }
}

std::string PriceImageLink(const std::string& text, const std::string& domain) {
  if (StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://")) return text;
  if (text.rfind("//", 0) == 0) return "http:" + text;
  const std::string host = domain.substr(0, domain.find('|'));
  if (text.rfind("/", 0) == 0 && !host.empty()) return "http://" + host + text;
  return std::string();
}

std::string CPriceImg::RecognizePrice(const std::string& link, const std::string& domain) const {
  std::string bytes;
  if (StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://")) {
    if (!DownloadImage(link, bytes)) return "";
  } else if (!ReadWholeFile(link, bytes)) {
    return "";
  }
  return RecognizeImageBytes(bytes, domain);
}

std::string CPriceImg::RecognizeImageBytes(const std::string& bytes,
                                           const std::string& domain) const {
  CImage image;
  if (!image.LoadFromMemory(bytes, m_format)) return "";
  return Recognize(image, domain);
}

std::string CPriceImg::Recognize(const CImage& image, const std::string& domain) const {
  if (!image.IsValid()) return "";
  TextMask price(image, m_colors);
  bool newegg = IsNeweggShop(domain);
  std::string result;
  int x = 0;
  for (;;) {
    int start = x;
    while (start < price.Width() && IsBlankColumn(price, start)) ++start;
    if (start >= price.Width()) break;
    int end = start;
    while (end + 1 < price.Width() && !IsBlankColumn(price, end + 1)) ++end;
    result += MatchGlyph(price, start, end, newegg);
    if (end + 1 >= price.Width()) break;
    x = end + 1;
  }
  return result;
}

bool TemplateMatches(const CPriceImg::TextMask& tpl, const CPriceImg::TextMask& price, int start,
                     int end) {
  long n = 0;
  long m = 0;
  for (int i = 0; i <= end - start; ++i) {
    for (int y = 0; y < price.Height(); ++y) {
      if (!tpl.At(i, y)) continue;
      ++n;
      if (price.At(start + i, y)) ++m;
    }
  }
  return n > 0 && static_cast<double>(m) / static_cast<double>(n) > CPriceImg::kMatchThreshold;
}

std::string CPriceImg::MatchGlyph(const TextMask& price, int start, int end, bool newegg) const {
  for (const auto& [name, tpl] : m_templates) {
    if (!TemplateMatches(tpl.mask, price, start, end)) continue;
    if (newegg && tpl.character == "0" && EightAlsoMatches(price, start, end)) {
      return price.At(start + 4, 7) && price.At(start + 5, 7) ? "8" : "0";
    }
    return tpl.character;
  }
  return "";
}

bool CPriceImg::EightAlsoMatches(const TextMask& price, int start, int end) const {
  std::string eight = "8." + m_type;
  for (const auto& [name, tpl] : m_templates) {
    if (!strcasecmp(name.c_str(), eight.c_str())) {
      return TemplateMatches(tpl.mask, price, start, end);
    }
  }
  return true;
}
