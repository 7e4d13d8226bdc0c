// A product whose name GBK can't hold keeps every character from the page
// through tasks.xml, tracking, the change text, the export and every output.
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "support/command_line.h"
#include "support/fakeshop.h"
#include "support/tool_folder.h"

namespace {

const std::string kName =
    "\xF0\x9F\x94\xA5 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xC2\xA5 \xE2\x82\xAC "
    "\xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2 \xE5\xB0\x8F\xE7\xB1\xB3";  // 🔥 한국어 ¥ € ไทย 小米

std::string Page(const std::string& price) {
  return R"(<html><head><script type="application/ld+json">{"@type":"Product","name":")" + kName +
         R"(","sku":"W-1","offers":{"price":")" + price +
         R"(","availability":"InStock"}}</script></head><body>)" + std::string(1600, '.') +
         "</body></html>";
}

TEST(WideText, NameGbkLacksSurvivesEveryStep) {
  ToolFolder folder;
  const TempDir& home = folder.home;
  FakeShop shop;
  shop.Page("/w.html", Page("99.00"));
  const std::string link = shop.Link("/w.html");
  auto run = [](const std::string& arguments) {
    int status = -1;
    const std::string out = RunShell(VantrelctlPath() + " " + arguments + " 2>&1", status);
    EXPECT_EQ(status, 0) << arguments << "\n" << out;
    return out;
  };

  EXPECT_NE(run("add '" + link + "'").find("\t" + kName + "\t99.00"), std::string::npos);
  EXPECT_NE(home.Read("tasks.xml").find("<ProductName>" + kName + "</ProductName>"),
            std::string::npos);
  EXPECT_NE(run("tasks").find(kName), std::string::npos);
  shop.Page("/w.html", Page("89.00"));
  EXPECT_NE(run("track --once")
                .find(kName + "\xE4\xBB\xB7\xE6\xA0\xBC\xE5\x8F\x98\xE4\xB8\xBA"
                              "89.00"),  // "价格变为"
            std::string::npos);
  for (const char* format : {"json", "csv"})
    EXPECT_NE(run(std::string("export --format ") + format).find(kName), std::string::npos)
        << format;
  EXPECT_NE(run("extract '" + link + "'").find("name: " + kName + "\n"), std::string::npos);
}

}  // namespace
