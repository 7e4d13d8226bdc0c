#include <gtest/gtest.h>

#include <string>

#include "engine/urlencode.h"
#include "services/shoplinks.h"
#include "support/tempdir.h"

namespace {

// Partner values and redirects as a configured installation has them. The
// commission-link service is switched off: nothing here may ask it.
constexpr const char* kPartnerConfig =
    "[Hosts]\r\n"
    "CommissionUrl=\r\n"
    "AmazonTag=partner-23\r\n"
    "NeweggCmMmc=mmc1\r\n"
    "LetaoSource=lt\r\n"
    "K121From=k1\r\n"
    "HtjzSource=hz\r\n"
    "Shop111TrackingValue=v111\r\n"
    "DangdangRedirect=http://union.dd.example/t?from=P&backurl=\r\n"
    "SuningRedirect=http://aff.example/c?w=1&t=\r\n"
    "YixunRedirect=http://aff.example/c?w=2&t=\r\n"
    "HanduRedirect=http://aff.example/c?w=3&t=\r\n"
    "AnportRedirect=http://aff.example/c?w=4&t=\r\n"
    "AnportSuffix2=anport.example\r\n"
    "No5Redirect=http://aff.example/c?w=5&t=\r\n"
    "YintaiRedirect=http://go.yintai.example/r?urlto=\r\n"
    "EhaierRedirect=http://aff.example/c?w=6&t=\r\n"
    "EscapedRedirect=http://esc.example/r?url=\r\n"
    "EscapedType=1\r\n"
    "EscapedCn=2\r\n"
    "EscapedOther=x y\r\n"
    "EscapedAdsiteid=4\r\n";

class RewriteShopLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { m_home.Write("config.ini", kPartnerConfig); }
  std::string Rewrite(const std::string& link, const std::string& gotoUrl = "") {
    return RewriteShopLink(link, gotoUrl, ShopLinkKind::kCompPrice);
  }
  TempDir m_home{true};
};

struct RewriteCase {
  const char* rule;
  const char* link;
  std::string rewritten;
};

TEST_F(RewriteShopLinkTest, RuleKinds) {
  const RewriteCase cases[] = {
      {"append without ?", "http://www.amazon.cn/dp/B1",
       "http://www.amazon.cn/dp/B1?tag=partner-23"},
      {"append after ?", "http://www.amazon.cn/dp/B1?ie=UTF8&tag=old",
       "http://www.amazon.cn/dp/B1?ie=UTF8&&tag=partner-23"},
      {"append", "http://www.newegg.com.cn/Product/A1.htm",
       "http://www.newegg.com.cn/Product/A1.htm?cm_mmc=mmc1"},
      {"append", "http://www.letao.com/shoe-1.html", "http://www.letao.com/shoe-1.html?Source=lt"},
      {"append", "http://www.k121.com/p/1.html", "http://www.k121.com/p/1.html?from=k1"},
      {"append, lower case after ?", "http://www.htjz.com/goods/1.html",
       "http://www.htjz.com/goods/1.html?source=hz"},
      {"append, capital after &", "http://www.htjz.com/goods/1.aspx?id=3",
       "http://www.htjz.com/goods/1.aspx?id=3&Source=hz"},
      {"append a configured name", "http://www.111.com.cn/product/1.html",
       "http://www.111.com.cn/product/1.html?tracker_u=v111"},
      // The old value goes, and its "?" stays: the parameter follows "&".
      {"replaced partner value", "http://www.111.com.cn/product/1.html?tracker_u=9",
       "http://www.111.com.cn/product/1.html?&tracker_u=v111"},
      {"shop's own prefix", "http://product.dangdang.com/product.aspx?product_id=1",
       "http://union.dd.example/t?from=P&backurl=http://product.dangdang.com/"
       "product.aspx?product_id=1"},
      {"network prefix, unescaped", "http://product.suning.com/1.html?a=1",
       "http://aff.example/c?w=1&t=http://product.suning.com/1.html?a=1"},
      {"second domain of a row", "http://item.51buy.com/item-1.html",
       "http://aff.example/c?w=2&t=http://item.51buy.com/item-1.html"},
      {"second shop of a row", "http://www.hstyle.com/p/1",
       "http://aff.example/c?w=3&t=http://www.hstyle.com/p/1"},
      {"configured second domain", "http://shop.anport.example/p/1",
       "http://aff.example/c?w=4&t=http://shop.anport.example/p/1"},
      {"shop's own redirect", "http://item.yintai.com/1.html",
       "http://go.yintai.example/r?urlto=http://item.yintai.com/1.html"},
      {"last row", "http://www.ehaier.com/product/1.html",
       "http://aff.example/c?w=6&t=http://www.ehaier.com/product/1.html"},
      {"escaped prefix, always with ?", "http://www.moonbasa.com/p-1.html?x=1",
       "http://esc.example/r?url=" +
           UrlEncode("http://www.moonbasa.com/p-1.html?x=1?type=1&cn=2&other=x y&adsiteid=4")},
      {"escaped prefix, another shop", "http://www.qjherb.com/p/2.html",
       "http://esc.example/r?url=" +
           UrlEncode("http://www.qjherb.com/p/2.html?type=1&cn=2&other=x y&adsiteid=4")},
      {"unchanged row, before No5", "http://www.tiantian.com/p/1.html?no5.com.cn",
       "http://www.tiantian.com/p/1.html?no5.com.cn"},
      {"row order: No5 stands before Ehaier", "http://www.no5.com.cn/p/1.html?ehaier.com",
       "http://aff.example/c?w=5&t=http://www.no5.com.cn/p/1.html?ehaier.com"},
      {"any other link", "http://www.example.com/p/1.html", "http://www.example.com/p/1.html"},
      {"empty link", "", ""},
  };
  for (const RewriteCase& c : cases)
    EXPECT_EQ(Rewrite(c.link), c.rewritten) << c.rule << ": " << c.link;
}

