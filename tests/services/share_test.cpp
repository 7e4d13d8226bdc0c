// Share pages: the exact address each of the nine sites is given for a
// product and for the program, the sentences, and when nothing is shared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "engine/task.h"
#include "engine/urlencode.h"
#include "services/share.h"
#include "support/tempdir.h"

namespace {

// "电水壶 & 杯" (kettle & cup): blanks and Chinese in one product name.
const std::string kNameGbk = "\xB5\xE7\xCB\xAE\xBA\xF8 & \xB1\xAD";
const std::string kNameUtf8Esc = "%E7%94%B5%E6%B0%B4%E5%A3%B6%20%26%20%E6%9D%AF";
const std::string kNameGbkEsc = "%B5%E7%CB%AE%BA%F8%20%26%20%B1%AD";
const std::string kTitle = "洛纳万特尔";
const std::string kLink = "http://shop.example/item/7.html";
const std::string kLinkEsc = "http%3A%2F%2Fshop%2Eexample%2Fitem%2F7%2Ehtml";
const std::string kPicture = "http://img.example/p 1.jpg";
const std::string kPictureEsc = "http%3A%2F%2Fimg%2Eexample%2Fp%201%2Ejpg";

std::string ProductSentence(const std::string& appName) {
  return "我用 @" + appName +
         " 跟踪 电水壶 & 杯，东西很喜欢，一旦降价，立即出手，大家一起来关注吧！";
}
std::string Esc(const std::string& utf8) { return UrlEncode(utf8); }
std::string EscGbk(const std::string& utf8) { return UrlEncode(Utf8ToLocal(utf8)); }

class ShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* keys[] = {"ShareQzoneUrl",  "ShareSinaUrl",   "ShareQQWeiboUrl",
                          "ShareRenrenUrl", "ShareKaixinUrl", "ShareDoubanUrl",
                          "ShareSohuUrl",   "ShareBaiduUrl",  "ShareNeteaseUrl"};
    for (int i = 0; i < kShareSiteCount; ++i) Host(keys[i], Endpoint(i));
    Host("ShareSinaAppKey", "1234");
    Host("ShareQQWeiboAppKey", "5678");
    Host("ShareRenrenAccount", "600123");
    Host("HomePageUrl", "http://home.example/");
    Host("LogoUrl", "http://home.example/logo.png");
    CTaskValues v;
    v.url = kLink;
    v.productName = kNameGbk;
    v.imageLink = kPicture;
    v.status = 1;
    m_task = std::make_shared<CTask>(v);
    SetLinkOpener([this](const std::string& utf8) { m_opened.push_back(utf8); });
  }
  void TearDown() override { SetLinkOpener({}); }

  static std::string Endpoint(int site) {
    const char* key[] = {
        "url=", "url=", "url=", "resourceUrl=", "url=", "href=", "url=", "url=", "link="};
    return "http://share" + std::to_string(site) + ".example/s?" + key[site];
  }
  void Host(const std::string& key, const std::string& value) {
    IniWriteString(ProgramFile("config.ini"), "Hosts", key, value);
  }

  TempDir m_home{true};
  std::shared_ptr<CTask> m_task;
  std::vector<std::string> m_opened;
};

TEST_F(ShareTest, ProductAddressOfEverySite) {
  const std::string s = Esc(ProductSentence(kTitle));
  const std::string title = Esc(kTitle);
  const std::string expected[kShareSiteCount] = {
      kLinkEsc + "&title=" + kNameUtf8Esc + "&summary=&desc=" + s + "&site=" + title +
          "&pics=" + kPictureEsc,
      kLinkEsc + "&appkey=1234&title=" + s + "&pic=" + kPictureEsc,
      kLinkEsc + "&title=" + s + "&pic=" + kPictureEsc + "&appkey=5678",
      kLinkEsc + "&title=" + kNameUtf8Esc + "&message=" +
          Esc(ProductSentence(kTitle + "(600123)")) + "&pic=" + kPictureEsc + "&charset=UTF-8",
      kLinkEsc + "&content=" + s + "&pic=" + kPictureEsc + "&aid=0&style=11&stime=&sig=",
      kLinkEsc + "&name=" + kNameGbkEsc + "&text=" + s + "&image=" + kPictureEsc,
      kLinkEsc + "&title=" + EscGbk(ProductSentence(kTitle)) + "&pic=" + kPictureEsc,
      kLinkEsc + "&title=" + s,
      "http%3A%2F%2Fhome%2Eexample%2F&info=" + s + kLinkEsc + "&source=" + title +
          "&images=" + kPictureEsc + "&togImg=true",
  };
  for (int site = 0; site < kShareSiteCount; ++site) {
    m_opened.clear();
    std::string url = ShareProduct(site, *m_task);
    EXPECT_EQ(url, Endpoint(site) + expected[site]) << "site " << site;
    EXPECT_EQ(m_opened, std::vector<std::string>{url}) << "site " << site;
  }
}

