// The main window's memory after one round in which 5,000 tasks change
// price: an offscreen window with its own tracker, a fake shop on 127.0.0.1
// whose price dropped, every task's pass run once. Prints the heap the
// window holds per task once every change reached it, with pop-ups shown
// ("MsgPop" 0) and with pop-ups off ("MsgPop" 1); the target is at most
// 15 KB per task with pop-ups shown.
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>

#include "app/vantreldlg.h"
#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/timerqueue.h"
#include "engine/tracking.h"
#include "kettle_shop.h"
#include "support/fakeshop.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

constexpr int kTasks = 5000;
constexpr int kPassThreads = 4;

size_t HeapInUse() { return mallinfo2().uordblks; }

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

struct Figures {
  double heapKbPerTask = 0;
  double rssKbPerTask = 0;
};

// One window, one pass of every task (on worker threads, as the timers run
// them), until the window has taken in every change.
Figures OneRound(int msgPop) {
  TempDir home(true);
  const std::string config = home.File("config.ini");
  // Nothing but the shop is asked: no history, comparison or link service.
  for (const char* key : {"UpdateInfoUrl", "SiteRulesUrl", "HistoryUrl", "ComparisonUrl",
                          "SidePanelUrl", "CommissionUrl", "AccountUrl"})
    IniWriteString(config, "Hosts", key, "");
  MakeDirectories(home.File("productprices"));
  FakeShop shop;
  shop.Serve("/item.html", [page = KettlePage("89.00", 4096)](const ShopRequest&) {
    return MakeReply(page, "text/html; charset=utf-8");
  });
  CSiteList sites;
  sites.AddSite(KettleShopSite(shop.Host()));
  CTaskList tasks;
  FillKettleTasks(tasks, shop, "/item.html", kTasks);

  MainWindowOptions options;
  options.settings.msgPop = msgPop;
  options.settings.sleepTimeMs = 0;
  options.clock = std::make_shared<ManualTimerClock>();  // no timer fires
  options.offerAutoStart = false;
  options.loadWebPanel = false;
  auto window = std::make_unique<CVantrelDlg>(sites, tasks, options);
  window->show();
  SpinUntil([] { return false; }, 300);

  const size_t heapBefore = HeapInUse();
  const long rssBefore = RssKb();
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::vector<std::thread> passes;
  for (int t = 0; t < kPassThreads; ++t)
    passes.emplace_back([&] {
      for (int i = next++; i < kTasks; i = next++) {
        window->Tracker().TrackingPass(tasks.TaskAt(i));
        ++done;
      }
    });
  SpinUntil([&] { return done == kTasks && window->ChangeCount() == kTasks; }, 600000);
  for (std::thread& pass : passes) pass.join();
  SpinUntil([] { return false; }, 200);

  Figures figures;
  figures.heapKbPerTask = (static_cast<double>(HeapInUse()) - heapBefore) / 1024.0 / kTasks;
  figures.rssKbPerTask = static_cast<double>(RssKb() - rssBefore) / kTasks;
  if (window->ChangeCount() != kTasks)
    std::fprintf(stderr, "only %d of %d changes reached the window\n", window->ChangeCount(),
                 kTasks);
  window.reset();
  return figures;
}

}  // namespace

int main() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TestApplication();
  const Figures quiet = OneRound(1);
  const Figures popups = OneRound(0);
  std::printf("window memory after a round in which %d tasks changed price:\n", kTasks);
  std::printf("  pop-ups off: %.1f KB heap per task (%.1f KB RSS)\n", quiet.heapKbPerTask,
              quiet.rssKbPerTask);
  std::printf("  pop-ups on:  %.1f KB heap per task (%.1f KB RSS), target <= 15\n",
              popups.heapKbPerTask, popups.rssKbPerTask);
  std::printf("  pop-ups on / pop-ups off: %.2f\n", popups.heapKbPerTask / quiet.heapKbPerTask);
  return 0;
}
