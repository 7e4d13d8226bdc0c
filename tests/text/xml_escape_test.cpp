#include <gtest/gtest.h>

#include <string>

#include "text/xml.h"
#include "text/xml_entities.h"

namespace {

TEST(XmlEscape, EscapesAmpersandFirst) {
  EXPECT_EQ(XmlEscape("a&b<c>d'e\"f"), "a&amp;b&lt;c&gt;d&apos;e&quot;f");
  EXPECT_EQ(XmlEscape("&lt;"), "&amp;lt;");
  EXPECT_EQ(XmlEscape("\xBC\xDB plain"), "\xBC\xDB plain");
  EXPECT_EQ(XmlEscape(""), "");
  EXPECT_EQ(XmlUnescape(XmlEscape("&amp; <x> 'q' \"d\"")), "&amp; <x> 'q' \"d\"");
}

TEST(XmlEscape, UnescapesReferences) {
  const std::pair<const char*, const char*> cases[] = {
      {"a &amp; b", "a & b"},
      {"&lt;&gt;&apos;&quot;", "<>'\""},
      {"&AMP;", "&"},  // names are also tried in lower case
      {"&#65;&#x42;&#X43;", "ABC"},
      {"&#20215;&#x683C;", "\xBC\xDB\xB8\xF1"},  // "价格" as GBK
      {"&Sigma;&sigma;", "\xA6\xB2\xA6\xD2"},    // capital and small sigma stay apart
      {"&hellip;", "\xA1\xAD"},
      {"&nosuch; &#0; &#xZZ; &#; &;", "&nosuch; &#0; &#xZZ; &#; &;"},
      {"&#x110000; &#99999999999;", "&#x110000; &#99999999999;"},
      {"&#xD800;", "&#xD800;"},          // a lone surrogate is no character
      {"&#3585;", "\x81\x32\xCE\x39"},   // Thai, which GBK lacked
      {"&nbsp;", "\x81\x30\x84\x32"},    // likewise
      {"&thetasym", "&thetasym"},        // no ";"
      {"&abcdefghij;", "&abcdefghij;"},  // ten characters is too long
      {"&&amp;;", "&&;"},
      {"tail &", "tail &"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(XmlUnescape(in), out) << in;
}

TEST(XmlEscape, EntityTable) {
  EXPECT_EQ(NamedEntityCount(), 253u);
  EXPECT_EQ(NamedEntityCode("nbsp"), 160u);
  EXPECT_EQ(NamedEntityCode("yuml"), 255u);
  EXPECT_EQ(NamedEntityCode("Yuml"), 376u);
  EXPECT_EQ(NamedEntityCode("euro"), 8364u);
  EXPECT_EQ(NamedEntityCode("diams"), 9830u);
  EXPECT_EQ(NamedEntityCode("EURO"), 8364u);
  EXPECT_EQ(NamedEntityCode("unknown"), 0u);
}

TEST(XmlEscape, AnsiToUtf8) {
  EXPECT_EQ(AnsiToUtf8("\xBC\xDB\xB8\xF1"), "\xE4\xBB\xB7\xE6\xA0\xBC");
  EXPECT_EQ(AnsiToUtf8("ascii"), "ascii");
}

}  // namespace
