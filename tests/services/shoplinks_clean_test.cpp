#include <gtest/gtest.h>

#include <string>

#include "services/shoplinks.h"
#include "support/tempdir.h"

namespace {

// The redirect wrappers links arrive in, as a user would configure them.
constexpr const char* kRedirectHosts =
    "[Hosts]\r\n"
    "AffiliateNetworkDomain=aff.example\r\n"
    "TaobaoClickHost=s.click.taobao.com\r\n"
    "JdOldUnionHost=union.360buy.com\r\n"
    "JdUnionHost=union.jd.com\r\n"
    "DangdangUnionHost=union.dangdang.com\r\n"
    "SuningUnionHost=union.suning.com\r\n"
    "GomeAffiliateHost=cps.gome.com.cn\r\n"
    "LefengTrackingHost=track.lefeng.com\r\n"
    "DomainShopSuffix=domainshop.example\r\n";

class CleanShopLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { m_home.Write("config.ini", kRedirectHosts); }
  TempDir m_home{true};
};

struct CleanCase {
  const char* shop;
  const char* link;
  const char* cleaned;
};

const CleanCase kShopCases[] = {
    {"Tao3c", "http://www.tao3c.com/product/123.html?from=x&y=1",
     "http://www.tao3c.com/product/123.html"},
    // Tao3c keeps only what ends in ".html": without it nothing is left.
    {"Tao3c", "http://www.tao3c.com/product/123", ""},
    {"Tmall", "http://detail.tmall.com/item.htm?id=123&ali_trackid=2:mm_1:abc&spm=a1z10#detail",
     "http://detail.tmall.com/item.htm?id=123"},
    {"Taobao",
     "http://s.click.taobao.com/t?e=abc&l=http://item.taobao.com/item.htm?id=5&ali_refid=a:b",
     "http://item.taobao.com/item.htm?id=5&"},
    {"Taobao", "http://item.taobao.com/item.htm?ali_trackid=1&ali_trackid=2&ali_trackid=3&id=9",
     "http://item.taobao.com/item.htm?id=9"},
    {"Taobao", "http://item.taobao.com/item.htm?id=1&pid=mm_1&unid=u&eventid=e",
     "http://item.taobao.com/item.htm?id=1&"},
    {"Amazon", "http://www.amazon.cn/dp/B00123?tag=abc-23&ascsubtag=x&ref=y",
     "http://www.amazon.cn/dp/B00123?ref=y"},
    {"JD older", "http://union.360buy.com/click?x=1&to=http://www.360buy.com/product/100.html?a=b",
     "http://www.360buy.com/product/100.html"},
    {"JD", "http://click.union.jd.com/JdClick/?unionId=1&to=http://item.jd.com/123.html?cu=true#c",
     "http://item.jd.com/123.html"},
    {"Dangdang",
     "http://union.dangdang.com/transfer.php?from=P-1&backurl=http://product.dangdang.com/"
     "product.aspx?product_id=123&ref=x&y=z",
     "http://product.dangdang.com/product.aspx?product_id=123&"},
    {"Newegg", "http://www.newegg.com.cn/Product/A1.htm?cm_mmc=abc&x=1",
     "http://www.newegg.com.cn/Product/A1.htm?x=1"},
    {"Letao", "http://www.letao.com/shoe-1.html?source=x", "http://www.letao.com/shoe-1.html"},
    {"Htjz", "http://www.htjz.com/goods/1.html?Source=abc&c=2",
     "http://www.htjz.com/goods/1.html?c=2"},
    {"111", "http://www.111.com.cn/product/1.html?tracker_u=105&x=2",
     "http://www.111.com.cn/product/1.html?x=2"},
    {"Happigo", "http://www.happigo.com/p/1.html?x=1&ref=abc",
     "http://www.happigo.com/p/1.html?x=1&"},
    {"Suning",
     "http://union.suning.com/aas/open/vistorAd.action?userId=1&vistURL=http://product.suning.com/"
     "123.html",
     "http://product.suning.com/123.html"},
    {"Gome",
     "http://cps.gome.com.cn/home/JoinUnion?sid=1&to=http://www.gome.com.cn/product/A1.html",
     "http://www.gome.com.cn/product/A1.html"},
    {"Yihaodian", "http://www.yihaodian.com/item/1?ref=1_2", "http://www.yihaodian.com/item/1"},
    {"Yihaodian", "http://item.yhd.com/item/123?ref=1_2&tp=3", "http://item.yhd.com/item/123"},
    {"Yihaodian", "http://www.1mall.com/item/5?x", "http://www.1mall.com/item/5"},
    {"domain shop", "http://www.domainshop.example/p/1.html?x=1",
     "http://www.domainshop.example/p/1.html"},
    {"K121", "http://www.k121.com/p/1.html?from=a", "http://www.k121.com/p/1.html"},
    {"Redbaby", "http://www.redbaby.com.cn/x/1.html?a", "http://www.redbaby.com.cn/x/1.html"},
    {"Womai", "http://www.womai.com/Product-1-2.htm?x=1", "http://www.womai.com/Product-1-2.htm"},
    {"Yougou", "http://www.yougou.com/c-a/sku-b.shtml?x=1",
     "http://www.yougou.com/c-a/sku-b.shtml"},
    {"Vancl", "http://item.vancl.com/1.html?ref=a", "http://item.vancl.com/1.html"},
    {"Banggo", "http://act.banggo.com/Goods/1.shtml?u=2", "http://act.banggo.com/Goods/1.shtml"},
    {"Coo8", "http://www.coo8.com/product/1.html?a=1", "http://www.coo8.com/product/1.html"},
    {"Lefeng", "http://track.lefeng.com/r?c=1&url=http://product.lefeng.com/p/1.html",
     "http://product.lefeng.com/p/1.html"},
    {"Masamaso", "http://www.masamaso.com/p/1.html?a", "http://www.masamaso.com/p/1.html"},
    {"Ikappa", "http://www.ikappa.com.cn/p/1.html?a", "http://www.ikappa.com.cn/p/1.html"},
    {"Uiyi", "http://www.uiyi.cn/p/1.html?source=abc&x=1", "http://www.uiyi.cn/p/1.html?x=1"},
    {"Yintai", "http://item.yintai.com/1.html?a=b", "http://item.yintai.com/1.html"},
};

