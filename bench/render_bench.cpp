// Reading a page that draws its product with scripts: a rendered read of a
// local product page next to a plain fetch of the same page (wall time and
// CPU, the browser's included), then 50 rendered tracking passes in a row,
// after which no browser process, no profile folder and no memory growth
// may be left. Usage: render_bench [PASSES] (50).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/events_record.h"
#include "engine/renderer.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "support/browser_checks.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A product page whose name and price a script fetches from the shop.
std::string ProductPage() {
  return R"(<html><head><meta charset="utf-8"></head><body><h1 id="name">加载中…</h1>
<em id="price"></em><span id="sku">1001</span><div id="stock">in stock</div><script>
fetch('/api/product').then(r => r.json()).then(p => {
  document.getElementById('name').textContent = p.name;
  document.getElementById('price').textContent = p.price; });</script><!--)" +
         std::string(1600, '.') + "--></body></html>";
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall and CPU seconds (ours and our children's) of one call.
struct Cost {
  double wall = 0;
  double cpu = 0;
};
template <typename F>
Cost Measure(F&& run) {
  const double cpu = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  run();
  return {std::chrono::duration<double>(Clock::now() - start).count(),
          CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - cpu};
}

// The median of `runs` measurements.
template <typename F>
Cost Median(int runs, F&& run) {
  std::vector<Cost> costs;
  for (int i = 0; i < runs; ++i) costs.push_back(Measure(run));
  auto middle = [&](double Cost::*field) {
    std::vector<double> values;
    for (const Cost& cost : costs) values.push_back(cost.*field);
    std::nth_element(values.begin(), values.begin() + runs / 2, values.end());
    return values[runs / 2];
  };
  return {middle(&Cost::wall), middle(&Cost::cpu)};
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  if (FindBrowser().empty()) {
    std::printf("render_bench: chromium-headless-shell is not installed (scripts/setup)\n");
    return 1;
  }
  TempDir home(true);
  TestHttpServer server;
  server.Page("/item/1.html", ProductPage(), "text/html; charset=utf-8");
  server.Page("/api/product", R"({"name":"电水壶","price":"89.00"})", "application/json");
  const std::string url = server.Url("/item/1.html");

  bool ok = true;
  auto check = [&ok](bool passed, const char* what) {
    std::printf("  %-58s %s\n", what, passed ? "ok" : "FAILED");
    ok = ok && passed;
  };

  const Cost plain = Median(21, [&] { CSpider().GetPage(url, "utf-8"); });
  std::string drawn;
  const Cost rendered = Median(5, [&] { drawn = CSpider().RenderPage(url); });
  std::printf("one read of a local product page (median):\n");
  std::printf("  plain fetch:  %8.4f s wall  %8.4f s CPU\n", plain.wall, plain.cpu);
  std::printf("  rendered:     %8.4f s wall  %8.4f s CPU (browser included)\n", rendered.wall,
              rendered.cpu);
  std::printf("  rendered / plain: %.0fx wall, %.0fx CPU\n", rendered.wall / plain.wall,
              rendered.cpu / std::max(plain.cpu, 1e-6));
  check(drawn.find("89.00") != std::string::npos, "the rendered page holds the drawn price");
  check(rendered.wall <= 1.5, "a rendered read takes at most 1.5 s");

  // Passes of a shop whose record says Render, through the tracker.
  CSiteList sites;
  auto site = std::make_shared<CSite>();
  site->SetName("Drawn");
  site->SetDomain("127.0.0.1:" + std::to_string(server.Port()));
  site->SetEncode("utf-8");
  site->SetPriceRegex("id=\"price\">([0-9.]+)<");
  site->SetRender(true);
  sites.AddSite(site);
  CTaskList tasks;
  CTaskValues values;
  values.url = url;
  values.siteName = "Drawn";
  values.status = 1;
  values.currentPrice = "99.00";
  auto task = std::make_shared<CTask>(values);
  tasks.AddTask(task);
  CRecordingEventSink events;
  CTracker tracker(sites, tasks, events, TrackingSettings{0, 0, 0});
  for (int i = 0; i < 3; ++i) tracker.TrackingPass(task);  // warm-up: allocator, caches
  const long before = ResidentKilobytes();
  const auto start = Clock::now();
  int read = 0;
  for (int i = 0; i < passes; ++i) {
    task->SetCurrentPrice("99.00");
    tracker.TrackingPass(task);
    read += task->GetCurrentPrice() == "89.00";
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long after = ResidentKilobytes();
  std::printf("%d rendered tracking passes in a row: %.2f s, %.3f s each\n", passes, seconds,
              seconds / passes);
  std::printf("  resident memory before %ld KB, after %ld KB (%+ld KB)\n", before, after,
              after - before);
  check(read == passes, "every pass read the drawn price");
  check(BrowserProcessesLeft(getpid()) == 0, "no browser process left");
  check(ProfileFoldersLeft(getpid()) == 0, "no profile folder left");
  check(after - before <= 1024, "resident memory grew by at most 1 MB");
  return ok ? 0 : 1;
}
