// Encoding detection and conversion of files read as XML documents.
#include "text/xml_encoding.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "base/codepage.h"
#include "text/xml.h"
#include "text/xml_log.h"

namespace {

// Only this much of a file is examined for its encoding.
constexpr size_t kHeadLength = 1024;
constexpr size_t kMaxNameLength = 100;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

size_t SkipSpace(std::string_view text, size_t i) {
  while (i < text.size() && IsSpace(text[i])) ++i;
  return i;
}

// The value of attribute `name` in the inside of a tag, matched without
// regard to case; quoted or bare.
std::optional<std::string_view> AttributeValue(std::string_view tag, std::string_view name) {
  size_t i = 0;
  while (i < tag.size()) {
    i = SkipSpace(tag, i);
    size_t nameStart = i;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '/' && tag[i] != '?')
      ++i;
    std::string_view attribute = tag.substr(nameStart, i - nameStart);
    if (attribute.empty()) {
      ++i;
      continue;
    }
    i = SkipSpace(tag, i);
    if (i >= tag.size() || tag[i] != '=') continue;
    i = SkipSpace(tag, i + 1);
    std::string_view value;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      size_t close = tag.find(tag[i], i + 1);
      if (close == std::string_view::npos) close = tag.size();
      value = tag.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      size_t valueStart = i;
      while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '?' && tag[i] != '/') ++i;
      value = tag.substr(valueStart, i - valueStart);
    }
    if (EqualsNoCase(attribute, name)) return value;
  }
  return std::nullopt;
}

// The word after "charset" and "=" in a meta element's content, where ";"
// and white space separate words and "=" is a word of its own.
std::string CharsetOfContent(std::string_view content) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < content.size()) {
    char c = content[i];
    if (IsSpace(c) || c == ';') {
      ++i;
    } else if (c == '=') {
      words.push_back(content.substr(i++, 1));
    } else {
      size_t start = i;
      while (i < content.size() && !IsSpace(content[i]) && content[i] != ';' && content[i] != '=')
        ++i;
      words.push_back(content.substr(start, i - start));
    }
  }
  for (size_t w = 0; w + 2 < words.size(); ++w)
    if (EqualsNoCase(words[w], "charset") && words[w + 1] == "=") return std::string(words[w + 2]);
  return "";
}

// Skips comments, declarations and processing instructions from `i`; returns
// the position of the first tag that is none of those, or npos.
size_t FirstElementTag(std::string_view head, size_t i) {
  for (;;) {
    i = head.find('<', i);
    if (i == std::string_view::npos) return i;
    std::string_view rest = head.substr(i);
    size_t end;
    if (rest.starts_with("<!--"))
      end = head.find("-->", i + 4);
    else if (rest.starts_with("<!") || rest.starts_with("<?"))
      end = head.find('>', i + 2);
    else
      return i;
    if (end == std::string_view::npos) return end;
    i = end + 1;
  }
}

std::string_view TagNameAt(std::string_view head, size_t lt) {
  size_t i = lt + 1, start = i;
  if (i < head.size() && head[i] == '/') ++i;  // an end tag keeps its "/"
  while (i < head.size() && !IsSpace(head[i]) && head[i] != '>' && head[i] != '/') ++i;
  return head.substr(start, i - start);
}

std::string HtmlMetaCharset(std::string_view head) {
  size_t i = FirstElementTag(head, 0);
  if (i == std::string_view::npos || !EqualsNoCase(TagNameAt(head, i), "html")) return "";
  while ((i = head.find('<', i + 1)) != std::string_view::npos) {
    if (head.substr(i).starts_with("<!--")) {
      i = head.find("-->", i);
      if (i == std::string_view::npos) break;
      continue;
    }
    std::string_view name = TagNameAt(head, i);
    if (EqualsNoCase(name, "/head")) break;
    if (!EqualsNoCase(name, "meta")) continue;
    size_t end = head.find('>', i);
    if (end == std::string_view::npos) end = head.size();
    std::string_view tag = head.substr(i + 1 + name.size(), end - i - 1 - name.size());
    auto equiv = AttributeValue(tag, "http-equiv");
    if (!equiv || !EqualsNoCase(*equiv, "content-type")) continue;
    auto content = AttributeValue(tag, "content");
    if (!content) continue;
    std::string charset = CharsetOfContent(*content);
    if (!charset.empty()) return charset;
  }
  return "";
}

bool IsWideCodePage(int codePage) {
  return codePage == kUtf16LECodePage || codePage == kUtf16BECodePage ||
         codePage == kUtf32CodePage || codePage == 12000 || codePage == 12001;
}

template <typename Unit>
size_t RemoveZeros(std::basic_string<Unit>& text) {
  size_t before = text.size();
  text.erase(std::remove(text.begin(), text.end(), Unit(0)), text.end());
  return before - text.size();
}

