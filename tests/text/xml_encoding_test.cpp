#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/codepage.h"
#include "support/tempdir.h"
#include "text/xml.h"
#include "text/xml_encoding.h"

namespace {

// "价格" in GBK and UTF-8.
const std::string kGbkPrice = "\xBC\xDB\xB8\xF1";
const std::string kUtf8Price = "\xE4\xBB\xB7\xE6\xA0\xBC";

std::string Utf16LE(const std::string& utf8) {
  std::string out;
  ConvertEncoding(utf8, "UTF-8", "UTF-16LE", out);
  return out;
}

std::string Utf16BE(const std::string& utf8) {
  std::string out;
  ConvertEncoding(utf8, "UTF-8", "UTF-16BE", out);
  return out;
}

struct LoadCase {
  const char* what;
  std::string bytes;
  bool wellFormed;
  std::string text;  // GetChildText of <v> under the root
  const char* note;  // a note the log must hold, or ""
  int docFlags;
};

TEST(XmlEncoding, DetectsAndConverts) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>";
  const LoadCase cases[] = {
      {"declared utf-8", decl + "<r><v>" + kUtf8Price + "</v></r>", true, kGbkPrice, "converted_to",
       0},
      {"utf-8 mark", "\xEF\xBB\xBF<r><v>" + kUtf8Price + "</v></r>", true, kGbkPrice, "bom",
       XmlDocument::kUtf8Mark},
      {"utf-16le mark", "\xFF\xFE" + Utf16LE("<r><v>" + kUtf8Price + "</v></r>"), true, kGbkPrice,
       "bom", XmlDocument::kUtf16LE},
      {"utf-16be mark", "\xFE\xFF" + Utf16BE("<r><v>" + kUtf8Price + "</v></r>"), true, kGbkPrice,
       "endian_swap", XmlDocument::kUtf16BE},
      {"utf-16 of odd length", "\xFF\xFE" + Utf16LE("<r><v>a</v></r>") + "x", true, "a",
       "odd_length", XmlDocument::kUtf16LE},
      {"declared gbk", "<?xml version='1.0' encoding='GBK'?><r><v>" + kGbkPrice + "</v></r>", true,
       kGbkPrice, "", 0},
      {"declared gb2312 is the local code page",
       "<?xml version=\"1.0\" encoding=\"gb2312\"?><r><v>" + kGbkPrice + "</v></r>", true,
       kGbkPrice, "", 0},
      {"declared latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><v>\xE9</v></r>",
       true, "\xA8\xA6", "converted_to", 0},
      {"no declaration, first byte <, read as utf-8", "<r><v>" + kUtf8Price + "</v></r>", true,
       kGbkPrice, "converted_to", 0},
      {"no declaration, not <, valid utf-8", " <r><v>" + kUtf8Price + "</v></r>", true, kGbkPrice,
       "utf8_detection type=\"UTF-8\"", 0},
      {"no declaration, not <, not utf-8", " <r><v>" + kGbkPrice + "</v></r>", true, kGbkPrice,
       "utf8_detection type=\"ANSI\"", 0},
      {"utf-8 cut off at the end still counts", " <r><v>" + kUtf8Price + "</v></r>\xE4\xBB", true,
       kGbkPrice, "utf8_detection type=\"UTF-8\"", 0},
      {"html meta charset",
       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"/>"
       "</head><v>" +
           kGbkPrice + "</v></html>",
       true, kGbkPrice, "", 0},
      {"unknown encoding is left as it is",
       "<?xml version=\"1.0\" encoding=\"x-no-such\"?><r><v>" + kGbkPrice + "</v></r>", true,
       kGbkPrice, "unknown_encoding", 0},
      {"zero bytes removed", std::string("<r><v>a\0b</v>\0</r>", 18), true, "ab",
       "nulls_removed count=\"2\"", 0},
      {"character GBK lacks", decl + "<r><v>a\xE0\xB8\x81z</v></r>", true, "a\x81\x32\xCE\x39z",
       "converted_to encoding=\"GB18030\"", 0},
      // A declaration read byte by byte cannot be true when it names a 16-bit
      // form; the text is read as UTF-8 instead of being garbled.
      {"8-bit file claiming utf-16",
       "<?xml version=\"1.0\" encoding=\"utf-16\"?><r><v>" + kUtf8Price + "</v></r>", true,
       kGbkPrice, "encoding_ignored", 0},
      // BC and F1 are no UTF-8; DB B8 happens to be U+06F8.
      {"file claiming utf-8 holding gbk", decl + "<r><v>" + kGbkPrice + "</v></r>", true,
       "?\x81\x31\x98\x38?", "conversion_loss", 0},
      {"empty file", "", false, "", "no_root_element", 0},
  };
  for (const LoadCase& c : cases) {
    XmlDocument doc;
    EXPECT_EQ(doc.LoadFromMemory(c.bytes), c.wellFormed) << c.what;
    doc.FindChildElement("v");
    EXPECT_EQ(doc.GetChildText(), c.text) << c.what;
    EXPECT_EQ(doc.GetDocFlags(), c.docFlags) << c.what;
    if (*c.note) {
      EXPECT_NE(doc.ResultLog().find(c.note), std::string::npos)
          << c.what << " log: " << doc.ResultLog();
    }
  }
}

