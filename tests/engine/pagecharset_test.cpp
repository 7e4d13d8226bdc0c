// Pages of shops without rules are read in their own character set.
#include "engine/pagecharset.h"

#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"

namespace {

std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

struct CharsetCase {
  const char* what;
  std::string bytes;
  std::string contentType;
  std::string utf8;  // the text expected, or "" when the page is refused
  std::string charset;
  std::string source;
};

TEST(PageCharset, FindsEachPagesCharset) {
  const std::string gbk = "<p>\xBC\xDB\xB8\xF1</p>";  // "价格"
  const std::string utf8 = "<p>\xE4\xBB\xB7\xE6\xA0\xBC</p>";
  const std::string metaGbk = "<html><head><meta charset=\"gbk\"></head>" + gbk;
  const std::string equiv =
      "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
      "</head>";
  const CharsetCase cases[] = {
      {"header", gbk, "text/html; charset=GBK", utf8, "gb18030", "header"},
      {"quoted header", utf8, "text/html; charset=\"utf-8\"; q=1", utf8, "utf-8", "header"},
      {"bom over header", "\xEF\xBB\xBF" + utf8, "text/html; charset=iso-8859-1", utf8, "utf-8",
       "bom"},
      {"utf-16 bom", "\xFF\xFE" + Utf16(u"<p>\u4EF7\u683C</p>", false), "", utf8, "utf-16le",
       "bom"},
      {"utf-16 label", Utf16(u"<p>\u4EF7\u683C</p>", true), "text/html; charset=utf-16", utf8,
       "utf-16be", "header"},
      {"utf-16 unlabelled", Utf16(u"<p>\u4EF7\u683C</p>", false), "", utf8, "utf-16le",
       "utf-16 check"},
      {"utf-16 label on 8-bit text", metaGbk, "text/html; charset=utf-16",
       "<html><head><meta charset=\"gbk\"></head>" + utf8, "gb18030", "meta"},
      {"meta only", metaGbk, "text/html", "<html><head><meta charset=\"gbk\"></head>" + utf8,
       "gb18030", "meta"},
      {"latin-1 read as windows-1252", equiv + "9\x80", "", equiv + "9\xE2\x82\xAC", "windows-1252",
       "meta"},
      {"valid utf-8", utf8, "", utf8, "utf-8", "utf-8 check"},
      {"gbk otherwise", gbk, "", utf8, "gb18030", "default"},
      {"unknown label, utf-8 bytes", utf8, "text/html; charset=x-nonsense", utf8, "utf-8",
       "utf-8 check"},
      {"unknown label, other bytes", gbk, "text/html; charset=x-nonsense", "", "", ""},
      {"unknown meta, other bytes", "<meta charset=\"klingon\">" + gbk, "", "", "", ""},
  };
  for (const CharsetCase& c : cases) {
    SCOPED_TRACE(c.what);
    const PageText page = DecodePage(c.bytes, c.contentType);
    EXPECT_EQ(LocalToUtf8(page.text), c.utf8);
    EXPECT_EQ(page.charset, c.charset);
    EXPECT_EQ(page.source, c.source);
    EXPECT_EQ(page.refused.empty(), !c.utf8.empty()) << LocalToUtf8(page.refused);
  }
}

}  // namespace
