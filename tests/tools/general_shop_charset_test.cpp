// A shop without rules sends pages in many character sets; the general shop
// reads each in its own, or refuses it, and never reads it as mojibake.
#include <gtest/gtest.h>

#include <string>

#include "engine/site.h"
#include "support/command_line.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

// "保温杯" in GBK and UTF-8.
const std::string kGbkName = "\xB1\xA3\xCE\xC2\xB1\xAD";
const std::string kUtf8Name = "\xE4\xBF\x9D\xE6\xB8\xA9\xE6\x9D\xAF";

std::string Product(const std::string& head, const std::string& name) {
  return "<html><head>" + head + R"(<script type="application/ld+json">{"@type":"Product",)" +
         R"("name":")" + name +
         R"(","sku":"K1","offers":{"price":"12.50"}}</script></head></html>)";
}

std::string Utf16LE(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string(1, c) + '\0';
  return bytes;
}

TEST(GeneralShopCharset, ReadsEachPageInItsOwnCharsetOrRefusesIt) {
  TempDir home(true);
  ASSERT_TRUE(CSiteList().SaveSites(home.File("sites.xml")));
  TestHttpServer shop;
  shop.Page("/meta-gbk", Product(R"(<meta charset="gbk">)", kGbkName), "text/html");
  shop.Page("/utf-16", Utf16LE(Product("", "\\u4fdd\\u6e29\\u676f")), "text/html; charset=utf-16");
  shop.Page("/unknown", Product("", kGbkName), "text/html; charset=x-klingon");
  struct Case {
    const char* path;
    const char* charsetLine;
  };
  for (const Case& c : {Case{"/meta-gbk", "charset: gb18030 (meta)\n"},
                        Case{"/utf-16", "charset: utf-16le (header)\n"}}) {
    int status = -1;
    const std::string out =
        RunShell(VantrelctlPath() + " extract --trace '" + shop.Url(c.path) + "'", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(c.charsetLine), std::string::npos) << out;
    EXPECT_NE(out.find("name: " + kUtf8Name + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("price: 12.50\n"), std::string::npos) << out;
  }
  int status = -1;
  const std::string out =
      RunShell(VantrelctlPath() + " extract '" + shop.Url("/unknown") + "' 2>&1", status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("x-klingon"), std::string::npos) << out;
  EXPECT_EQ(out.find("name:"), std::string::npos) << out;
}

}  // namespace
