#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/clock.h"
#include "base/codepage.h"
#include "engine/site.h"
#include "services/comparison.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

const char kLink[] = "http://shop.example/item/7.html";

std::string Offer(const std::string& title, const std::string& price, const std::string& url,
                  const std::string& site) {
  return "{\"title\":\"" + title + "\",\"price\":\"" + price + "\",\"url\":\"" + url +
         "\",\"site\":\"" + site + "\"}";
}

std::vector<std::string> Column(const CETaoInfo& comparison, std::string CETaoInfoItem::*field) {
  std::vector<std::string> values;
  for (const CETaoInfoItem& item : comparison.Items()) values.push_back(item.*field);
  return values;
}

std::shared_ptr<CSite> Shop(const std::string& name, const std::string& domain) {
  auto site = std::make_shared<CSite>();
  site->SetName(name);
  site->SetDomain(domain);
  return site;
}

class ComparisonFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    SetClockForTesting([] { return static_cast<std::time_t>(1357200000); });
    servers.PointProgramAt();
  }
  void TearDown() override { SetClockForTesting(nullptr); }

  TempDir home{true};
  FakeProgramServers servers;
};

TEST_F(ComparisonFetch, OffersAreInsertedByPrice) {
  servers.Comparison(kLink, "[" + Offer("a", "30", "u30", "s") + "," +
                                Offer("b", "10", "u10", "s") + "," + Offer("c", "20", "u20", "s") +
                                "," + Offer("d", "10.0", "u10b", "s") + "," +
                                Offer("e", "30", "u30b", "s") + "]");
  CETaoInfo comparison;
  comparison.FetchFromServer("n", kLink, nullptr);
  EXPECT_EQ(Column(comparison, &CETaoInfoItem::url),
            (std::vector<std::string>{"u10b", "u10", "u20", "u30", "u30b"}));
  EXPECT_EQ(Column(comparison, &CETaoInfoItem::price),
            (std::vector<std::string>{"10.0", "10", "20", "30", "30"}));  // as sent
}

TEST_F(ComparisonFetch, TitlesAndLinksAreDecoded) {
  servers.Comparison(
      kLink, Offer("\\u4e2d\\u6587 A\\/B", "1", "http:\\/\\/item.tmall.com\\/x?id=1", "SomeShop") +
                 Offer("t", "2", "http:\\/\\/b.example\\/", "\\u4e59\\/"));
  CETaoInfo comparison;
  comparison.FetchFromServer("n", kLink, nullptr);
  auto items = comparison.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].name, Utf8ToLocal("中文 A/B"));
  EXPECT_EQ(items[0].url, "http://detail.tmall.com/x?id=1");
  EXPECT_EQ(items[0].site, "SomeShop");
  EXPECT_EQ(items[0].gotoUrl, "");
  EXPECT_EQ(items[1].url, "http://b.example/");
  EXPECT_EQ(items[1].site, Utf8ToLocal("乙") + "\\/");  // the site keeps its "\/"
}

TEST_F(ComparisonFetch, ConfiguredShopsNameTheirOffers) {
  CSiteList sites;
  sites.AddSite(Shop("Second", "jia.example/sub"));
  sites.AddSite(Shop(Utf8ToLocal("甲商城"), "jia.example"));
  sites.AddSite(Shop("Nameless", ""));  // occurs in every link; must name none
  ASSERT_EQ(sites.GetCount(), 3u);
  servers.Comparison(kLink, Offer("a", "1", "http://www.jia.example/sub/1", "server name") +
                                Offer("b", "2", "http://other.example/", "Other") +
                                Offer("c", "3", "http://jia.example/2", "x"));
  CETaoInfo comparison;
  comparison.FetchFromServer("n", kLink, &sites);
  EXPECT_EQ(Column(comparison, &CETaoInfoItem::site),
            (std::vector<std::string>{"Second", "Other", Utf8ToLocal("甲商城")}));
}

TEST_F(ComparisonFetch, TheRequestCarriesLinkAndNameEncoded) {
  CETaoInfo comparison;
  comparison.FetchFromServer(Utf8ToLocal("电水壶 1.5L"), kLink, nullptr);
  ASSERT_EQ(servers.Requests(ProgramEndpoint::kComparison), 1);
  ProgramRequest request = servers.Log()[0];
  EXPECT_EQ(request.Query("url"), kLink);
  EXPECT_EQ(request.Query("name"), Utf8ToLocal("电水壶 1.5L"));  // sent in GBK
  EXPECT_NE(request.target.find("&name=%"), std::string::npos);
  EXPECT_NE(request.target.find("%201%2E5L"), std::string::npos);
}

TEST_F(ComparisonFetch, AnEmptyReplyStillMakesAFile) {
  CETaoInfo comparison;
  comparison.FetchFromServer("n", kLink, nullptr);
  EXPECT_EQ(comparison.GetItemCount(), 0u);
  EXPECT_EQ(
      comparison.ToCacheText(),
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<PItems><Date>2013-01-03 16:00:00</Date>"
      "<ItemID></ItemID><PItemList></PItemList></PItems>");
}

TEST_F(ComparisonFetch, FetchedOffersSurviveTheirFile) {
  servers.Comparison(kLink, Offer("\\u4e2d & <x>", "9.90", "http://a.example/?a=1&b=2", "\\u4e59"));
  CETaoInfo comparison;
  comparison.FetchFromServer("n", kLink, nullptr);
  ASSERT_TRUE(comparison.SaveCache(home.File("c.xml")));
  CETaoInfo again;
  ASSERT_TRUE(again.LoadCache(home.File("c.xml")));
  EXPECT_EQ(again.ToCacheText(), comparison.ToCacheText());
  EXPECT_EQ(again.Items().at(0).name, Utf8ToLocal("中 & <x>"));
}

}  // namespace
