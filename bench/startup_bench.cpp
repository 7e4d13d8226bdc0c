// Start-up of the window program with 500 and with 5,000 tasks whose cache
// files are on disk: loading (run-time files, rules, tasks with their
// caches, settings), constructing the main window with its timers, and the
// first paint of the shown window. The cost per task must not grow with
// the number of tasks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include <QApplication>

#include "app/vantreldlg.h"
#include "base/files.h"
#include "base/ini.h"
#include "best_seconds.h"
#include "engine/tasklist.h"
#include "engine/timerqueue.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/productcache.h"
#include "services/startup.h"
#include "support/drawn_images.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

// A program directory with `count` tracked tasks, each with its comparison,
// history and picture files.
class ProgramDirectory {
 public:
  explicit ProgramDirectory(int count) : m_count(count) {
    const std::string config = m_home.File("config.ini");
    // Nothing is fetched: no update folder, no rules server, no services.
    for (const char* key :
         {"UpdateInfoUrl", "SiteRulesUrl", "HistoryUrl", "ComparisonUrl", "SidePanelUrl"})
      IniWriteString(config, "Hosts", key, "");
    for (const char* folder : {"productitems/", "productprices/", "productimgs/"})
      MakeDirectories(m_home.File(folder));
    WriteImage(m_home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {250, 250, 250, 255}),
               "jpg");
    const std::string picture = EncodeJpeg(DrawnImage(105, 105, {40, 120, 200, 255}));
    CTaskList tasks;
    for (int i = 0; i < count; ++i) {
      CTaskValues v;
      v.url = "http://item.shop.example/product/" + std::to_string(100000 + i) + ".html";
      v.imageLink = "http://img.shop.example/p/" + std::to_string(i) + ".jpg";
      v.productName = "Product " + std::to_string(i);
      v.productId = std::to_string(100000 + i);
      v.frequencyHour = "1";
      v.frequencyMinute = "0";
      v.status = 1;
      v.siteName = "Shop";
      v.siteDomain = "item.shop.example";
      v.trackPrice = v.trackStock = v.priceDown = true;
      v.currentPrice = "129.00";
      v.currentStock = 1;
      auto task = std::make_shared<CTask>(v);
      tasks.AddTask(task);
      WriteCaches(*task, picture);
    }
    tasks.SaveTasks(m_home.File("tasks.xml"));
  }

  int Count() const { return m_count; }
  const TempDir& Home() const { return m_home; }

 private:
  void WriteCaches(const CTask& task, const std::string& picture) {
    CPriceInfo history;
    for (int day = 1; day <= 5; ++day)
      history.AddItem({"2013-04-1" + std::to_string(day) + " 08:00:00", "129.00"});
    history.SaveCache(HistoryFilePath(task, m_home.File("productprices/")));
    CETaoInfo offers;
    offers.SaveCache(ComparisonFilePath(task, m_home.File("productitems/")));
    WriteFileAtomic(m_home.File("productimgs/" + ProductFileKey(task)), picture);
  }

  TempDir m_home{true};
  int m_count;
};

// One start-up: data, window, first paint. The window is closed outside
// the timing by the caller.
std::unique_ptr<CVantrelDlg> StartUp(AppData& data) {
  LoadAppData(data);
  MainWindowOptions options;
  options.title = data.title;
  options.version = data.version;
  options.settings = data.settings;
  // The timers are made, but none fires during the measurement.
  options.clock = std::make_shared<ManualTimerClock>();
  options.offerAutoStart = false;
  options.loadWebPanel = false;
  auto window = std::make_unique<CVantrelDlg>(data.sites, data.tasks, options);
  window->show();
  window->grab();  // the first paint, pictures of the visible rows included
  return window;
}

double StartUpSeconds(int count, int runs) {
  ProgramDirectory directory(count);
  return BestSeconds(runs, [&] {
    AppData data;
    std::unique_ptr<CVantrelDlg> window = StartUp(data);
    benchmark::DoNotOptimize(window.get());
    window.release()->deleteLater();
    QCoreApplication::processEvents();
  });
}

void BM_StartUp(benchmark::State& state) {
  ProgramDirectory directory(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    AppData data;
    std::unique_ptr<CVantrelDlg> window = StartUp(data);
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StartUp)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3);

void PrintRatios() {
  const double small = StartUpSeconds(500, 5);
  const double large = StartUpSeconds(5000, 3);
  const double perSmall = small / 500;
  const double perLarge = large / 5000;
  std::printf("start-up to the first paint: 500 tasks %.1f ms, 5000 tasks %.1f ms\n", small * 1e3,
              large * 1e3);
  std::printf("per task: %.1f us with 500, %.1f us with 5000: ratio %.2f (target <= 1.2)\n",
              perSmall * 1e6, perLarge * 1e6, perLarge / perSmall);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TestApplication();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  return 0;
}
