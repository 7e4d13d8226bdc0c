#include "base/codepage.h"

#include <gtest/gtest.h>

namespace {

// "价格" in GBK and UTF-8.
const std::string kGbkPrice = "\xBC\xDB\xB8\xF1";
const std::string kUtf8Price = "\xE4\xBB\xB7\xE6\xA0\xBC";

TEST(CodePage, ConvertsBetweenGbkUtf8AndUtf16) {
  EXPECT_EQ(LocalToUtf8(kGbkPrice), kUtf8Price);
  EXPECT_EQ(Utf8ToLocal(kUtf8Price), kGbkPrice);
  std::u16string wide = LocalToUtf16(kGbkPrice);
  EXPECT_EQ(wide, u"\u4EF7\u683C");
  EXPECT_EQ(Utf16ToLocal(wide), kGbkPrice);
  EXPECT_EQ(Utf8ToUtf16(kUtf8Price), wide);
  EXPECT_EQ(Utf16ToUtf8(wide), kUtf8Price);
  EXPECT_EQ(LocalToUtf8("plain ascii"), "plain ascii");
}

TEST(CodePage, CharacterTheTargetLacksBecomesQuestionMark) {
  // GB18030 holds every character; a lone surrogate is none.
  EXPECT_EQ(Utf16ToLocal(u"x\xD800y"), "x?y");
  EXPECT_EQ(Utf16ToUtf8(u"x\xDC00y"), "x?y");
}

TEST(CodePage, TextGbkLacksSurvivesTheLocalCodePage) {
  for (const std::string utf8 :
       {"\xF0\x9F\x94\xA5", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "\xC2\xA5", "\xE2\x82\xAC",
        "\xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2", "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A"}) {
    EXPECT_EQ(LocalToUtf8(Utf8ToLocal(utf8)), utf8);
    EXPECT_EQ(Utf16ToUtf8(LocalToUtf16(Utf8ToLocal(utf8))), utf8);
  }
  // GBK's one-byte "€" of older files still reads as "€", and GBK text
  // keeps its bytes.
  EXPECT_EQ(LocalToUtf8("9\x80"), "9\xE2\x82\xAC");
  EXPECT_EQ(GbkToLocal("\x80\x81\x80" + kGbkPrice), "\xA2\xE3\x81\x80" + kGbkPrice);
  EXPECT_EQ(Utf8ToLocal(kUtf8Price), kGbkPrice);
}

TEST(CodePage, InvalidSourceBytesBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToLocal("a\xFF"
                        "b"),
            "a?b");
  EXPECT_EQ(Utf8ToLocal(std::string("a\xE4\xBB", 3)), "a?");  // cut in the middle
  EXPECT_EQ(LocalToUtf8("a\x81"), "a?");                      // lone lead byte
}

TEST(CodePage, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8(kUtf8Price));
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_FALSE(IsValidUtf8(kGbkPrice));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE4\xBB"));      // truncated
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(CodePage, UnknownEncodingNameFails) {
  std::string out = "x";
  EXPECT_FALSE(ConvertEncoding("abc", "NO-SUCH-ENCODING", "UTF-8", out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
