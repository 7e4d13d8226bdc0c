// Pages drawn by scripts, read through the headless browser: what it draws,
// what goes with its requests, how a render fails, and that nothing of the
// browser is left afterwards.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/stringtable.h"
#include "engine/renderer.h"
#include "engine/spider.h"
#include "support/browser_checks.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "support/tempdir.h"

namespace {

const char* const kTimerPage = R"(<html><body><h1 id="name">加载中…</h1><em id="price"></em>
<script>setTimeout(function() { document.getElementById('name').textContent = '电水壶';
  document.getElementById('price').textContent = '89.00'; }, 2000);</script></body></html>)";

const char* const kJsonPage = R"(<html><head></head><body><script>
fetch('/product.json').then(r => r.json()).then(p => { const s = document.createElement('script');
  s.type = 'application/ld+json'; s.textContent = JSON.stringify({'@type': 'Product', name: p.name,
  offers: {price: p.price}}); document.head.appendChild(s); });</script></body></html>)";

class RendererTest : public testing::Test {
 protected:
  RendererTest() {
    server.Page("/product.json", R"({"name":"保温杯","price":"59.50"})", "application/json");
  }
  ~RendererTest() override {
    EXPECT_EQ(BrowserProcessesLeft(getpid()), 0);
    EXPECT_EQ(ProfileFoldersLeft(getpid()), 0);
  }

  void Page(const std::string& path, const std::string& html) {
    server.Page(path, html, "text/html; charset=utf-8");
  }
  static RenderResult Render(const std::string& url) {
    RenderRequest request{url, FindBrowser(), "", {}};
    return RenderPage(request, std::chrono::steady_clock::now() + std::chrono::seconds(5));
  }

  TempDir home{true};
  TestHttpServer server;
  ShortSpiderTimeouts timeouts{{2000, 5, 5}};
};

TEST_F(RendererTest, ReadsWhatTheScriptsDrew) {
  SKIP_WITHOUT_BROWSER();
  const struct {
    const char* path;
    const char* html;
    std::vector<std::string> drawn;
  } cases[] = {
      {"/timer.html", kTimerPage, {"电水壶", "89.00"}},
      {"/json.html", kJsonPage, {"application/ld+json", "保温杯", "59.50"}},
  };
  for (const auto& c : cases) {
    Page(c.path, c.html);
    const std::string page = LocalToUtf8(CSpider().RenderPage(server.Url(c.path)));
    for (const std::string& text : c.drawn) EXPECT_NE(page.find(text), std::string::npos) << c.path;
  }
}

TEST_F(RendererTest, SendsTheStoresCookiesAndUsesTheProxy) {
  SKIP_WITHOUT_BROWSER();
  Page("/p.html", "<p>shop</p>");
  ASSERT_TRUE(CSpider().SetCookie(server.Url("/"), "session", "s-42"));
  EXPECT_FALSE(CSpider().RenderPage(server.Url("/p.html")).empty());
  EXPECT_NE(server.LastHeaders("/p.html").find("Cookie")->second.find("session=s-42"),
            std::string::npos);

  // A shop's host name goes to the proxy, which answers for it.
  TestHttpServer proxy;
  proxy.Get(".*", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("<p>via proxy</p>", "text/html");
  });
  IniWriteString(home.File("config.ini"), "Base", "Proxy", proxy.Url(""));
  EXPECT_NE(CSpider().RenderPage("http://shop.invalid/p.html").find("via proxy"),
            std::string::npos);
  EXPECT_EQ(proxy.Requests("http://shop.invalid/p.html"), 1);
}

TEST_F(RendererTest, FailuresSayWhy) {
  SKIP_WITHOUT_BROWSER();
  Page("/loop.html", "<script>for (;;) {}</script>");
  Page("/hog.html", "<script>const a = []; for (;;) a.push(new Array(1e6).fill(1));</script>");
  server.Get("/gone", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
    response.set_content("<p>gone</p>", "text/html");
  });
  const struct {
    std::string url;
    RenderError error;
  } cases[] = {
      {server.Url("/loop.html"), RenderError::kTimedOut},
      {server.Url("/hog.html"), RenderError::kOutOfMemory},
      {server.Url("/gone"), RenderError::kStatus},
      {"http://127.0.0.1:1/", RenderError::kLoadFailed},
      {"file:///etc/hostname", RenderError::kNotWeb},
      {"data:text/html,<p>1</p>", RenderError::kNotWeb},
  };
  SetRenderLimits({512, 5000});
  for (const auto& c : cases) {
    const RenderResult result = Render(c.url);
    EXPECT_EQ(result.error, c.error) << c.url << ": " << result.detail;
    EXPECT_LT(result.seconds, 6.0) << c.url;
    EXPECT_TRUE(result.document.empty()) << c.url;
  }
  SetRenderLimits({});
  EXPECT_EQ(RenderErrorText(Render(server.Url("/gone"))), "HTTP 404");
}

TEST_F(RendererTest, APageCantTakeTheBrowserToLocalFiles) {
  SKIP_WITHOUT_BROWSER();
  // The marker is put together by the script, so that only the other page holds it.
  for (const std::string target :
       {"'file:///proc/self/environ'", "'data:text/html,LOCAL' + 'PAGE'"}) {
    const std::string path = "/leave" + std::to_string(target.size());
    Page(path, "<p>shop</p><script>location.href = " + target + ";</script>");
    const RenderResult result = Render(server.Url(path));
    EXPECT_EQ(result.document.find("LOCALPAGE"), std::string::npos) << target;
    EXPECT_EQ(result.document.find("HOME="), std::string::npos) << target;
  }
}

TEST_F(RendererTest, AtMostTwoRenderAtOnce) {
  SKIP_WITHOUT_BROWSER();
  std::atomic<int> now{0}, most{0};
  server.Get("/slow.html", [&](const httplib::Request&, httplib::Response& response) {
    most = std::max(most.load(), ++now);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    --now;
    response.set_content("<p>slow</p>", "text/html");
  });
  std::vector<std::thread> renders;
  for (int i = 0; i < 4; ++i)
    renders.emplace_back([&] { EXPECT_TRUE(Render(server.Url("/slow.html")).Ok()); });
  for (std::thread& render : renders) render.join();
  EXPECT_LE(most, kMaxConcurrentRenders);
}

TEST(RendererGuardTest, FetchesHeldToVettedAddressesNeverRender) {
  TempDir home(true);
  CAddressFilterScope guard([](const sockaddr*) { return false; });
  CSpider spider;
  EXPECT_EQ(spider.RenderPage("http://127.0.0.1:1/p.html"), "");
  EXPECT_EQ(LocalToUtf8(spider.LastFailure().why), "服务器不渲染网页");
  EXPECT_EQ(BrowserProcessesLeft(getpid()) + ProfileFoldersLeft(getpid()), 0);
}

TEST(RendererWithoutBrowserTest, SaysWhatIsMissing) {
  TempDir home(true);
  TempDir emptyPath;
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", emptyPath.Path().c_str(), 1);
  for (const char* browser : {"", "/nowhere/chromium"}) {
    IniWriteString(home.File("config.ini"), "Base", "Browser", browser);
    CSpider spider;
    EXPECT_EQ(spider.RenderPage("http://127.0.0.1:1/p.html"), "");
    EXPECT_EQ(spider.LastFailure().kind, FetchFailure::kRender);
    EXPECT_EQ(LocalToUtf8(spider.LastFailure().why),
              "需要安装 chromium-headless-shell 才能读取此网页");
  }
  setenv("PATH", path.c_str(), 1);
}

}  // namespace
