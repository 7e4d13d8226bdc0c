// vantrelctl on pages drawn by scripts: extract with and without a rule,
// without the browser, and a SIGTERM in the middle of a render.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "base/ini.h"
#include "engine/site.h"
#include "support/browser_checks.h"
#include "support/command_line.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

const char* const kDrawnPage = R"(<html><head><meta charset="utf-8"></head><body>
<h1 id="name">加载中…</h1><em id="price"></em><script>setTimeout(() => {
  document.getElementById('name').textContent = '电水壶';
  document.getElementById('price').textContent = '89.00';
  const s = document.createElement('script'); s.type = 'application/ld+json';
  s.textContent = JSON.stringify({'@type': 'Product', name: '电水壶', sku: 'K-1',
    offers: {price: '89.00', availability: 'https://schema.org/InStock'}});
  document.head.append(s); }, 1500);</script></body></html>)";

// Without any product data: the reader takes what a shopper sees.
const char* const kDrawnPlainPage = R"(<html><head><meta charset="utf-8"><title>电水壶</title>
<link rel="canonical" href="/plain/1.html"></head><body><h1 id="name">加载中…</h1>
<div class="price" id="price"></div><script>setTimeout(() => {
  document.getElementById('name').textContent = '电水壶';
  document.getElementById('price').textContent = '¥89.00'; }, 1500);</script></body></html>)";

class RenderToolTest : public testing::Test {
 protected:
  RenderToolTest() {
    for (const char* path : {"/rule/1.html", "/general/1.html"})
      server.Page(path, kDrawnPage, "text/html; charset=utf-8");
    server.Page("/plain/1.html", kDrawnPlainPage, "text/html; charset=utf-8");
    server.Page("/loop.html", "<script>for (;;) {}</script>");
    // A shop whose pages draw themselves; the general shop takes the others.
    auto site = std::make_shared<CSite>();
    site->SetName("Drawn");
    site->SetDomain("127.0.0.1:" + std::to_string(server.Port()) + "/rule");
    site->SetEncode("utf-8");
    site->SetIDRegex("/rule/(\\d+)");
    site->SetNameRegex("<h1 id=\"name\">(.*?)</h1>");
    site->SetPriceRegex("<em id=\"price\">(.*?)</em>");
    site->SetRender(true);
    CSiteList sites;
    sites.AddSite(site);
    EXPECT_TRUE(sites.SaveSites(home.File("sites.xml")));
  }

  std::string Run(const std::string& arguments, int& status) {
    return RunShell(VantrelctlPath() + " " + arguments + " 2>&1", status);
  }

  TempDir home{true};
  TestHttpServer server;
};

TEST_F(RenderToolTest, ExtractReadsAScriptDrawnPageWithAndWithoutARule) {
  SKIP_WITHOUT_BROWSER();
  for (const char* path : {"/rule/1.html", "/general/1.html", "/plain/1.html"}) {
    int status = -1;
    const std::string out = Run("extract --trace " + server.Url(path), status);
    EXPECT_EQ(status, 0) << out;
    for (const std::string& line :
         {"render: " + server.Url(path) + "\n", std::string("render time: "),
          std::string("name: 电水壶\n"), std::string("price: 89.00\n")})
      EXPECT_NE(out.find(line), std::string::npos) << line << out;
  }
}

TEST_F(RenderToolTest, WithoutTheBrowserSaysWhatToInstall) {
  server.Page("/plain.html", "<p>" + std::string(2000, '.') + "</p>");
  TempDir emptyPath;
  const std::string path = getenv("PATH");
  setenv("PATH", emptyPath.Path().c_str(), 1);
  for (const std::string& command :
       {"extract --render " + server.Url("/general/1.html"), "add " + server.Url("/plain.html")}) {
    int status = -1;
    const std::string out = Run(command, status);
    EXPECT_EQ(status, 1) << command;
    EXPECT_NE(out.find("渲染失败: 需要安装 chromium-headless-shell 才能读取此网页"),
              std::string::npos)
        << command << "\n"
        << out;
  }
  setenv("PATH", path.c_str(), 1);
}

TEST_F(RenderToolTest, SigtermEndsTheBrowserAndItsFolder) {
  SKIP_WITHOUT_BROWSER();
  const pid_t child =
      SpawnProgram({VantrelctlPath(), "extract", "--render", server.Url("/loop.html")});
  ASSERT_GT(child, 0);
  // Under way: the browser has the page, whose script never ends.
  for (int i = 0; i < 500 && server.Requests("/loop.html") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GT(BrowserProcessesLeft(child), 0);
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(BrowserProcessesLeft(child), 0);
  EXPECT_EQ(ProfileFoldersLeft(child), 0);
}

}  // namespace