// Valid UTF-8 throughout, where a sequence cut off at the very end counts
// as valid (the file may have been read in part).
bool LooksLikeUtf8(std::string_view text) {
  size_t end = text.size();
  // Step back over at most three continuation bytes and their lead byte.
  for (size_t back = 1; back <= 4 && back <= text.size(); ++back) {
    unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (need > back) end = text.size() - back;
    break;
  }
  return IsValidUtf8(std::string(text.substr(0, end)));
}

size_t SkipAscii(std::string_view text, size_t i) {
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  for (uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (word & kHighBits) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

size_t SkipNonAscii(std::string_view text, size_t i) {
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80) ++i;
  return i;
}

// UTF-8 to local: only the runs of non-ASCII bytes need the converter, and
// they are handed to it in one call, separated by line feeds (which no
// multi-byte form contains), so a mostly ASCII document converts quickly.
// Every "?" that comes out of the runs stands for a character lost.
std::string Utf8ToLocalByRuns(std::string_view text, size_t& lost) {
  lost = 0;
  std::string runs;
  for (size_t i = SkipAscii(text, 0); i < text.size(); i = SkipAscii(text, i)) {
    size_t start = i;
    i = SkipNonAscii(text, i);
    runs.append(text.substr(start, i - start));
    runs += '\n';
  }
  if (runs.empty()) return std::string(text);
  std::string converted;
  ConvertEncoding(runs, "UTF-8", kLocalCodePage, converted);
  lost = static_cast<size_t>(std::count(converted.begin(), converted.end(), '?'));
  std::string out;
  out.reserve(text.size());
  size_t next = 0;
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    i = SkipAscii(text, i);
    out.append(text.substr(start, i - start));
    if (i == text.size()) break;
    i = SkipNonAscii(text, i);
    size_t end = converted.find('\n', next);
    if (end == std::string::npos) end = converted.size();
    out.append(converted, next, end - next);
    next = end + 1;
  }
  return out;
}

void NoteConversion(std::string& log, size_t lost) {
  XmlNote(log, "converted_to").Text("encoding", kLocalCodePage);
  if (lost) XmlNote(log, "conversion_loss").Number("count", lost);
}

// How many more "?" the output has than the input: characters lost.
template <typename In>
size_t LostCharacters(const In& in, typename In::value_type mark, const std::string& out) {
  size_t before = static_cast<size_t>(std::count(in.begin(), in.end(), mark));
  size_t after = static_cast<size_t>(std::count(out.begin(), out.end(), '?'));
  return after > before ? after - before : 0;
}

std::string DecodeWide(std::string_view bytes, bool bigEndian, std::string& log) {
  if (bytes.size() % 2) XmlNote(log, "odd_length").Number("length", bytes.size());
  if (bigEndian) XmlNote(log, "endian_swap");
  std::u16string units(bytes.size() / 2, u'\0');
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = 0; i < units.size(); ++i) {
    unsigned first = b[2 * i], second = b[2 * i + 1];
    units[i] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
  }
  if (size_t zeros = RemoveZeros(units)) XmlNote(log, "nulls_removed").Number("count", zeros);
  std::string out = Utf16ToLocal(units);
  NoteConversion(log, LostCharacters(units, u'?', out));
  return out;
}

// The code page an 8-bit text is in; 0 when its name is not known.
int NarrowCodePage(const std::string& declared, std::string_view text, std::string& log) {
  if (!declared.empty()) {
    int codePage = EncodingCodePage(declared);
    if (codePage == 0) {
      XmlNote(log, "unknown_encoding").Text("encoding", declared);
      return 0;
    }
    // A text whose declaration could be read byte by byte is not in a 16- or
    // 32-bit form, whatever it says; converting it as such would garble it.
    if (!IsWideCodePage(codePage)) return codePage;
    XmlNote(log, "encoding_ignored").Text("encoding", declared);
    if (!text.empty() && text[0] == '<') return kUtf8CodePage;
  }
  bool utf8 = LooksLikeUtf8(text);
  XmlNote(log, "utf8_detection").Text("type", utf8 ? "UTF-8" : "ANSI");
  return utf8 ? kUtf8CodePage : kAnsiCodePage;
}

