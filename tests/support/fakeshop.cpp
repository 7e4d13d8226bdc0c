#include "support/fakeshop.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "base/codepage.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "support/http_server.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

ShopRequest FromHttplib(const httplib::Request& request) {
  ShopRequest seen;
  seen.target = request.target;
  seen.path = request.target.substr(0, request.target.find('?'));
  for (const auto& [name, value] : request.headers) seen.headers[Lower(name)] = value;
  return seen;
}

std::string Utf8ToGbk(const std::string& utf8) {
  std::string gbk;
  ConvertEncoding(utf8, "UTF-8", "GBK", gbk);
  return gbk;
}

}  // namespace

ShopReply MakeReply(std::string body, std::string contentType, int status) {
  ShopReply reply;
  reply.status = status;
  reply.body = std::move(body);
  reply.contentType = std::move(contentType);
  return reply;
}

std::string ShopRequest::Header(const std::string& name) const {
  auto found = headers.find(Lower(name));
  return found == headers.end() ? std::string() : found->second;
}

FakeShop::FakeShop() : m_server(std::make_unique<TestHttpServer>()) {
  m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    ShopReply reply = Answer(FromHttplib(request));
    response.status = reply.status;
    for (const std::string& cookie : reply.setCookies) response.set_header("Set-Cookie", cookie);
    if (reply.gzip) {
      response.set_header("Content-Encoding", "gzip");
      response.set_content(GzipText(reply.body), reply.contentType);
    } else {
      response.set_content(reply.body, reply.contentType);
    }
  });
}

FakeShop::~FakeShop() = default;

std::string FakeShop::Host() const { return "127.0.0.1:" + std::to_string(m_server->Port()); }

std::string FakeShop::Link(const std::string& target) const { return m_server->Url(target); }

ShopReply FakeShop::Answer(const ShopRequest& request) {
  std::function<ShopReply(const ShopRequest&)> handler;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_log.push_back(request);
    auto found = m_handlers.find(request.path);
    if (found != m_handlers.end()) handler = found->second;
  }
  if (!handler) return MakeReply("not in this shop", "text/plain", 404);
  return handler(request);
}

void FakeShop::Serve(const std::string& path,
                     std::function<ShopReply(const ShopRequest&)> handler) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_handlers[path] = std::move(handler);
}

void FakeShop::Reply(const std::string& path, ShopReply reply) {
  Serve(path, [reply](const ShopRequest&) { return reply; });
}

void FakeShop::Page(const std::string& path, const std::string& utf8Text, PageOptions options) {
  ShopReply reply;
  const bool gbk = options.encoding == PageEncoding::kGbk;
  reply.body = gbk ? Utf8ToGbk(utf8Text) : utf8Text;
  if (options.declareCharset) reply.contentType += gbk ? "; charset=gbk" : "; charset=utf-8";
  reply.gzip = options.gzip;
  Reply(path, std::move(reply));
}

void FakeShop::Json(const std::string& path, const std::string& text) {
  Reply(path, MakeReply(text, "application/json; charset=utf-8"));
}

void FakeShop::Text(const std::string& path, const std::string& text) {
  Reply(path, MakeReply(text, "text/plain; charset=utf-8"));
}

void FakeShop::PriceImage(const std::string& path, const std::string& priceText,
                          const TextStyle& style) {
  Reply(path, MakeReply(EncodePng(DrawText(priceText, style)), "image/png"));
}

void FakeShop::GomeRegionEndpoint(const std::string& region) {
  ShopReply reply = MakeReply("ipWrite({})", "text/javascript");
  reply.setCookies.push_back("atgregion=" + region + "|Beijing|" + region + "; path=/");
  reply.setCookies.push_back("atgvisit=1; path=/");
  Reply(kGomeRegionEndpointPath, std::move(reply));
}

void FakeShop::YihaodianProvinceEndpoint(const std::string& provinceId) {
  Json(kYihaodianProvincePath,
       "{\"ipProvinceId\":" + provinceId + ",\"ipProvinceName\":\"Beijing\"}");
}

