#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/openlink.h"

namespace {

class OpenLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkOpener([this](const std::string& url) { opened.push_back(url); });
  }
  void TearDown() override { SetLinkOpener(nullptr); }
  std::vector<std::string> opened;
};

TEST_F(OpenLinkTest, OpensOnlyWebLinks) {
  struct Case {
    std::string link;
    bool opens;
  } cases[] = {
      {"http://shop.example/item?id=1&x=2", true},
      {"https://shop.example/", true},
      {"HTTPS://SHOP.EXAMPLE/A B", true},
      {"Http://shop.example", true},
      {"", false},
      {"http://", false},
      {"http:///etc/passwd", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"  http://shop.example/", false},
      {"-http://shop.example/", false},
      {"httpx://shop.example/", false},
      {"shop.example/item", false},
      {"http:/shop.example", false},
      {"http://shop.example/\nfile:///etc/passwd", false},
      {"http://shop.example/\r", false},
      {std::string("http://shop.example/\0x", 22), false},
      {"http://shop.example/\x7f", false},
  };
  for (const Case& c : cases) {
    opened.clear();
    EXPECT_EQ(OpenLink(c.link), c.opens) << c.link;
    EXPECT_EQ(opened.size(), c.opens ? 1u : 0u) << c.link;
  }
}

TEST_F(OpenLinkTest, HandsTheOpenerUtf8) {
  const std::string utf8 = "http://shop.example/搜索?q=手机";
  ASSERT_TRUE(OpenLink(Utf8ToLocal(utf8)));
  EXPECT_EQ(opened, std::vector<std::string>{utf8});
}

}  // namespace
