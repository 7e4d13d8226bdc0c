// The proxy setting of config.ini, against a proxy on 127.0.0.1: requests go
// to it, never to the link's own address.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/ini.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "engine/proxy.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

// The environment's no_proxy would let loopback links bypass the proxy.
class ScopedUnsetEnv {
 public:
  explicit ScopedUnsetEnv(const char* name) : m_name(name) {
    if (const char* value = std::getenv(name)) {
      m_had = true;
      m_value = value;
    }
    unsetenv(name);
  }
  ~ScopedUnsetEnv() {
    if (m_had) setenv(m_name, m_value.c_str(), 1);
  }

 private:
  const char* m_name;
  bool m_had = false;
  std::string m_value;
};

TEST(ProxyTest, RequestsGoThroughTheConfiguredProxy) {
  TempDir home(true);
  ScopedUnsetEnv noProxy("no_proxy"), noProxyUpper("NO_PROXY");
  RawHttpServer proxy;
  // Port 9 of loopback: were the proxy bypassed, the request would fail.
  const std::string target = "http://127.0.0.1:9/item/1.html";
  proxy.Reply(target, RawHttpServer::Response("Content-Type: text/html; charset=utf-8\r\n",
                                              "<h1>through the proxy</h1>"));
  IniWriteString(home.File("config.ini"), "Base", "Proxy", proxy.Url(""));
  EXPECT_EQ(ProxySetting(), proxy.Url(""));

  CSpider spider;
  EXPECT_EQ(spider.GetPage(target, "utf-8"), "<h1>through the proxy</h1>");
  EXPECT_EQ(proxy.Requests(target), 1);
  EXPECT_NE(proxy.LastRequest(target).find("GET " + target + " HTTP/1.1"), std::string::npos);

  // Switched off again: the link's own (closed) port is asked, the proxy not.
  IniWriteString(home.File("config.ini"), "Base", "Proxy", "");
  EXPECT_EQ(spider.GetPage(target, "utf-8"), "");
  EXPECT_EQ(proxy.Requests(target), 1);
}

TEST(ProxyTest, OnlyProxyLinksAreTaken) {
  const struct {
    const char* proxy;
    bool valid;
  } cases[] = {
      {"", true},
      {"http://127.0.0.1:3128", true},
      {"https://proxy.example:443", true},
      {"socks5://user:pw@127.0.0.1:1080", true},
      {"SOCKS5H://127.0.0.1:1080", true},
      {"ftp://127.0.0.1:21", false},
      {"127.0.0.1:3128", true},  // taken as http://
      {"http://", false},
      {"sock5://127.0.0.1:1080", false},
      {"socks5h:/127.0.0.1:1080", false},
      {"127.0.0.1:port", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proxy);
    EXPECT_EQ(IsValidProxy(c.proxy), c.valid);
  }
}

// A setting that can't be used stops the request; going direct would show
// the shop the address the proxy was to hide. Told once, naming the setting.
TEST(ProxyTest, AnUnusableSettingStopsEveryRequest) {
  TempDir home(true);
  ScopedUnsetEnv noProxy("no_proxy"), noProxyUpper("NO_PROXY");
  RawHttpServer shop;
  const std::string target = shop.Url("/item/1.html");
  shop.Reply("/item/1.html", RawHttpServer::Response("", "<h1>direct</h1>"));
  std::vector<std::string> told;
  SetMessageHandler([&told](unsigned, int, const std::string& text) {
    told.push_back(text);
    return IDOK;
  });
  for (const char* setting : {"sock5://127.0.0.1:9", "socks5h:/127.0.0.1:9", "127.0.0.1:9"}) {
    SCOPED_TRACE(setting);
    IniWriteString(home.File("config.ini"), "Base", "Proxy", setting);
    CSpider spider;
    EXPECT_EQ(spider.GetPage(target, "utf-8"), "");
    spider.GetPage(target, "utf-8");
  }
  SetMessageHandler(nullptr);
  EXPECT_EQ(shop.Requests("/item/1.html"), 0);
  ASSERT_EQ(told.size(), 2u);  // the dead port fails as any connection does
  EXPECT_EQ(told[0], LoadString(IDS_PROXY_INVALID) + ": [Base] Proxy=sock5://127.0.0.1:9");
}

}  // namespace
