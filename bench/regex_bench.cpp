// The rule workload: a generated 300 KB product page and 15 patterns of the
// kinds shop rules use, each compiled and searched once per use with flags 9
// (ignore case, dot-all), as extraction does. Baselines in the same run:
// PCRE2 without JIT and with JIT, caseless and dot-all.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "text/regex.h"

namespace {

// GBK bytes: "有货" in stock, "无货" out of stock, "价格" price, "促销" promotion.
const std::string kInStock = "\xD3\xD0\xBB\xF5";
const std::string kNoStock = "\xCE\xDE\xBB\xF5";
const std::string kPrice = "\xBC\xDB\xB8\xF1";
const std::string kPromotion = "\xB4\xD9\xCF\xFA";

std::string ChineseText(std::mt19937& rng, size_t bytes) {
  std::string out;
  while (out.size() < bytes) {
    out += static_cast<char>(0xB0 + rng() % 0x48);
    out += static_cast<char>(0xA1 + rng() % 0x5E);
    if (rng() % 9 == 0) out += ' ';
  }
  return out;
}

const std::string& Page() {
  static const std::string page = [] {
    std::mt19937 rng(42);
    std::string p =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n"
        "<meta name=\"keywords\" content=\"" +
        ChineseText(rng, 60) + "\">\n<TITLE>" + ChineseText(rng, 40) +
        " - Shop</title>\n<link rel=\"stylesheet\" href=\"//static.example.com/item.css\">\n";
    p += "<script>\nvar g_config = {\"itemId\":\"10023456\",\"shopName\":\"" +
         ChineseText(rng, 16) + "\",\"skus\":[";
    for (int i = 0; p.size() < 200000; ++i) {
      if (i) p += ',';
      p += "{\"skuId\":" + std::to_string(2000000 + i * 37) + ",\"color\":\"" +
           ChineseText(rng, 8) + "\",\"size\":\"" + std::to_string(36 + i % 10) +
           "\",\"stock\":" + std::to_string(rng() % 500) + ",\"img\":\"//img.example.com/sku/" +
           std::to_string(i) + ".jpg\",\"tags\":[\"a\",\"b\"]}";
    }
    p += "],\"price\":\"128.00\",\"promoPrice\":\"99.00\",\"stock\":27};\n</script>\n</"
         "head>\n<body>\n";
    for (int i = 0; p.size() < 300000; ++i) {
      p += "<div class=\"desc\" data-spm=\"d" + std::to_string(i) + "\"><p>" +
           ChineseText(rng, 120) + "</p><img class=\"lazy\" src=\"//img.example.com/desc/" +
           std::to_string(i) + ".jpg\"></div>\n";
    }
    p += "<h1 class=\"tb-main-title\">\n  " + ChineseText(rng, 30) + "\n</h1>\n";
    p += "<div class=\"tb-price\">" + kPrice + "<span class=\"tm-price\">128.00</span>";
    p += "<strong id=\"J_Price\">&yen;99.00</strong>" + kPromotion + ChineseText(rng, 10) +
         " 20.00</div>\n";
    p += "<div id=\"J_Stock\">" + kInStock + "</div>\n</body>\n</html>\n";
    return p;
  }();
  return page;
}

const std::vector<std::string>& Patterns() {
  static const std::vector<std::string> patterns = {
      "<title>(.*?)</title>",
      "\"price\":\"(.*?)\"",
      "id=\"J_Price\">(.*?)<",
      "<meta name=\"keywords\" content=\"(.*?)\"",
      "\"itemId\":\"?(\\d+)",
      "(?<=\"promoPrice\":\")[\\d.]+",
      "<div id=\"J_Stock\">(" + kInStock + "|" + kNoStock + ")",
      "<span class=\"(?:price|tm-price)\">(.*?)</span>",
      "\"stock\":(\\d+)\\}",
      "<h1[^>]*>\\s*(.*?)\\s*</h1>",
      "\"shopName\":\"(.*?)\"",
      kPromotion + "[^<]*?(\\d+\\.\\d{2})",
      "id=\"J_StrPrice\">(.*?)<",  // a rule for another page layout: no match
      "<em class=\"tm-yen\">(.*?)</em>|id=\"J_Price\">&yen;([\\d.]+)",
      "(?:skuId|sku_id)\":(\\d+),\"color\":\"[^\"]*\",\"size\":\"44\"",
  };
  return patterns;
}

constexpr int kFlags = RX_IGNORE_CASE | RX_DOT_ALL;

int OursOnce(const std::string& page) {
  int found = 0;
  for (const std::string& text : Patterns()) {
    CRegexPattern pattern;
    pattern.SetPattern(text, kFlags);
    CRegexMatch m = pattern.Search(page);
    found += m.Found() ? m.GroupEnd(m.HighestGroup() > 0 ? 1 : 0) : 0;
  }
  return found;
}

int PcreOnce(const std::string& page, bool jit) {
  int found = 0;
  for (const std::string& text : Patterns()) {
    int error;
    PCRE2_SIZE offset;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                     PCRE2_CASELESS | PCRE2_DOTALL, &error, &offset, nullptr);
    if (!code) continue;
    if (jit) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(page.data()), page.size(), 0, 0, data,
                         nullptr);
    if (rc > 0) {
      PCRE2_SIZE* v = pcre2_get_ovector_pointer(data);
      found += static_cast<int>(rc > 1 ? v[3] : v[1]);
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  return found;
}

void BM_Ours(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(OursOnce(Page()));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(Page().size() * Patterns().size()));
}
void BM_Pcre2NoJit(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PcreOnce(Page(), false));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(Page().size() * Patterns().size()));
}
void BM_Pcre2Jit(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PcreOnce(Page(), true));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(Page().size() * Patterns().size()));
}
BENCHMARK(BM_Ours);
BENCHMARK(BM_Pcre2NoJit);
BENCHMARK(BM_Pcre2Jit);

