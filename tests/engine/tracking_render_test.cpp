// Passes of shops whose pages only a browser can read: the shop record's
// Render, the general shop's second look, the failure without a browser,
// and renders that wait for a turn without holding a worker.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/generic.h"
#include "support/browser_checks.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "tracking_fixture.h"

namespace {

using std::chrono::seconds;

// The fixture's product page, its price written by a script.
std::string DrawnPage() {
  return ProductPage("", "0", "in stock",
                     "<script>setTimeout(() => document.getElementById('price').textContent ="
                     " '89.00', 1000);</script>");
}

// A general shop's page whose product data a script adds.
std::string DrawnGeneralPage() {
  return "<html><head></head><body><script>const s = document.createElement('script');"
         "s.type = 'application/ld+json'; s.textContent = JSON.stringify({'@type': 'Product',"
         " name: 'Kettle', sku: '1001', offers: {price: '89.00'}}); document.head.append(s);"
         "</script><!--" +
         std::string(1600, '.') + "--></body></html>";
}

class TrackingRenderTest : public TrackingFixture {
 protected:
  TaskPtr RenderedTask(bool general) {
    CTaskValues values = Values();
    if (general) {
      values.siteName = GenericSiteName();
      values.siteDomain = "";  // not the domain of the fixture's shop
      shop.Page("/item/1.html", DrawnGeneralPage());
    } else {
      CSite drawn = ShopSite("Fake", shop.Host(), "");
      drawn.SetRender(true);
      sites.AddSite(std::make_shared<CSite>(drawn));
      shop.Page("/item/1.html", DrawnPage());
    }
    return AddTask(values);
  }

  ShortSpiderTimeouts timeouts{{2000, 10, 10}};
};

TEST_F(TrackingRenderTest, ReadsThePriceTheBrowserDrew) {
  SKIP_WITHOUT_BROWSER();
  for (bool general : {false, true}) {
    TaskPtr task = RenderedTask(general);
    MakeTracker()->TrackingPass(task);
    EXPECT_EQ(task->GetCurrentPrice(), "89.00") << general;
    EXPECT_EQ(task->GetPriceState(), "down") << general;
    EXPECT_EQ(task->GetFailCount(), 0) << general;
    tasks.RemoveTaskAt(task);
  }
  EXPECT_EQ(BrowserProcessesLeft(getpid()), 0);
}

TEST_F(TrackingRenderTest, WithoutTheBrowserThePassFailsSayingWhy) {
  TempDir emptyPath;
  const std::string path = getenv("PATH");
  setenv("PATH", emptyPath.Path().c_str(), 1);
  for (bool general : {false, true}) {
    TaskPtr task = RenderedTask(general);
    MakeTracker()->TrackingPass(task);
    EXPECT_EQ(task->GetCurrentPrice(), "99.00") << general;
    EXPECT_EQ(task->GetFailCount(), 1) << general;
    EXPECT_EQ(LocalToUtf8(task->GetFailReason()),
              "渲染失败: 需要安装 chromium-headless-shell 才能读取此网页")
        << general;
    tasks.RemoveTaskAt(task);
  }
  setenv("PATH", path.c_str(), 1);
}

TEST_F(TrackingRenderTest, PassesWaitingToRenderHoldNoWorker) {
  SKIP_WITHOUT_BROWSER();
  std::mutex lock;
  std::condition_variable changed;
  int held = 0;
  bool released = false;
  // Three shops, so that no shop's own limit holds a pass back.
  TestHttpServer drawn[3];
  for (int i = 0; i < 3; ++i) {
    drawn[i].Get("/item/1.html", [&](const httplib::Request&, httplib::Response& response) {
      std::unique_lock guard(lock);
      ++held;
      changed.notify_all();
      changed.wait(guard, [&] { return released; });
      response.set_content(DrawnPage(), "text/html");
    });
    CTaskValues values = Values();
    values.url = drawn[i].Url("/item/1.html");
    values.siteName = "Drawn";
    AddTask(values);
  }
  CSite site = ShopSite("Drawn", "127.0.0.1:" + std::to_string(drawn[0].Port()), "");
  site.SetRender(true);
  sites.AddSite(std::make_shared<CSite>(site));
  auto tracker = MakeTracker({0, 0}, 3);
  tracker->ScheduleAllTasks();
  {
    std::unique_lock guard(lock);
    changed.wait_for(guard, seconds(8), [&] { return held == kMaxConcurrentRenders; });
  }
  EXPECT_EQ(tracker->RenderGate().Queued("render"), 1u);
  // The third worker is free for a shop that needs no browser.
  shop.Page("/item/1.html", ProductPage("79.00"));
  TaskPtr plain = AddTask(Values());
  tracker->ScheduleTask(0, 0, plain);
  for (int i = 0; i < 200 && plain->GetCurrentPrice() != "79.00"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(plain->GetCurrentPrice(), "79.00");
  {
    std::lock_guard guard(lock);
    released = true;
  }
  changed.notify_all();
  tracker.reset();
  EXPECT_EQ(BrowserProcessesLeft(getpid()), 0);
}

}  // namespace
