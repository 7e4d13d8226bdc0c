#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "services/comparison.h"
#include "support/tempdir.h"

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

TEST(ComparisonCache, FileRoundTripKeepsEveryByteAndTheOrder) {
  TempDir dir(true);
  // Not in price order: a file's offers stay as the file has them.
  const std::string file = std::string(kDeclaration) +
                           "<PItems><Date>2013-02-03 04:05:06</Date><ItemID></ItemID><PItemList>"
                           "<PItem><Name>电水壶 &amp; &lt;杯&gt; &apos;x&apos; &quot;y&quot;</Name>"
                           "<Price>30.00</Price><Url>http://a.example/1?x=1&amp;y=2</Url>"
                           "<GotoUrl>http://go.example/?u=a</GotoUrl><Site>甲商城</Site></PItem>"
                           "<PItem><Name>B</Name><Price>10</Price><Url>http://b.example/2</Url>"
                           "<GotoUrl></GotoUrl><Site>Bshop</Site></PItem>"
                           "</PItemList></PItems>";
  dir.Write("c.xml", file);
  CETaoInfo comparison;
  ASSERT_TRUE(comparison.LoadCache(dir.File("c.xml")));
  EXPECT_EQ(comparison.GetDate(), "2013-02-03 04:05:06");
  EXPECT_EQ(comparison.GetComparisonLink(), "");
  auto items = comparison.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].name, Utf8ToLocal("电水壶 & <杯> 'x' \"y\""));
  EXPECT_EQ(items[0].site, Utf8ToLocal("甲商城"));
  EXPECT_EQ(items[0].url, "http://a.example/1?x=1&y=2");
  EXPECT_EQ(items[1].price, "10");
  ASSERT_TRUE(comparison.SaveCache(dir.File("again.xml")));
  EXPECT_EQ(dir.Read("again.xml"), file);
}

TEST(ComparisonCache, AnItemIdGivesTheServiceItemPage) {
  TempDir dir(true);
  IniWriteString(ProgramFile("config.ini"), "Hosts", "ComparisonItemUrl", "http://cmp.example/i/");
  dir.Write("c.xml", std::string(kDeclaration) +
                         "<PItems><Date>d</Date><ItemID>778</ItemID><PItemList><PItem><Url>u</Url>"
                         "</PItem></PItemList></PItems>");
  CETaoInfo comparison;
  ASSERT_TRUE(comparison.LoadCache(dir.File("c.xml")));
  EXPECT_EQ(comparison.GetItemID(), "778");
  EXPECT_EQ(comparison.GetComparisonLink(), "http://cmp.example/i/778.html");
  ASSERT_EQ(comparison.GetItemCount(), 1u);
  EXPECT_EQ(comparison.Items()[0].name, "");  // missing elements stay empty
  EXPECT_EQ(comparison.Items()[0].url, "u");
}

TEST(ComparisonCache, EmptyComparisonAndUnreadableFiles) {
  TempDir dir(true);
  CETaoInfo comparison;
  ASSERT_TRUE(comparison.SaveCache(dir.File("c.xml")));
  EXPECT_EQ(dir.Read("c.xml"), std::string(kDeclaration) +
                                   "<PItems><Date></Date><ItemID></ItemID><PItemList></PItemList>"
                                   "</PItems>");
  EXPECT_FALSE(comparison.LoadCache(dir.File("missing.xml")));
  dir.Write("bad.xml", "<PItems><PItemList>");
  EXPECT_FALSE(comparison.LoadCache(dir.File("bad.xml")));
  EXPECT_FALSE(comparison.SaveCache(dir.File("no/folder/c.xml")));
}

TEST(ComparisonCache, GotoUrlIsRememberedPerOffer) {
  TempDir dir(true);
  dir.Write("c.xml", std::string(kDeclaration) +
                         "<PItems><PItemList><PItem><Url>u</Url></PItem></PItemList></PItems>");
  CETaoInfo comparison;
  ASSERT_TRUE(comparison.LoadCache(dir.File("c.xml")));
  EXPECT_TRUE(comparison.SetItemGotoUrl(0, "http://go/"));
  EXPECT_FALSE(comparison.SetItemGotoUrl(1, "x"));
  EXPECT_EQ(comparison.Items()[0].gotoUrl, "http://go/");
}

}  // namespace