// The best of several timed rounds, in seconds per workload.
template <typename F>
double Best(F run) {
  double best = 1e9;
  for (int round = 0; round < 7; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) benchmark::DoNotOptimize(run());
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 20);
  }
  return best;
}

// Both engines must find the same groups, or the comparison means nothing.
bool SameResults() {
  bool same = true;
  for (const std::string& text : Patterns()) {
    CRegexPattern pattern;
    pattern.SetPattern(text, kFlags);
    CRegexMatch m = pattern.Search(Page());
    int error;
    PCRE2_SIZE offset;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                     PCRE2_CASELESS | PCRE2_DOTALL, &error, &offset, nullptr);
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(Page().data()), Page().size(), 0, 0,
                         data, nullptr);
    std::vector<int> theirs;
    if (rc > 0) {
      PCRE2_SIZE* v = pcre2_get_ovector_pointer(data);
      for (int g = 0; g < rc; ++g) {
        theirs.push_back(v[2 * g] == PCRE2_UNSET ? -1 : static_cast<int>(v[2 * g]));
        theirs.push_back(v[2 * g + 1] == PCRE2_UNSET ? -1 : static_cast<int>(v[2 * g + 1]));
      }
    }
    std::vector<int> ours;
    for (int g = 0;
         m.Found() && g <= m.HighestGroup() && static_cast<size_t>(2 * g) < theirs.size(); ++g) {
      ours.push_back(m.GroupBegin(g));
      ours.push_back(m.GroupEnd(g));
    }
    if (m.Found() != (rc > 0) || ours != theirs) {
      std::printf("results differ for pattern %zu\n",
                  static_cast<size_t>(&text - Patterns().data()));
      same = false;
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool same = SameResults();
  const std::string& page = Page();
  double ours = Best([&] { return OursOnce(page); });
  double nojit = Best([&] { return PcreOnce(page, false); });
  double jit = Best([&] { return PcreOnce(page, true); });
  std::printf("page %zu bytes, %zu patterns, results %s\n", page.size(), Patterns().size(),
              same ? "identical" : "DIFFER");
  std::printf("ours %.3f ms, pcre2-nojit %.3f ms, pcre2-jit %.3f ms per workload\n", ours * 1e3,
              nojit * 1e3, jit * 1e3);
  std::printf("ratio ours/pcre2-nojit: %.2f\n", ours / nojit);
  std::printf("ratio ours/pcre2-jit: %.2f\n", ours / jit);
  return same ? 0 : 1;
}
