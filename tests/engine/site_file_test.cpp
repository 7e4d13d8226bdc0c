#include <gtest/gtest.h>

#include <string>

#include "base/files.h"
#include "engine/site.h"
#include "support/tempdir.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";
// "价格" in GBK and in UTF-8.
const std::string kGbk = "\xBC\xDB\xB8\xF1";
const std::string kUtf8 = "\xE4\xBB\xB7\xE6\xA0\xBC";

std::string Names(const CSiteList& list) {
  std::string names;
  for (const SiteRef& site : list.Snapshot())
    names += site->GetName() + "@" + site->GetDomain() + " ";
  return names;
}

std::string SitesFile(const std::string& version, const std::string& sites) {
  return kDeclaration + "<Sites>" + version + "<SiteList>" + sites + "</SiteList></Sites>";
}

TEST(SiteFile, WritesTheExactForm) {
  TempDir dir;
  CSiteList list;
  ASSERT_TRUE(list.SaveSites(dir.File("empty.xml")));
  EXPECT_EQ(dir.Read("empty.xml"),
            kDeclaration + "<Sites><Version>99999</Version><SiteList></SiteList></Sites>");

  auto site = std::make_shared<CSite>();
  site->SetName("Shop");
  site->SetDomain("shop.com");
  site->SetParam2Regex("r2");
  site->SetStockUrl("s");
  site->SetPriceImgType("t");
  list.AddSite(site);
  list.SetVersion("12");
  ASSERT_TRUE(list.SaveSites(dir.File("one.xml")));
  EXPECT_EQ(dir.Read("one.xml"),
            kDeclaration +
                "<Sites><Version>12</Version><SiteList><Site><Name>Shop</Name><GoodsUrlTpl>"
                "</GoodsUrlTpl><Domain>shop.com</Domain><Encode></Encode><Flag></Flag>"
                "<RegularExpression><IDRegex></IDRegex><Param1Regex></Param1Regex><Param2Regex>"
                "r2</Param2Regex><Param3Regex></Param3Regex><Param4Regex></Param4Regex>"
                "<Param5Regex></Param5Regex><Param6Regex></Param6Regex><Param7Regex></Param7Regex>"
                "<NameRegex></NameRegex><PriceRegex></PriceRegex><PromPriceRegex></PromPriceRegex>"
                "<StockRegex></StockRegex><ImageRegex></ImageRegex></RegularExpression><Param1Url>"
                "</Param1Url><Param2Url></Param2Url><Param3Url></Param3Url><Param4Url></Param4Url>"
                "<Param5Url></Param5Url><Param6Url></Param6Url><Param7Url></Param7Url><PriceUrl>"
                "</PriceUrl><PromPriceUrl></PromPriceUrl><StockUrl>s</StockUrl><OutOfStockFlag>"
                "</OutOfStockFlag><NoGoods></NoGoods><PriceImgTplPath></PriceImgTplPath>"
                "<PriceImgColors></PriceImgColors><PriceImgType>t</PriceImgType></Site>"
                "</SiteList></Sites>");
}

TEST(SiteFile, RoundTripOfAwkwardTexts) {
  TempDir dir;
  const std::string awkward = "a&b<c>d'e\"f " + kGbk + " &amp; ]]>";
  CSiteList list;
  auto site = std::make_shared<CSite>();
  for (size_t f = 0; f < kSiteFieldCount; ++f)
    site->SetField(static_cast<SiteField>(f), awkward + SiteFieldName(static_cast<SiteField>(f)));
  list.AddSite(site);
  list.SetVersion("1<2&" + kGbk);
  ASSERT_TRUE(list.SaveSites(dir.File("sites.xml")));
  std::string bytes = dir.Read("sites.xml");
  EXPECT_NE(bytes.find(kUtf8), std::string::npos);
  EXPECT_EQ(bytes.find(kGbk), std::string::npos);
  EXPECT_EQ(bytes.find('\n'), kDeclaration.size() - 1);  // the only line break

  CSiteList back;
  ASSERT_TRUE(back.LoadSites(dir.File("sites.xml")));
  EXPECT_EQ(back.GetVersion(), "1<2&" + kGbk);
  ASSERT_EQ(back.GetCount(), 1u);
  for (size_t f = 0; f < kSiteFieldCount; ++f) {
    SiteField field = static_cast<SiteField>(f);
    EXPECT_EQ(back.GetSiteAt(0)->Field(field), awkward + SiteFieldName(field))
        << SiteFieldName(field);
  }
}

TEST(SiteFile, LoadingMergesAndKeepsTheVersion) {
  TempDir dir;
  dir.Write("first.xml", SitesFile("<Version>5</Version>",
                                   "<Site><Name>A1</Name><Domain>a.com</Domain></Site>"
                                   "<Site><Name>B</Name><Domain>b.com</Domain></Site>"
                                   "<Site><Name>A2</Name><Domain>a.com</Domain></Site>"));
  dir.Write("second.xml", SitesFile("",
                                    "<Site><Name>SubB</Name><Domain>m.b.com</Domain></Site>"
                                    "<Site><Name>C</Name><Domain>c.com</Domain></Site>"));
  CSiteList list;
  ASSERT_TRUE(list.LoadSites(dir.File("second.xml")));
  EXPECT_EQ(list.GetVersion(), "99999");  // no Version element
  CSiteList merged;
  ASSERT_TRUE(merged.LoadSites(dir.File("first.xml")));
  EXPECT_EQ(Names(merged), "A2@a.com B@b.com ");
  ASSERT_TRUE(merged.LoadSites(dir.File("second.xml")));
  EXPECT_EQ(merged.GetVersion(), "5");
  EXPECT_EQ(Names(merged), "A2@a.com SubB@m.b.com C@c.com ");
}