std::string DecodeNarrow(std::string_view bytes, const std::string& declared, std::string& log) {
  std::string withoutZeros;
  if (std::memchr(bytes.data(), 0, bytes.size())) {
    withoutZeros.assign(bytes);
    XmlNote(log, "nulls_removed").Number("count", RemoveZeros(withoutZeros));
    bytes = withoutZeros;
  }
  int codePage = NarrowCodePage(declared, bytes, log);
  if (codePage == 0 || codePage == kAnsiCodePage) return std::string(bytes);
  const char* iconvName = CodePageIconvName(codePage);
  if (!iconvName) {
    XmlNote(log, "unknown_encoding").Text("encoding", declared);
    return std::string(bytes);
  }
  std::string out;
  size_t lost = 0;
  if (codePage == kUtf8CodePage) {
    out = Utf8ToLocalByRuns(bytes, lost);
  } else {
    if (!ConvertEncoding(std::string(bytes), iconvName, kLocalCodePage, out))
      return std::string(bytes);
    lost = LostCharacters(bytes, '?', out);
  }
  NoteConversion(log, lost);
  return out;
}

}  // namespace

int EncodingCodePage(std::string_view name) {
  if (name.size() >= kMaxNameLength) return 0;
  if (StartsWithNoCase(name, "utf-32")) return kUtf32CodePage;
  static const std::unordered_map<std::string_view, int> byName = [] {
    std::unordered_map<std::string_view, int> map;
    for (const EncodingName& e : EncodingNames()) map.emplace(e.name, e.codePage);
    return map;
  }();
  std::string lower(name);
  for (char& c : lower) c = Lower(c);
  auto it = byName.find(lower);
  return it == byName.end() ? 0 : it->second;
}

const char* CodePageIconvName(int codePage) {
  for (const IconvCodePage& c : IconvCodePages())
    if (c.codePage == codePage) return c.iconvName;
  return nullptr;
}

std::string CharsetOfContentType(std::string_view contentType) {
  std::string charset = CharsetOfContent(contentType);
  std::string clean;
  for (char c : charset)
    if (c != '"' && c != '\'') clean += c;
  return clean;
}

std::string HtmlCharsetDeclaration(std::string_view head) {
  for (size_t i = head.find('<'); i != std::string_view::npos; i = head.find('<', i + 1)) {
    if (head.substr(i).starts_with("<!--")) {
      i = head.find("-->", i);
      if (i == std::string_view::npos) break;
      continue;
    }
    std::string_view name = TagNameAt(head, i);
    if (EqualsNoCase(name, "/head") || EqualsNoCase(name, "body")) break;
    if (!EqualsNoCase(name, "meta")) continue;
    size_t end = head.find('>', i);
    if (end == std::string_view::npos) end = head.size();
    std::string_view tag = head.substr(i + 1 + name.size(), end - i - 1 - name.size());
    if (auto charset = AttributeValue(tag, "charset"); charset && !charset->empty())
      return std::string(*charset);
    auto equiv = AttributeValue(tag, "http-equiv");
    auto content = AttributeValue(tag, "content");
    if (equiv && content && EqualsNoCase(*equiv, "content-type")) {
      std::string charset = CharsetOfContentType(*content);
      if (!charset.empty()) return charset;
    }
  }
  return "";
}

std::string DeclaredEncoding(std::string_view head) {
  size_t i = SkipSpace(head, 0);
  std::string_view rest = head.substr(i);
  if (StartsWithNoCase(rest, "<?xml") && rest.size() > 5 && (IsSpace(rest[5]) || rest[5] == '?')) {
    size_t end = rest.find("?>");
    auto value =
        AttributeValue(rest.substr(5, end == std::string_view::npos ? end : end - 5), "encoding");
    return value ? std::string(*value) : "";
  }
  return HtmlMetaCharset(head);
}

XmlDecodeResult DecodeXmlBytes(std::string_view bytes, std::string& log) {
  XmlDecodeResult result;
  if (bytes.empty()) return result;
  std::string_view head(bytes.data(), std::min(bytes.size(), kHeadLength));
  struct Mark {
    const char* bytes;
    const char* name;
    int flag;
  };
  static constexpr Mark kMarks[] = {{"\xEF\xBB\xBF", "UTF-8", XmlDocument::kUtf8Mark},
                                    {"\xFF\xFE", "UTF-16LE", XmlDocument::kUtf16LE},
                                    {"\xFE\xFF", "UTF-16BE", XmlDocument::kUtf16BE}};
  for (const Mark& mark : kMarks) {
    if (!head.starts_with(mark.bytes)) continue;
    XmlNote(log, "bom").Text("encoding", mark.name);
    result.docFlags = mark.flag;
    bytes.remove_prefix(std::strlen(mark.bytes));
    if (mark.flag == XmlDocument::kUtf8Mark)
      result.text = DecodeNarrow(bytes, "UTF-8", log);
    else
      result.text = DecodeWide(bytes, mark.flag == XmlDocument::kUtf16BE, log);
    return result;
  }
  std::string declared = DeclaredEncoding(head);
  if (declared.empty() && bytes[0] == '<') declared = "UTF-8";
  result.text = DecodeNarrow(bytes, declared, log);
  return result;
}
