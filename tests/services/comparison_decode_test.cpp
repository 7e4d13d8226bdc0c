#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "services/comparison.h"
#include "support/tempdir.h"

namespace {

TEST(ComparisonDecode, ServerEscapes) {
  struct Case {
    std::string in;
    std::string out;  // UTF-8, compared in the local code page
  } const cases[] = {
      {"\\u4e2d\\u6587", "中文"},
      {"\\u4E2D-\\u6587 A", "中-文 A"},
      {"PlainShop", "PlainShop"},
      {"a\r\nb\n", "ab"},
      // Line breaks go first, so an escape broken by one still decodes.
      {"\\u4e\r\n2d", "中"},
      // Not four hexadecimal digits: left as it is.
      {"\\u4e2", "\\u4e2"},
      {"\\uZZZZ\\", "\\uZZZZ\\"},
      {"\\\\/x", "\\\\/x"},
      // A character GBK lacked and a surrogate pair survive; a lone
      // surrogate becomes "?".
      {"\\u0e01|\\ud83d\\ude00|\\ud83d|", "\u0e01|\U0001F600|?|"},
      // A zero character would cut the text short.
      {"a\\u0000b", "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeServerEscapes(c.in), Utf8ToLocal(c.out)) << c.in;
}

TEST(ComparisonDecode, TmallItemLinksMoveToTheDetailHost) {
  TempDir home(true);
  struct Case {
    const char* in;
    const char* out;
  } const cases[] = {
      {"http://item.tmall.com/item.htm?id=1", "http://detail.tmall.com/item.htm?id=1"},
      {"https://ITEM.tmall.com/a", "https://detail.tmall.com/a"},
      {"http://item.tmall.com", "http://detail.tmall.com"},
      {"http://item.tmall.com.evil.example/x", "http://item.tmall.com.evil.example/x"},
      {"http://other.example/?r=http://item.tmall.com/",
       "http://other.example/?r=http://item.tmall.com/"},
      {"http://detail.tmall.com/x", "http://detail.tmall.com/x"},
  };
  for (const Case& c : cases) EXPECT_EQ(MoveTmallItemLink(c.in), c.out) << c.in;

  // The hosts are configuration; an empty one turns the move off.
  IniWriteString(ProgramFile("config.ini"), "Hosts", "TmallItemHost", "i.shop.test");
  IniWriteString(ProgramFile("config.ini"), "Hosts", "TmallDetailHost", "d.shop.test");
  EXPECT_EQ(MoveTmallItemLink("http://i.shop.test/1"), "http://d.shop.test/1");
  IniWriteString(ProgramFile("config.ini"), "Hosts", "TmallDetailHost", "");
  EXPECT_EQ(MoveTmallItemLink("http://i.shop.test/1"), "http://i.shop.test/1");
}

}  // namespace