// Each search starts after the element found last, so an element placed
// before one already read is passed over.
TEST(SiteFile, FieldsOutOfOrder) {
  TempDir dir;
  dir.Write("order.xml",
            SitesFile("<Version>3</Version>",
                      "<Site><Domain>d.com</Domain><Name>N</Name><Encode>gbk</Encode>"
                      "<RegularExpression><PriceRegex>p</PriceRegex><IDRegex>i</IDRegex>"
                      "</RegularExpression><StockUrl>s</StockUrl><PriceUrl>u</PriceUrl></Site>"
                      "<Other><Name>not a shop</Name></Other>"));
  CSiteList list;
  ASSERT_TRUE(list.LoadSites(dir.File("order.xml")));
  ASSERT_EQ(list.GetCount(), 1u);
  SiteRef site = list.GetSiteAt(0);
  EXPECT_EQ(site->GetName(), "N");
  EXPECT_EQ(site->GetDomain(), "");
  EXPECT_EQ(site->GetEncode(), "gbk");
  // IDRegex is read before PriceRegex, and PriceUrl before StockUrl.
  EXPECT_EQ(site->GetIDRegex(), "i");
  EXPECT_EQ(site->GetPriceRegex(), "");
  EXPECT_EQ(site->GetPriceUrl(), "u");
  EXPECT_EQ(site->GetStockUrl(), "");
}

TEST(SiteFile, SiteWithoutChildrenIsAnEmptyRecord) {
  TempDir dir;
  dir.Write("empty.xml", SitesFile("", "<Site/><Site></Site>"));
  CSiteList list;
  ASSERT_TRUE(list.LoadSites(dir.File("empty.xml")));
  // The second empty Domain contains the first: it takes its place.
  ASSERT_EQ(list.GetCount(), 1u);
  for (size_t f = 0; f < kSiteFieldCount; ++f)
    EXPECT_EQ(list.GetSiteAt(0)->Field(static_cast<SiteField>(f)), "");
}

TEST(SiteFile, FailuresChangeNothing) {
  TempDir dir;
  CSiteList list;
  list.SetVersion("7");
  list.AddSite(std::make_shared<CSite>());
  EXPECT_FALSE(list.LoadSites(dir.File("missing.xml")));
  dir.Write("broken.xml", SitesFile("<Version>8</Version>", "<Site><Name>X</Name>"));
  EXPECT_FALSE(list.LoadSites(dir.File("broken.xml")));
  dir.Write("tworoots.xml", "<Sites><Version>9</Version></Sites><Sites/>");
  EXPECT_FALSE(list.LoadSites(dir.File("tworoots.xml")));
  EXPECT_EQ(list.GetVersion(), "7");
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_FALSE(list.SaveSites(dir.File("no/such/folder/sites.xml")));
}

TEST(SiteFile, UnreadableFileIsKeptAsideBeforeSaving) {
  TempDir dir;
  const std::string broken = SitesFile("<Version>8</Version>", "<Site><Name>X");
  dir.Write("sites.xml", broken);
  CSiteList list;
  EXPECT_FALSE(list.LoadSites(dir.File("sites.xml")));
  ASSERT_TRUE(list.SaveSites(dir.File("sites.xml")));
  EXPECT_EQ(dir.Read("sites.xml.bad"), broken);
  CSiteList back;
  EXPECT_TRUE(back.LoadSites(dir.File("sites.xml")));
  // A readable file is simply replaced.
  ASSERT_TRUE(back.SaveSites(dir.File("sites.xml")));
  EXPECT_EQ(dir.Read("sites.xml.bad"), broken);
  EXPECT_FALSE(FileExists(dir.File("sites.xml.bad.bad")));
}

}  // namespace

TEST(SiteFile, RenderIsTheLastElementOfAShopThatSetsIt) {
  TempDir dir;
  CSiteList list;
  auto site = std::make_shared<CSite>();
  site->SetDomain("drawn.com");
  site->SetRender(true);
  list.AddSite(site);
  ASSERT_TRUE(list.SaveSites(dir.File("sites.xml")));
  EXPECT_NE(dir.Read("sites.xml").find("<PriceImgType></PriceImgType><Render>1</Render></Site>"),
            std::string::npos);
  const struct {
    const char* text;
    bool render;
  } cases[] = {{"1", true}, {" 1\r\n", true}, {"0", false}, {"true", false}, {"", false}};
  for (const auto& c : cases) {
    dir.Write("in.xml", SitesFile("", std::string("<Site><Domain>a.com</Domain><PriceImgType>t"
                                                  "</PriceImgType><Render>") +
                                          c.text + "</Render></Site>"));
    CSiteList loaded;
    ASSERT_TRUE(loaded.LoadSites(dir.File("in.xml")));
    EXPECT_EQ(loaded.GetSiteAt(0)->GetRender(), c.render) << c.text;
    CSite copy;
    copy.CopyFrom(*loaded.GetSiteAt(0));
    EXPECT_EQ(copy.GetRender(), c.render) << c.text;
  }
}
