// Fetching a gzip page: GetPage against plain libcurl fetching and decoding
// the same page from the same in-process server, one transfer per call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <zlib.h>

#include "best_seconds.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

constexpr int kCalls = 500;

struct Fixture {
  TempDir home{true};
  TestHttpServer server;
  std::string page;
  std::string url;

  Fixture() {
    page = "<html><head><title>\xc9\xcc\xc6\xb7</title></head><body><ul>";
    unsigned seed = 11;
    while (page.size() < 300 * 1024) {
      seed = seed * 1103515245 + 12345;
      page += "<li><a href=\"/item/" + std::to_string(seed % 1000000) +
              ".html\">\xc9\xcc\xc6\xb7 " + std::to_string(seed >> 12) + "</a><b>" +
              std::to_string(seed % 9999) + ".00</b></li>\n";
    }
    page += "</ul></body></html>";
    std::string gzip = GzipText(page);
    server.Get("/item", [gzip](const httplib::Request&, httplib::Response& response) {
      response.set_header("Content-Encoding", "gzip");
      response.set_content(gzip, "text/html; charset=gbk");
    });
    url = server.Url("/item");
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

size_t Append(char* data, size_t, size_t size, void* out) {
  static_cast<std::string*>(out)->append(data, size);
  return size;
}

// libcurl by itself: a fresh handle per page, the gzip body inflated by
// zlib in one call into a buffer of the size the gzip trailer states.
std::string PlainCurl(const std::string& url) {
  std::string body;
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_perform(curl.get());
  if (body.size() < 4) return std::string();
  const auto* end = reinterpret_cast<const unsigned char*>(body.data() + body.size());
  size_t size = end[-4] | end[-3] << 8 | end[-2] << 16 | static_cast<size_t>(end[-1]) << 24;
  std::string page(size, '\0');
  z_stream z{};
  inflateInit2(&z, 47);
  z.next_in = reinterpret_cast<Bytef*>(body.data());
  z.avail_in = static_cast<uInt>(body.size());
  z.next_out = reinterpret_cast<Bytef*>(page.data());
  z.avail_out = static_cast<uInt>(page.size());
  inflate(&z, Z_FINISH);
  page.resize(z.total_out);
  inflateEnd(&z);
  return page;
}

// The same with libcurl's own gzip decoder, for comparison.
std::string CurlDecoding(const std::string& url) {
  std::string body;
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "gzip");
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_perform(curl.get());
  return body;
}

void BM_GetPage(benchmark::State& state) {
  Fixture& f = Shared();
  CSpider spider;
  for (auto _ : state) benchmark::DoNotOptimize(spider.GetPage(f.url, "gbk"));
}
BENCHMARK(BM_GetPage)->Unit(benchmark::kMicrosecond);

void BM_PlainCurl(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(PlainCurl(f.url));
}
BENCHMARK(BM_PlainCurl)->Unit(benchmark::kMicrosecond);

void BM_CurlDecoding(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(CurlDecoding(f.url));
}
BENCHMARK(BM_CurlDecoding)->Unit(benchmark::kMicrosecond);

void PrintRatio() {
  Fixture& f = Shared();
  CSpider spider;
  bool same = spider.GetPage(f.url, "gbk") == f.page && PlainCurl(f.url) == f.page &&
              CurlDecoding(f.url) == f.page;
  double ours = BestSeconds(3, [&] {
    for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(spider.GetPage(f.url, "gbk"));
  });
  double plain = BestSeconds(3, [&] {
    for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(PlainCurl(f.url));
  });
  double decoding = BestSeconds(3, [&] {
    for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(CurlDecoding(f.url));
  });
  std::printf("page %zu bytes served gzip; every side got it %s\n", f.page.size(),
              same ? "whole" : "WRONG");
  std::printf(
      "%d GetPage %.1f ms, %d plain libcurl fetches %.1f ms: ratio ours/plain %.2f "
      "(target <= 1.5)\n",
      kCalls, ours * 1e3, kCalls, plain * 1e3, ours / plain);
  std::printf("(libcurl decoding the gzip itself: %.1f ms, ratio ours/that %.2f)\n", decoding * 1e3,
              ours / decoding);
}

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatio();
  benchmark::Shutdown();
  return 0;
}
