#include "engine/pagecharset.h"

#include <cstring>
#include <string_view>

#include "base/codepage.h"
#include "base/stringtable.h"
#include "text/xml_encoding.h"

namespace {

// A page's <meta> charset is looked for this far into it.
constexpr size_t kHeadLength = 64 * 1024;
// Zero bytes are counted this far into a page to tell UTF-16 from 8-bit text.
constexpr size_t kSniffLength = 1024;
constexpr int kGb18030CodePage = 54936;
constexpr int kWindows1252CodePage = 1252;

// The code page a label names as web pages use it; 0 when unknown or not
// convertible. Browsers read pages labelled Latin-1 or ASCII as windows-1252
// and pages labelled GBK or GB2312 as GB18030.
int WebCodePage(const std::string& label) {
  const int codePage = EncodingCodePage(label);
  if (codePage == 28591 || codePage == 20127) return kWindows1252CodePage;
  if (codePage == kAnsiCodePage) return kGb18030CodePage;
  if (codePage == kUtf32CodePage) return 0;  // no web page is sent so
  return codePage != 0 && CodePageIconvName(codePage) ? codePage : 0;
}

bool IsWide(int codePage) { return codePage == kUtf16LECodePage || codePage == kUtf16BECodePage; }

// UTF-16 text that is mostly ASCII has a zero in every other byte: the odd
// ones in little-endian order, the even ones in big-endian order. 0 when the
// bytes don't look like UTF-16.
int SniffUtf16(std::string_view bytes) {
  const size_t length = std::min(bytes.size(), kSniffLength) & ~size_t{1};
  size_t even = 0, odd = 0;
  for (size_t i = 0; i < length; ++i)
    if (bytes[i] == '\0') ++(i % 2 ? odd : even);
  const size_t pairs = length / 2;
  if (pairs < 2) return 0;
  if (even == 0 && odd * 4 >= pairs) return kUtf16LECodePage;
  if (odd == 0 && even * 4 >= pairs) return kUtf16BECodePage;
  return 0;
}

std::string Decode(std::string_view bytes, int codePage) {
  std::string local;
  if (codePage == kGb18030CodePage) {
    local = GbkToLocal(std::string(bytes));
  } else if (codePage == kUtf8CodePage) {
    local = Utf8ToLocal(std::string(bytes));
  } else {
    if (IsWide(codePage)) bytes = bytes.substr(0, bytes.size() & ~size_t{1});
    ConvertEncoding(std::string(bytes), CodePageIconvName(codePage), kLocalCodePage, local);
  }
  const size_t zero = local.find('\0');
  if (zero != std::string::npos) local.resize(zero);
  return local;
}

std::string CodePageName(int codePage) {
  std::string name = CodePageIconvName(codePage);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name == "cp1252" ? "windows-1252" : name;
}

// A label as the user may see it: printable ASCII only, and not too long.
std::string ShownLabel(const std::string& label) {
  std::string shown;
  for (char c : label)
    if (c > ' ' && c < 0x7F && shown.size() < 40) shown += c;
  return shown;
}

PageText Read(std::string_view bytes, int codePage, const char* source) {
  PageText page;
  page.text = Decode(bytes, codePage);
  page.charset = CodePageName(codePage);
  page.source = source;
  return page;
}

struct Mark {
  const char* bytes;
  int codePage;
};
constexpr Mark kMarks[] = {{"\xEF\xBB\xBF", kUtf8CodePage},
                           {"\xFF\xFE", kUtf16LECodePage},
                           {"\xFE\xFF", kUtf16BECodePage}};

}  // namespace

PageText DecodePage(const std::string& bytes, const std::string& contentType) {
  std::string_view view(bytes);
  if (view.empty()) return PageText{};
  // The bytes themselves can't be in two character sets: a byte-order mark
  // outweighs any label, as it does in browsers.
  for (const Mark& mark : kMarks)
    if (view.starts_with(mark.bytes))
      return Read(view.substr(std::strlen(mark.bytes)), mark.codePage, "bom");

  std::string unknown;
  const std::string headerLabel = CharsetOfContentType(contentType);
  if (!headerLabel.empty()) {
    const int codePage = WebCodePage(headerLabel);
    // A 16-bit label on a body that is 8-bit text is wrong; the page says more.
    if (IsWide(codePage)) {
      if (const int sniffed = SniffUtf16(view)) return Read(view, sniffed, "header");
    } else if (codePage != 0) {
      return Read(view, codePage, "header");
    } else {
      unknown = headerLabel;
    }
  }
  if (const int sniffed = SniffUtf16(view)) return Read(view, sniffed, "utf-16 check");

  const std::string metaLabel = HtmlCharsetDeclaration(view.substr(0, kHeadLength));
  if (!metaLabel.empty()) {
    const int codePage = WebCodePage(metaLabel);
    // A page whose <meta> could be read byte by byte is no 16-bit text.
    if (IsWide(codePage)) return Read(view, kUtf8CodePage, "meta");
    if (codePage != 0) return Read(view, codePage, "meta");
    if (unknown.empty()) unknown = metaLabel;
  }
  if (IsValidUtf8(bytes)) return Read(view, kUtf8CodePage, "utf-8 check");
  if (!unknown.empty()) {
    PageText refused;
    refused.refused = LoadString(IDS_FAIL_UNKNOWN_CHARSET) + ShownLabel(unknown);
    return refused;
  }
  return Read(view, kGb18030CodePage, "default");
}