TEST(XmlEncoding, DeclaredEncodingScan) {
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"Big5\"?><a/>"), "Big5");
  EXPECT_EQ(DeclaredEncoding("  <?XML ENCODING = 'euc-kr' ?>"), "euc-kr");
  EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\"?><a/>"), "");
  EXPECT_EQ(DeclaredEncoding("<?xml-stylesheet encoding=\"gbk\"?>"), "");
  EXPECT_EQ(DeclaredEncoding("<!DOCTYPE html><!-- x --><HTML><HEAD><META HTTP-EQUIV=content-type "
                             "CONTENT=\"text/html;charset = big5\"></HEAD></HTML>"),
            "big5");
  // A meta element of another kind, or one after the head, does not count.
  EXPECT_EQ(DeclaredEncoding("<html><meta name=x content=\"charset=gbk\"></html>"), "");
  EXPECT_EQ(DeclaredEncoding("<html><head></head><meta http-equiv=\"Content-Type\" "
                             "content=\"text/html; charset=gbk\"></html>"),
            "");
  EXPECT_EQ(DeclaredEncoding("<body><meta http-equiv=\"Content-Type\" "
                             "content=\"text/html; charset=gbk\"></body>"),
            "");
  // Only the first 1024 bytes are looked at.
  XmlDocument doc;
  std::string late = "<r>" + std::string(1100, ' ') +
                     "<?xml version=\"1.0\" encoding=\"gbk\"?><v>" + kUtf8Price + "</v></r>";
  doc.LoadFromMemory(late);
  ASSERT_TRUE(doc.FindChildElement("v"));
  EXPECT_EQ(doc.GetChildText(), kGbkPrice);
}

TEST(XmlEncoding, NameTable) {
  const std::pair<const char*, int> known[] = {
      {"utf-8", 65001},
      {"UTF8", 65001},
      {"unicode-1-1-utf-8", 65001},
      {"gbk", 936},
      {"GB2312", 936},
      {"cp936", 936},
      {"chinese", 936},
      {"windows-936", 936},
      {"gb18030", 54936},
      {"big5", 950},
      {"utf-16", 1200},
      {"unicode", 1200},
      {"utf-16be", 1201},
      {"iso-8859-1", 28591},
      {"Latin1", 28591},
      {"us-ascii", 20127},
      {"shift_jis", 932},
      {"euc-kr", 949},
      {"UTF-32", 65005},
      {"utf-32be", 65005},
      {"utf-32-anything", 65005},
      {"no-such-name", 0},
      {"", 0},
  };
  for (const auto& [name, codePage] : known) EXPECT_EQ(EncodingCodePage(name), codePage) << name;
  EXPECT_EQ(EncodingCodePage(std::string(100, 'a')), 0);
  EXPECT_EQ(EncodingCodePage("utf-32" + std::string(94, 'x')), 0);  // 100 characters

  std::set<std::string> names;
  std::set<int> codePages;
  for (const IconvCodePage& c : IconvCodePages()) {
    EXPECT_TRUE(codePages.insert(c.codePage).second) << c.codePage;
    if (!c.iconvName) continue;
    std::string out;
    EXPECT_TRUE(ConvertEncoding("a", c.iconvName, "UTF-16LE", out)) << c.iconvName;
  }
  for (const EncodingName& e : EncodingNames()) {
    EXPECT_TRUE(names.insert(e.name).second) << "twice: " << e.name;
    EXPECT_TRUE(codePages.count(e.codePage)) << e.name << " has no converter entry";
    for (const char* p = e.name; *p; ++p) EXPECT_FALSE(*p >= 'A' && *p <= 'Z') << e.name;
  }
  EXPECT_GE(names.size(), 365u);
}

TEST(XmlEncoding, LoadFileErrors) {
  TempDir dir;
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadFile(dir.File("missing.xml")));
  EXPECT_NE(doc.ResultLog().find("<file_error msg="), std::string::npos);
  EXPECT_FALSE(doc.LoadFile(dir.Path()));  // a folder
  dir.Write("two.xml", "<a/><b/>");
  EXPECT_FALSE(doc.LoadFile(dir.File("two.xml")));
  EXPECT_TRUE(doc.FindChildElement() || doc.GetTagName() == "a");
  dir.Write("ok.xml", "\xEF\xBB\xBF<a><b>" + kUtf8Price + "</b></a>");
  EXPECT_TRUE(doc.LoadFile(dir.File("ok.xml")));
  EXPECT_EQ(doc.GetDocFlags(), XmlDocument::kUtf8Mark);
  EXPECT_EQ(doc.ResultLog().find("file_error"), std::string::npos);
}

}  // namespace
