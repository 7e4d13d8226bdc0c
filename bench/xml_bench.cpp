// Reading a task list of 10,000 tasks: XmlDocument against libxml2, both
// reading the file from memory and the text of every element.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "base/codepage.h"
#include "text/xml.h"

namespace {

constexpr int kTasks = 10000;

const char* const kFields[] = {
    "Url",          "ImageLink",  "ProductName", "ProductID",  "FrequencyMinute", "FrequencyHour",
    "Status",       "SiteName",   "SiteDomain",  "TrackPrice", "TrackStock",      "CurrentPrice",
    "CurrentStock", "LastUpdate", "PriceUp",     "PriceDown",  "TargetPrice",     "GotoUrl"};

// A tasks.xml as the task list writes it: declaration, CR LF, then one line.
std::string MakeTasksXml() {
  // "新款 男士 休闲鞋" and "京东商城" in GBK, written as UTF-8 like the writer does.
  const std::string name = "\xD0\xC2\xBF\xEE \xC4\xD0\xCA\xBF \xD0\xDD\xCF\xD0\xD0\xAC";
  const std::string shop = "\xBE\xA9\xB6\xAB\xC9\xCC\xB3\xC7";
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";
  for (int i = 0; i < kTasks; ++i) {
    std::string id = std::to_string(100000 + i * 7);
    const std::string values[] = {
        "http://item.jd.com/" + id + ".html",
        "http://img10.360buyimg.com/n1/" + id + ".jpg",
        XmlEscape(name + " " + std::to_string(i) + " & <gift>"),
        id,
        "30",
        "0",
        i % 5 ? "true" : "false",
        shop,
        "jd.com",
        "true",
        "true",
        std::to_string(100 + i % 900) + ".00",
        i % 3 ? "true" : "false",
        "2026-12-08 10:" + std::to_string(10 + i % 50) + ":00",
        "false",
        "true",
        "",
        "http://click.example.com/?u=http%3A%2F%2Fitem.jd.com%2F" + id + ".html&amp;s=1",
    };
    xml += "<Task>";
    for (size_t f = 0; f < std::size(kFields); ++f) {
      bool utf8 = f == 2 || f == 3 || f == 7 || f == 17;
      xml += std::string("<") + kFields[f] + ">" + (utf8 ? AnsiToUtf8(values[f]) : values[f]) +
             "</" + kFields[f] + ">";
    }
    xml += "</Task>";
  }
  xml += "</TaskList>";
  return xml;
}

const std::string& TasksXml() {
  static const std::string xml = MakeTasksXml();
  return xml;
}

size_t WalkOurs(XmlDocument& doc) {
  size_t total = 0;
  while (doc.FindChildElement("Task")) {
    doc.EnterElement();
    for (const char* field : kFields)
      if (doc.FindChildElement(field)) total += doc.GetChildText().size();
    doc.LeaveElement();
  }
  return total;
}

// Every element's text, where it holds no element of its own (what
// GetChildText gives).
size_t WalkLibxml2(xmlNode* node) {
  size_t total = 0;
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    bool hasElement = false;
    for (xmlNode* child = node->children; child && !hasElement; child = child->next)
      hasElement = child->type == XML_ELEMENT_NODE;
    if (hasElement) {
      total += WalkLibxml2(node->children);
      continue;
    }
    xmlChar* text = xmlNodeGetContent(node);
    total += std::strlen(reinterpret_cast<const char*>(text));
    xmlFree(text);
  }
  return total;
}

void BM_XmlDocumentLoadAndWalk(benchmark::State& state) {
  const std::string& bytes = TasksXml();
  for (auto _ : state) {
    XmlDocument doc;
    if (!doc.LoadFromMemory(bytes)) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(WalkOurs(doc));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Libxml2ReadAndWalk(benchmark::State& state) {
  const std::string& bytes = TasksXml();
  for (auto _ : state) {
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                XML_PARSE_NONET);
    if (!doc) state.SkipWithError("libxml2 failed");
    benchmark::DoNotOptimize(WalkLibxml2(xmlDocGetRootElement(doc)));
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The parse alone, on text already in the local code page.
void BM_XmlDocumentParseAndWalk(benchmark::State& state) {
  XmlDocument loaded;
  loaded.LoadFromMemory(TasksXml());
  const std::string text = loaded.GetText();
  for (auto _ : state) {
    XmlDocument doc;
    doc.SetText(text);
    benchmark::DoNotOptimize(WalkOurs(doc));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_XmlDocumentLoadAndWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2ReadAndWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlDocumentParseAndWalk)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto it = m_times.find(name);
    return it == m_times.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  xmlInitParser();
  std::printf("tasks.xml: %d tasks, %zu bytes\n", kTasks, TasksXml().size());
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double theirs = reporter.Time("BM_Libxml2ReadAndWalk");
  if (theirs > 0) {
    std::printf("ratio ours/libxml2, load (UTF-8 to local) and walk: %.2f\n",
                reporter.Time("BM_XmlDocumentLoadAndWalk") / theirs);
    std::printf("ratio ours/libxml2, parse of local text and walk: %.2f\n",
                reporter.Time("BM_XmlDocumentParseAndWalk") / theirs);
  }
  xmlCleanupParser();
  benchmark::Shutdown();
  return 0;
}
