#include "engine/urlencode.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlEncode, KeepsLettersAndDigitsAndEscapesEverythingElse) {
  EXPECT_EQ(UrlEncode(""), "");
  EXPECT_EQ(UrlEncode("Ab9"), "Ab9");
  EXPECT_EQ(UrlEncode("a b\tc\nd\ve\ff\rg"), "a%20b%20c%20d%20e%20f%20g");
  EXPECT_EQ(UrlEncode("SN_001"), "SN%5F001");
  EXPECT_EQ(UrlEncode("-_.~/?=&"), "%2D%5F%2E%7E%2F%3F%3D%26");
  EXPECT_EQ(UrlEncode("\xBC\xDB"), "%BC%DB");  // both bytes of a GBK character
  EXPECT_EQ(UrlEncode(std::string("\0\xFF", 2)), "%00%FF");
}

}  // namespace