TEST_F(RewriteShopLinkTest, TheLinkIsCleanedFirst) {
  EXPECT_EQ(Rewrite("http://www.amazon.cn/dp/B1?tag=someone-else&ascsubtag=z#reviews"),
            "http://www.amazon.cn/dp/B1?&tag=partner-23");
  EXPECT_EQ(Rewrite("http://www.k121.com/p/1.html?from=elsewhere"),
            "http://www.k121.com/p/1.html?from=k1");
}

TEST(RewriteShopLinkUnconfigured, EmptyPartnerValuesLeaveLinksAsTheyAre) {
  TempDir home(true);
  home.Write("config.ini", "[Hosts]\r\nCommissionUrl=\r\n");
  for (const char* link :
       {"http://www.amazon.cn/dp/B1", "http://product.dangdang.com/product.aspx?product_id=1",
        "http://www.moonbasa.com/p-1.html", "http://www.111.com.cn/product/1.html",
        "http://www.ehaier.com/product/1.html", "http://www.htjz.com/goods/1.html"}) {
    EXPECT_EQ(RewriteShopLink(link, "", ShopLinkKind::kCompPrice), link);
  }
}

TEST_F(RewriteShopLinkTest, StoredCommissionLinks) {
  const std::string jd = "http://item.jd.com/123.html";
  const std::string taobao = "http://item.taobao.com/item.htm?id=5";
  const RewriteCase cases[] = {
      {"a stored link", "http://item.jd.com/123.html?cu=1", "http://c.example/jd/1"},
      {"http:// in any case", jd.c_str(), "HTTP://C.EXAMPLE/JD/1"},
      {"false", jd.c_str(), jd},
      {"not promoted", jd.c_str(), jd},
      {"https is not taken", jd.c_str(), jd},
      {"yhd", "http://item.yhd.com/item/1?ref=2", "http://c.example/yhd/1"},
      {"taobao, long enough", taobao.c_str(), "http://c.example/taobao/long/enough/link"},
      {"taobao, shorter than the clean link", taobao.c_str(), taobao},
      {"taobao, nologin", taobao.c_str(), taobao},
  };
  const char* stored[] = {"http://c.example/jd/1",
                          "HTTP://C.EXAMPLE/JD/1",
                          "false",
                          "\xC9\xCC\xC6\xB7\xB2\xBB\xD4\xDA\xCD\xC6\xB9\xE3\xD6\xD0",
                          "https://c.example/jd/2",
                          "http://c.example/yhd/1",
                          "http://c.example/taobao/long/enough/link",
                          "http://c.example/t",
                          "nologin"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(RewriteShopLink(cases[i].link, stored[i], ShopLinkKind::kTask), cases[i].rewritten)
        << cases[i].rule << ": " << stored[i];
  }
}

}  // namespace
