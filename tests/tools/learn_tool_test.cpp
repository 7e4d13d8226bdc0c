// vantrelctl learn teaches the program a shop from one fetched page; the
// shop's other products are then added with the learned rules.
#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "engine/inflate.h"
#include "support/command_line.h"
#include "support/fakeshop.h"
#include "support/tool_folder.h"

namespace {

// A saved page whose pictures come from the fake shop: nothing connects
// anywhere else.
std::string SavedPage(const char* name, const std::string& pictures) {
  std::string bytes;
  EXPECT_TRUE(
      ReadWholeFile(std::string(VANTREL_TEST_SOURCE_DIR "/tests/data/pages-learn/") + name, bytes));
  std::string page = Gunzip(bytes);
  const std::string cdn = "https://cdn.nay.sk";
  for (size_t at = page.find(cdn); at != std::string::npos; at = page.find(cdn, at))
    page.replace(at, cdn.size(), pictures);
  return page;
}

TEST(VantrelctlLearn, LearnsAShopThatThenAddsItsOtherProducts) {
  ToolFolder folder;
  const TempDir& home = folder.home;
  FakeShop shop;
  shop.Page("/p/viking", SavedPage("shop-a-in-stock.html.gz", shop.Link("")));
  shop.Page("/p/garni", SavedPage("shop-a-sold-out.html.gz", shop.Link("")));
  const std::string before = home.Read("sites.xml");

  int status = -1;
  std::string out =
      RunShell(VantrelctlPath() + " learn '" + shop.Link("/p/viking") + "' 99 2>&1", status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("网页上找不到这个价格"), std::string::npos) << out;
  EXPECT_EQ(home.Read("sites.xml"), before);

  out = RunShell(VantrelctlPath() + " learn '" + shop.Link("/p/viking") + "' '13,40 €'", status);
  ASSERT_EQ(status, 0) << out;
  for (const std::string& line : {"Domain: " + shop.Host() + "\n", std::string("price: 13.40\n"),
                                  std::string("id: VR4V1B\n"), std::string("Learned: ")})
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  EXPECT_NE(home.Read("sites.xml").find("<Learned>"), std::string::npos);

  out = RunShell(VantrelctlPath() + " add '" + shop.Link("/p/garni") + "'", status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("\t54.50\t"), std::string::npos) << out;
}

}  // namespace