TEST_F(CleanShopLinkTest, EveryShopRule) {
  for (const CleanCase& c : kShopCases) {
    EXPECT_EQ(CleanShopLink(c.link), c.cleaned) << c.shop << ": " << c.link;
  }
}

const CleanCase kCommonCases[] = {
    {"empty", "", ""},
    {"other shop", "http://www.example.com/p/1.html?a=1&b=2#top",
     "http://www.example.com/p/1.html?a=1&b=2"},
    {"escaped ampersands", "http://www.example.com/p?a=1&amp;b=2",
     "http://www.example.com/p?a=1&b=2"},
    // The affiliate network's wrapper goes first, then the shop's rule.
    {"affiliate network", "http://p.aff.example/c?w=1&cat=2&t=http://item.vancl.com/1.html?x=1",
     "http://item.vancl.com/1.html"},
    // Links are not decoded: what follows a wrapper stays as it is.
    {"no decoding", "http://p.aff.example/c?w=1&t=http%3A%2F%2Fwww.example.com%2F1",
     "http%3A%2F%2Fwww.example.com%2F1"},
    {"domains ignore case", "HTTP://ITEM.JD.COM/7.HTML?CU=1", "HTTP://ITEM.JD.COM/7.HTML"},
    // The first shop of the list that matches decides (Tmall before JD).
    {"first shop wins", "http://detail.tmall.com/item.htm?id=3&from=jd.com.html",
     "http://detail.tmall.com/item.htm?id=3"},
};

TEST_F(CleanShopLinkTest, StepsBeforeTheShopRules) {
  for (const CleanCase& c : kCommonCases) {
    EXPECT_EQ(CleanShopLink(c.link), c.cleaned) << c.shop << ": " << c.link;
  }
}

// A parameter is removed only where it stands as a whole name after "?" or
// "&": a name that merely ends the same way keeps the link working.
const CleanCase kFormerFaults[] = {
    {"pvid before id keeps the product id", "http://item.taobao.com/item.htm?pvid=abc&id=42&ns=1",
     "http://item.taobao.com/item.htm?pvid=abc&id=42"},
    {"spid is not pid", "http://item.taobao.com/item.htm?spid=3&id=7",
     "http://item.taobao.com/item.htm?spid=3&id=7"},
    {"utm_source is not source", "http://www.uiyi.cn/p/1.html?utm_source=abc&id=3",
     "http://www.uiyi.cn/p/1.html?utm_source=abc&id=3"},
    {"a parameter ending in tag", "http://www.amazon.cn/dp/B1?pf_tag=1&tag=x",
     "http://www.amazon.cn/dp/B1?pf_tag=1&"},
};

TEST_F(CleanShopLinkTest, FormerFaults) {
  for (const CleanCase& c : kFormerFaults) {
    EXPECT_EQ(CleanShopLink(c.link), c.cleaned) << c.shop << ": " << c.link;
  }
}

TEST_F(CleanShopLinkTest, HostileLinksOnlyGetShorter) {
  const char kWithZero[] = "http://item.jd.com/1.html\0?cu=1";
  std::string garbage;
  for (int i = 0; i < 2000; ++i)
    garbage += "id=&ali_trackid=&amp;\xFF\x81#?http://s.click.taobao.com/&l=";
  for (const std::string& link :
       {"http://item.taobao.com/item.htm?" + garbage, "http://p.aff.example/?" + garbage,
        std::string(kWithZero, sizeof(kWithZero) - 1), garbage}) {
    std::string cleaned = CleanShopLink(link);
    EXPECT_LE(cleaned.size(), link.size());
    // Nothing configured to send these links anywhere else.
    EXPECT_EQ(RewriteShopLink(link, "", ShopLinkKind::kTask), cleaned);
  }
}

TEST(CleanShopLinkUnconfigured, RedirectsStayWhenTheirHostsAreNotSet) {
  TempDir home(true);
  EXPECT_EQ(
      CleanShopLink("http://click.union.jd.com/JdClick/?u=1&to=http://item.jd.com/123.html?cu=1"),
      "http://click.union.jd.com/JdClick/?u=1&to=http://item.jd.com/123.html");
  EXPECT_EQ(CleanShopLink("http://p.aff.example/c?w=1&t=http://www.example.com/1"),
            "http://p.aff.example/c?w=1&t=http://www.example.com/1");
  // A shop whose domain is configured empty is passed over.
  home.Write("config.ini", "[Hosts]\r\nVanclSuffix=\r\n");
  EXPECT_EQ(CleanShopLink("http://item.vancl.com/1.html?ref=a"),
            "http://item.vancl.com/1.html?ref=a");
}

}  // namespace
