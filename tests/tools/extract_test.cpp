// vantrelctl extract against a fake shop, with the example rules pointed at it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

struct Output {
  std::string text;
  int status = -1;
};

Output RunExtract(const std::string& arguments) {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  const std::string command =
      std::string(dir ? dir : ".") + "/vantrelctl extract " + arguments + " 2>/dev/null";
  Output out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.text.append(buffer, n);
  int raw = pclose(pipe);
  out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

class ExtractToolTest : public testing::Test {
 protected:
  ExtractToolTest() {
    home.Write("sites.xml", ExampleSitesFor(shop));
    shop.Page("/json/7.html",
              ExamplePage({.kind = "json",
                           .sku = "7",
                           .name = kKettle,
                           .stock = "\xE6\x9C\x89\xE8\xB4\xA7"}),  // 有货
              PageEncoding::kGbk);
    shop.Json("/prices", R"([{"id":"7","p":"2,499.00","m":"2,399.00"}])");
  }

  // 电水壶 (electric kettle) in UTF-8.
  static constexpr const char* kKettle = "\xE7\x94\xB5\xE6\xB0\xB4\xE5\xA3\xB6";

  TempDir home{true};
  FakeShop shop;
};

TEST_F(ExtractToolTest, PrintsWhatThePageHolds) {
  Output out = RunExtract("--site 'Example JSON Price' " + Quote(shop.Link("/json/7.html")));
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.text, std::string("site: Example JSON Price\n") + "name: " + kKettle +
                          "\n"
                          "id: 7\n"
                          "image: http://json.shop.example/images/7.jpg\n"
                          "param1: \nparam2: \nparam3: \nparam4: \nparam5: \nparam6: \nparam7: \n"
                          "price: 2499.00\n"
                          "promprice: 2399.00\n"
                          "effectiveprice: 2399.00\n"
                          "stock: 1\n");
  EXPECT_EQ(shop.Requests("/json/7.html"), 1);
  EXPECT_EQ(shop.Requests("/prices"), 1);
}

TEST_F(ExtractToolTest, TraceShowsRequestsAndCacheHits) {
  Output out =
      RunExtract("--trace --site 'Example JSON Price' " + Quote(shop.Link("/json/7.html")));
  EXPECT_EQ(out.status, 0);
  const std::string prices = shop.Link("/prices?skuIds=7&t=");
  const std::string expectedStart =
      "request: " + shop.Link("/json/7.html") + "\nrequest: " + prices;
  EXPECT_EQ(out.text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_NE(out.text.find("\ncache hit: " + prices + "\nsite: Example JSON Price\n"),
            std::string::npos)
      << out.text;
}

TEST_F(ExtractToolTest, FindsTheShopByItsFlag) {
  Output out = RunExtract(Quote(shop.Link("/json/7.html")));
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.text.substr(0, 25), "site: Example JSON Price\n");
  EXPECT_NE(out.text.find("\nprice: 2499.00\n"), std::string::npos) << out.text;
  // Once to find the shop, once as that shop.
  EXPECT_EQ(shop.Requests("/json/7.html"), 2);
}

TEST_F(ExtractToolTest, ReadsASavedPage) {
  home.Write("saved.html", ExamplePage({.kind = "pages",
                                        .sku = "3",
                                        .name = kKettle,
                                        .price = "1,299.00",
                                        .promo = "0",
                                        .stock = "\xE6\x97\xA0\xE8\xB4\xA7"}));  // 无货
  // Named, or recognised by its Flag; either way read as UTF-8 like the shop's pages.
  for (const char* site : {"--site 'example pages' ", ""}) {
    Output out = RunExtract("--sites " + Quote(home.File("sites.xml")) + " " + site + "--page " +
                            Quote(home.File("saved.html")));
    EXPECT_EQ(out.status, 0) << site;
    EXPECT_EQ(out.text.substr(0, 20), "site: Example Pages\n") << site;
    EXPECT_NE(out.text.find(std::string("\nname: ") + kKettle + "\n"), std::string::npos)
        << out.text;
    EXPECT_NE(
        out.text.find("\nprice: 1299.00\npromprice: 0.00\neffectiveprice: 1299.00\nstock: 0\n"),
        std::string::npos)
        << out.text;
  }
  EXPECT_EQ(shop.TotalRequests(), 0);
}

// A shop rule that backtracks without end gives up at its step: nothing is
// read there, and the trace says why.
TEST_F(ExtractToolTest, ARunawayRuleGivesUpAndTheTraceSaysWhere) {
  home.Write("hostile.xml",
             "<?xml version=\"1.0\" encoding=\"utf-8\" ?><Sites><SiteList><Site>"
             "<Name>Hostile</Name><Domain>hostile.example</Domain><Encode>utf-8</Encode>"
             "<RegularExpression><NameRegex><title>(.*?)</title></NameRegex>"
             "<PriceRegex>(a+)+b</PriceRegex></RegularExpression></Site></SiteList></Sites>");
  home.Write("page.html", "<title>Kettle</title>" + std::string(30, 'a') + "cb");
  Output out = RunExtract("--trace --sites " + Quote(home.File("hostile.xml")) +
                          " --site Hostile --page " + Quote(home.File("page.html")));
  EXPECT_NE(out.text.find("rule price: match limit exceeded\n"), std::string::npos) << out.text;
  EXPECT_NE(out.text.find("\nprice: 0.00\n"), std::string::npos) << out.text;
}

TEST_F(ExtractToolTest, Failures) {
  struct Case {
    std::string arguments;
    int status;
  } cases[] = {
      {"", 2},
      {"--bogus " + Quote(shop.Link("/json/7.html")), 2},
      {"--site", 2},
      {"--sites " + Quote(home.File("missing.xml")) + " " + Quote(shop.Link("/json/7.html")), 1},
      {"--site 'No Such Shop' " + Quote(shop.Link("/json/7.html")), 1},
      {"--site 'Example Pages' " + Quote(shop.Link("/gone.html")), 1},
      {Quote(shop.Link("/gone.html")), 1},
      {"--page " + Quote(home.File("missing.html")), 1},
  };
  for (const Case& c : cases) {
    Output out = RunExtract(c.arguments);
    EXPECT_EQ(out.status, c.status) << c.arguments;
    EXPECT_EQ(out.text, "") << c.arguments;
  }
}

}  // namespace
