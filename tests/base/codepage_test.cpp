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
  // Thai letters and emoji have no GBK form.
  EXPECT_EQ(Utf8ToLocal("a\xE0\xB8\x81" "b\xF0\x9F\x98\x80" "c"), "a?b?c");
  EXPECT_EQ(Utf16ToLocal(u"x\U0001F600y"), "x?y");
}

TEST(CodePage, InvalidSourceBytesBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToLocal("a\xFF" "b"), "a?b");
  EXPECT_EQ(Utf8ToLocal(std::string("a\xE4\xBB", 3)), "a?");  // cut in the middle
  EXPECT_EQ(LocalToUtf8("a\x81"), "a?");                      // lone lead byte
}

TEST(CodePage, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8(kUtf8Price));
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_FALSE(IsValidUtf8(kGbkPrice));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE4\xBB"));          // truncated
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(CodePage, UnknownEncodingNameFails) {
  std::string out = "x";
  EXPECT_FALSE(ConvertEncoding("abc", "NO-SUCH-ENCODING", "UTF-8", out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