void FakeShop::YixunLocationEndpoint() { Json(kYixunLocationPath, "{\"loc\":\"1\"}"); }

void FakeShop::SuningStatusEndpoint(const std::string& json) { Json(kSuningStatusPath, json); }

void FakeShop::StandInFor(std::initializer_list<HostId> hosts) const {
  for (HostId id : hosts) IniWriteString(ProgramFile("config.ini"), "Hosts", HostKey(id), Host());
}

void FakeShop::KeepConnections(time_t idleSeconds, size_t requests) {
  m_server->Server().set_keep_alive_timeout(idleSeconds);
  m_server->Server().set_keep_alive_max_count(requests);
}

int FakeShop::Requests(const std::string& path) const {
  return static_cast<int>(RequestsTo(path).size());
}

std::vector<ShopRequest> FakeShop::RequestsTo(const std::string& path) const {
  std::vector<ShopRequest> matching;
  for (const ShopRequest& request : Log())
    if (request.path == path) matching.push_back(request);
  return matching;
}

std::vector<ShopRequest> FakeShop::Log() const {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_log;
}

int FakeShop::TotalRequests() const { return static_cast<int>(Log().size()); }

void WriteDigitTemplates(const std::string& folder, const TextStyle& style) {
  MakeDirectories(folder);
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const auto& [c, glyph] : TestFont()) {
    std::string name;
    if (c >= '0' && c <= '9')
      name = std::string(1, c);
    else if (c == '.')
      name = "pot";
    else
      continue;
    WriteImage(base + name + ".png", DrawTemplate(glyph, style), "png");
  }
}

ProductRun FetchAndExtract(const CSite& site, const std::string& productUrl) {
  ProductRun run;
  CSpider spider;
  run.page = FetchProductPage(spider, site, productUrl, &run.trace);
  run.values = ExtractProduct(spider, run.page, site, productUrl, &run.trace);
  run.info = ExtractItemInfo(run.page, site);
  return run;
}

CSite PlainPageSite(const std::string& name, const std::string& domain,
                    const std::string& outOfStockFlag) {
  CSite site;
  site.SetName(name);
  site.SetDomain(domain);
  site.SetEncode("utf-8");
  site.SetIDRegex("id=\"sku\">(\\d+)<");
  site.SetNameRegex("<h1 id=\"name\">(.*?)</h1>");
  site.SetImageRegex("id=\"pic\" src=\"(.*?)\"");
  site.SetPriceRegex("id=\"price\">([0-9.,]+)<");
  site.SetStockRegex("id=\"stock\">(.*?)<");
  site.SetOutOfStockFlag(outOfStockFlag);
  return site;
}

std::string ExampleSitesFor(const FakeShop& shop) {
  const char* source = std::getenv("VANTREL_SOURCE_DIR");
  // Without ctest's variable, the sources are found from this file's path.
  std::string root =
      source ? source : std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/tests/"));
  std::string text;
  ReadWholeFile(root + "/data/sites.example.xml", text);
  const std::string host = "api.shop.example";
  for (size_t at = text.find(host); at != std::string::npos; at = text.find(host, at))
    text.replace(at, host.size(), shop.Host());
  return text;
}

std::string ExamplePage(const ExampleProduct& p) {
  return "<html><head><meta charset=\"utf-8\"><title>" + p.name + "</title></head>\n" +
         "<body data-shop=\"" + p.kind + "\" data-area=\"" + p.area + "\">\n" + "<h1 id=\"name\">" +
         p.name + "</h1>\n<span id=\"sku\">" + p.sku + "</span>\n" +
         "<img id=\"main-image\" src=\"/images/" + p.sku + ".jpg\">\n" +
         "<em id=\"price\">\xEF\xBF\xA5" + p.price + "</em>\n" + "<em id=\"promo\">\xEF\xBF\xA5" +
         p.promo + "</em>\n" + "<div id=\"stock\">" + p.stock + "</div>\n" + p.extra +
         "\n</body></html>\n";
}
