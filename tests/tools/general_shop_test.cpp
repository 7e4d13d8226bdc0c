// A shop that sites.xml does not know, through vantrelctl extract, add and
// one tracking pass: its JSON-LD product data stands in for rules.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "support/command_line.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fake_smtp_server.h"
#include "support/fakeshop.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

std::string JsonLdPage(const std::string& price) {
  return R"(<html><head><script type="application/ld+json">{"@context":"https://schema.org",
    "@graph":[{"@type":"Organization","name":"Shop"},{"@type":"Product","name":"保温杯",
    "sku":"C-42","image":"/none.png","offers":{"@type":"Offer","price":")" +
         price + R"(","priceCurrency":"EUR","availability":"https://schema.org/InStock"}}]}
    </script></head><body><p>)" +
         std::string(1600, '.') + "</p></body></html>";
}

class GeneralShopToolTest : public testing::Test {
 protected:
  GeneralShopToolTest() {
    CSiteList sites;
    EXPECT_TRUE(sites.SaveSites(home.File("sites.xml")));
    MakeDirectories(home.File("productimgs"));
    WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}),
               "jpg");
    IniWriteString(home.File("config.ini"), "Base", "SleepTime", "0");
    servers.PointProgramAt();
  }

  std::string Run(const std::string& arguments, int& status) {
    return RunShell(VantrelctlPath() + " " + arguments + " 2>/dev/null", status);
  }

  TempDir home{true};
  FakeShop shop;
  FakeProgramServers servers;
};

TEST_F(GeneralShopToolTest, ExtractNamesTheSourceOfEachValue) {
  shop.Page("/p.html", JsonLdPage("1.299,50"), PageEncoding::kGbk);
  int status = -1;
  const std::string out = Run("extract '" + shop.Link("/p.html") + "'", status);
  EXPECT_EQ(status, 0) << out;
  for (const char* line :
       {"site: 通用\n", "name: 保温杯\nname.source: json-ld\n", "id: C-42\nid.source: json-ld\n",
        "price: 1299.50\nprice.source: json-ld\nprice.written: 1.299,50\n",
        "currency: EUR\ncurrency.source: json-ld\n", "stock: 1\nstock.source: json-ld\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

TEST_F(GeneralShopToolTest, ExtractCandidatesListsThePricesOfAPageWithoutProductData) {
  ASSERT_TRUE(
      WriteFileAtomic(home.File("page.html"),
                      R"(<html><head><title>Teekanne | Shop</title></head><body><h1>Teekanne</h1>
      <div class="product-price"><s>39,99 €</s> <span class="sale">29,99 €</span></div>
      <button>In den Warenkorb</button><div class="related"><span class="price">9,99 €</span>
      <span class="price">19,99 €</span></div></body></html>)"));
  int status = -1;
  const std::string out = Run("extract --candidates --page " + home.File("page.html"), status);
  for (const char* line : {"name: Teekanne\nname.source: page\n",
                           "price: 29.99\nprice.source: page\nprice.written: 29,99 €\n",
                           "currency: EUR\ncurrency.source: page\n", "\tpage\t29,99 €\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  // Best first: the sale, then the struck price, then the other products'.
  const size_t sale = out.find("candidate: 29.99\t");
  const size_t was = out.find("candidate: 39.99\t");
  const size_t other = out.find("candidate: 9.99\t");
  ASSERT_NE(sale, std::string::npos) << out;
  EXPECT_LT(sale, was);
  EXPECT_LT(was, other);
}

TEST_F(GeneralShopToolTest, AddThenOnePassSeesTheDrop) {
  shop.Page("/p.html", JsonLdPage("99.00"), PageEncoding::kGbk);
  const std::string link = shop.Link("/p.html");
  int status = -1;
  std::string out = Run("add '" + link + "'", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out, "added\t" + link + "\t保温杯\t99.00\t1\n");

  CTaskList tasks;
  ASSERT_TRUE(tasks.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(tasks.GetCount(), 1);
  const CTaskValues added = tasks.TaskAt(0)->GetValues();
  EXPECT_EQ(LocalToUtf8(added.siteName), "通用");
  EXPECT_EQ(added.siteDomain, shop.Host());
  EXPECT_EQ(added.productId, "C-42");
  EXPECT_EQ(added.currency, "EUR");

  // The drop also reaches a webhook and a mail server within the pass.
  FakeSmtpServer smtp;
  TestHttpServer hook;
  hook.Post("/hook", [](const httplib::Request&, httplib::Response&) {});
  const std::string config = home.File("config.ini");
  IniWriteString(config, "Notify", "WebhookUrl", hook.Url("/hook"));
  IniWriteString(config, "Notify", "MailUrl", smtp.Url());
  IniWriteString(config, "Notify", "MailFrom", "vantrel@example.org");
  IniWriteString(config, "Notify", "MailTo", "me@example.org");

  shop.Page("/p.html", JsonLdPage("89,90"), PageEncoding::kUtf8);
  out = Run("track --once", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(
      out.find("\tUpdateChangeData\t" + link + "\tdown\tnochange\t89.90\t1\t保温杯价格变为89.90"),
      std::string::npos)
      << out;
  CTaskList tracked;
  ASSERT_TRUE(tracked.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(tracked.TaskAt(0)->GetCurrentPrice(), "89.90");
  EXPECT_EQ(tracked.TaskAt(0)->GetCurrency(), "EUR");

  EXPECT_NE(hook.LastBody("/hook").find(R"("new_price":"89.90")"), std::string::npos)
      << hook.LastBody("/hook");
  EXPECT_NE(hook.LastBody("/hook").find(R"("currency":"EUR")"), std::string::npos);
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_NE(smtp.Mails()[0].data.find("保温杯价格变为89.90\r\n" + link), std::string::npos)
      << smtp.Mails()[0].data;

  // notify-test reports each channel's outcome.
  out = Run("notify-test", status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "mail\tsent\nwebhook\tsent\nntfy\toff\ntelegram\toff\ndesktop\toff\n");
  out = Run("notify-test desktop", status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, "desktop\tfailed\tno desktop notification service in this program\n");
}

}  // namespace

namespace {

TEST_F(GeneralShopToolTest, AddKeepsTheLeastDropPercent) {
  shop.Page("/p.html", JsonLdPage("99.00"), PageEncoding::kUtf8);
  const std::string link = shop.Link("/p.html");
  int status = -1;
  for (const char* wrong : {"0", "100", "ten", ""}) {
    SCOPED_TRACE(wrong);
    Run("add '" + link + "' --drop-percent '" + wrong + "'", status);
    EXPECT_EQ(status, 2);
  }
  Run("add '" + link + "' --drop-percent 12.5", status);
  ASSERT_EQ(status, 0);
  CTaskList tasks;
  ASSERT_TRUE(tasks.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(tasks.GetCount(), 1);
  EXPECT_EQ(tasks.TaskAt(0)->GetDropPercent(), "12.5");
}

}  // namespace
