// Inflating a gzip page body: ours (the exact byte-loop result, computed in
// blocks) against zlib inflating straight into one large buffer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include "best_seconds.h"
#include "engine/inflate.h"
#include "support/http_server.h"

namespace {

// About 2 MB of shop-page markup that compresses as real pages do.
const std::string& Page() {
  static const std::string page = [] {
    std::string text = "<html><head><title>\xc9\xcc\xc6\xb7</title></head><body><ul>";
    unsigned seed = 7;
    while (text.size() < 2 * 1024 * 1024) {
      seed = seed * 1103515245 + 12345;
      text += "<li class=\"item\"><a href=\"/item/" + std::to_string(seed % 1000000) +
              ".html\">\xc9\xcc\xc6\xb7 " + std::to_string(seed >> 12) +
              "</a><span class=\"price\">" + std::to_string(seed % 9999) + ".00</span></li>\n";
    }
    return text + "</ul></body></html>";
  }();
  return page;
}

const std::string& Gzip() {
  static const std::string gzip = GzipText(Page());
  return gzip;
}

// zlib on its own: one call, output space for the whole page.
size_t PlainInflate(const std::string& gzip, std::string& out) {
  z_stream z{};
  inflateInit2(&z, 47);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
  z.avail_in = static_cast<uInt>(gzip.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_FINISH);
  size_t produced = z.total_out;
  inflateEnd(&z);
  return produced;
}

void BM_Gunzip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Gunzip(Gzip()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_Gunzip)->Unit(benchmark::kMillisecond);

void BM_PlainZlib(benchmark::State& state) {
  std::string out(Page().size() + 1, '\0');
  for (auto _ : state) benchmark::DoNotOptimize(PlainInflate(Gzip(), out));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_PlainZlib)->Unit(benchmark::kMillisecond);

void PrintRatio() {
  std::string out(Page().size() + 1, '\0');
  bool same = Gunzip(Gzip()) == Page();
  double ours = BestSeconds(30, [&] { benchmark::DoNotOptimize(Gunzip(Gzip())); });
  double zlib = BestSeconds(30, [&] { benchmark::DoNotOptimize(PlainInflate(Gzip(), out)); });
  std::printf("page %zu bytes, gzip %zu bytes, decoded %s\n", Page().size(), Gzip().size(),
              same ? "identically" : "DIFFERENTLY");
  std::printf(
      "Gunzip %.2f ms, zlib into one buffer %.2f ms: ratio zlib/ours %.2f (target >= 0.8)\n",
      ours * 1e3, zlib * 1e3, zlib / ours);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatio();
  benchmark::Shutdown();
  return 0;
}
