// 10,000 tasks with their cache files: saving tasks.xml against writing the
// same bytes with one write, and loading the list with its caches per task.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/codepage.h"
#include "base/files.h"
#include "base/ini.h"
#include "best_seconds.h"
#include "engine/tasklist.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/productcache.h"
#include "support/tempdir.h"

namespace {

constexpr int kTasks = 10000;

struct Fixture {
  TempDir home{true};
  CTaskList list;
  std::string tasksPath = home.File("tasks.xml");
  std::string items = home.File("productitems/");
  std::string prices = home.File("productprices/");

  Fixture() {
    // No server: a cache file judged stale would be fetched from nowhere.
    std::string config = home.File("config.ini");
    IniWriteString(config, "Hosts", "HistoryUrl", "");
    IniWriteString(config, "Hosts", "ComparisonUrl", "");
    MakeDirectories(items);
    MakeDirectories(prices);
    std::string name = Utf8ToLocal("不锈钢电水壶 1.5L 家用 & 办公 ");
    for (int i = 0; i < kTasks; ++i) {
      CTaskValues v;
      v.url =
          "http://item.shop.example/product/" + std::to_string(100000 + i) + ".html?src=list&x=1";
      v.imageLink = "http://img.shop.example/p/" + std::to_string(i) + ".jpg";
      v.productName = name + std::to_string(i);
      v.productId = std::to_string(100000 + i);
      v.frequencyMinute = "30";
      v.frequencyHour = "1";
      v.status = 1;
      v.siteName = Utf8ToLocal("示例商城");
      v.siteDomain = "item.shop.example";
      v.trackStock = v.trackPrice = v.priceDown = true;
      v.currentPrice = "129.00";
      v.currentStock = 1;
      v.lastUpdate = "2013-05-06 07:08:09";
      v.gotoUrl = "http://go.example/?u=" + std::to_string(i);
      auto task = std::make_shared<CTask>(v);
      list.AddTask(task);
      WriteCaches(*task, i);
    }
    list.SaveTasks(tasksPath);
  }

  void WriteCaches(const CTask& task, int i) {
    CPriceInfo history;
    for (int day = 1; day <= 10; ++day)
      history.AddItem({"2013-04-" + std::to_string(10 + day) + " 08:00:00",
                       std::to_string(100 + (i + day) % 30) + ".00"});
    history.SaveCache(HistoryFilePath(task, prices));
    std::string file =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<PItems><Date>2013-05-06 07:08:09</Date>"
        "<ItemID></ItemID><PItemList>";
    for (int offer = 0; offer < 5; ++offer)
      file += "<PItem><Name>" + LocalToUtf8(task.GetProductName()) + "</Name><Price>" +
              std::to_string(120 + offer) + "</Price><Url>http://other" + std::to_string(offer) +
              ".example/" + std::to_string(i) +
              "</Url><GotoUrl></GotoUrl><Site>Other</Site></PItem>";
    file += "</PItemList></PItems>";
    WriteFileAtomic(ComparisonFilePath(task, items), file);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// The baseline: the same bytes, one open, one write, one close.
bool WriteOnce(const std::string& path, const std::string& bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return close(fd) == 0 && ok;
}

void BM_SaveTasks(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(f.list.SaveTasks(f.tasksPath));
  state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(BM_SaveTasks)->Unit(benchmark::kMillisecond);

void BM_WriteSameBytesOnce(benchmark::State& state) {
  Fixture& f = Shared();
  std::string bytes = f.list.ToFileText();
  std::string path = f.home.File("once.xml");
  for (auto _ : state) benchmark::DoNotOptimize(WriteOnce(path, bytes));
  state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(BM_WriteSameBytesOnce)->Unit(benchmark::kMillisecond);

void BM_LoadTasksWithCaches(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    CTaskList loaded;
    loaded.LoadTasks(f.tasksPath, f.items, f.prices, ProductCacheAttacher(nullptr));
    benchmark::DoNotOptimize(loaded.GetCount());
  }
  state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(BM_LoadTasksWithCaches)->Unit(benchmark::kMillisecond);

// The figures the targets are stated in, measured in the same process.
void PrintRatios() {
  Fixture& f = Shared();
  std::string bytes = f.list.ToFileText();
  std::string once = f.home.File("once.xml");
  double save = BestSeconds(7, [&] { f.list.SaveTasks(f.tasksPath); });
  double write = BestSeconds(7, [&] { WriteOnce(once, bytes); });
  double build = BestSeconds(7, [&] { benchmark::DoNotOptimize(f.list.ToFileText()); });
  double atomic = BestSeconds(7, [&] { WriteFileAtomic(f.tasksPath, bytes); });
  double load = BestSeconds(3, [&] {
    CTaskList loaded;
    loaded.LoadTasks(f.tasksPath, f.items, f.prices, ProductCacheAttacher(nullptr));
  });
  CTaskList check;
  check.LoadTasks(f.tasksPath, f.items, f.prices, ProductCacheAttacher(nullptr));
  bool complete = check.GetCount() == kTasks && check.TaskAt(kTasks - 1)->GetPriceHistory() &&
                  check.TaskAt(kTasks - 1)->GetPriceHistory()->GetItemCount() == 10 &&
                  check.TaskAt(kTasks - 1)->GetCompareInfo()->GetItemCount() == 5;
  std::printf("tasks.xml: %zu bytes, %d tasks\n", bytes.size(), kTasks);
  std::printf("SaveTasks %.2f ms, one write of the same bytes %.2f ms: ratio %.2f (target <= 2)\n",
              save * 1e3, write * 1e3, save / write);
  std::printf("  of which: building the text %.2f ms, the atomic write %.2f ms\n", build * 1e3,
              atomic * 1e3);
  std::printf("LoadTasks with both cache files: %.1f ms in all, %.1f us per task (%s)\n",
              load * 1e3, load * 1e6 / kTasks, complete ? "every cache read" : "CACHES MISSING");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  return 0;
}