TEST_F(ShareTest, ProgramAddressOfEverySite) {
  const std::string s = Esc("我觉得 @" + kTitle +
                            " 这个软件很不错，可以跟踪商品价格变化、比较价格、查看价格趋势，"
                            "推荐给大家，快来试一下吧！");
  const std::string home = "http%3A%2F%2Fhome%2Eexample%2F";
  const std::string logo = "http%3A%2F%2Fhome%2Eexample%2Flogo%2Epng";
  const std::string title = Esc(kTitle);
  std::string sina = ShareProgram(kShareSina);
  EXPECT_EQ(sina, Endpoint(1) + home + "&title=" + s + "&pic=" + logo + "&appkey=1234");
  EXPECT_EQ(ShareProgramUrl(kShareQzone), Endpoint(0) + home + "&title=" + title +
                                              "&summary=&desc=" + s + "&site=" + title +
                                              "&pics=" + logo);
  EXPECT_EQ(ShareProgramUrl(kShareDouban),
            Endpoint(5) + home + "&name=" + EscGbk(kTitle) + "&text=" + s + "&image=" + logo);
  EXPECT_EQ(ShareProgramUrl(kShareNetease), Endpoint(8) + home + "&info=" + s + home + "&source=" +
                                                title + "&images=" + logo + "&togImg=true");
  std::string renren = ShareProgramUrl(kShareRenren);
  EXPECT_NE(renren.find(Esc("我觉得 @" + kTitle + "(600123) 这个")), std::string::npos);
}

TEST_F(ShareTest, AffiliateLinksAreForwardedForSinaOnly) {
  Host("AffiliateNetworkDomain", "aff.example");
  Host("ShareLinkForwardUrl", "http://fwd.example/go?");
  // Suning's links go through the affiliate network.
  Host("SuningRedirect", "http://s.aff.example/t?to=");
  CTaskValues v = m_task->GetValues();
  v.url = "http://product.suning.com/8.html";
  CTask task(v);
  std::string sina = ShareProductUrl(kShareSina, task);
  std::string forwarded =
      Esc("http://fwd.example/go?http://s.aff.example/t?to=http://product.suning.com/8.html");
  EXPECT_EQ(sina.substr(0, Endpoint(1).size() + forwarded.size()), Endpoint(1) + forwarded);
  // Other sites and the program share get the link itself.
  EXPECT_EQ(ShareProductUrl(kShareQQWeibo, task).find("fwd"), std::string::npos);
  Host("HomePageUrl", "http://aff.example/home");
  EXPECT_EQ(ShareProgramUrl(kShareSina).find("fwd"), std::string::npos);
}

TEST_F(ShareTest, NothingIsSharedWhileFetchingWithoutEndpointOrForABadIndex) {
  m_task->SetStatus(FETCHING_MARK);
  EXPECT_EQ(ShareProduct(kShareQzone, *m_task), "");
  m_task->SetStatus(0);  // a paused task can be shared
  EXPECT_NE(ShareProduct(kShareQzone, *m_task), "");
  for (int bad : {-1, int(kShareSiteCount)}) {
    EXPECT_EQ(ShareProduct(bad, *m_task), "");
    EXPECT_EQ(ShareProgram(bad), "");
    EXPECT_EQ(ShareProductCommand(bad), 0u);
  }
  Host("ShareBaiduUrl", "");
  EXPECT_EQ(ShareProduct(kShareBaidu, *m_task), "");
  EXPECT_EQ(ShareProgram(kShareBaidu), "");
  EXPECT_EQ(m_opened.size(), 1u);
}

TEST_F(ShareTest, PictureCannotAddQueryKeys) {
  CTaskValues v = m_task->GetValues();
  v.imageLink = "http://img.example/p.jpg?a=1&togImg=false#x";
  CTask task(v);
  std::string url = ShareProductUrl(kShareNetease, task);
  EXPECT_EQ(url.find("&togImg=false"), std::string::npos);
  EXPECT_EQ(url.find('#'), std::string::npos);
  EXPECT_EQ(url.substr(url.size() - 12), "&togImg=true");
}

TEST_F(ShareTest, SentenceWithoutRenrenAccountHasNoParentheses) {
  Host("ShareRenrenAccount", "");
  EXPECT_EQ(ShareSentence(kShareRenren, "a $APPNAME b $APPNAME"),
            "a " + Utf8ToLocal(kTitle) + " b " + Utf8ToLocal(kTitle));
  EXPECT_EQ(ShareProductCommand(kShareDouban), 32798u);
  EXPECT_EQ(ShareProgramCommand(kShareNetease), 32804u);
}

}  // namespace
