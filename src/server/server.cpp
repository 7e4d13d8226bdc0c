#include "server/server.h"

#include <algorithm>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/addtask.h"
#include "engine/site.h"
#include "server/commission.h"
#include "server/form.h"
#include "server/replies.h"
#include "server/similarity.h"
#include "server/tracker.h"
#include "server/updatefolder.h"

namespace {

constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr const char* kHtmlType = "text/html; charset=utf-8";

FormValues RequestValues(const HttpRequest& request) {
  FormValues values;
  // The body first: its values win over the query's.
  if (request.method == "POST") ParseForm(request.body, values);
  ParseForm(request.query, values);
  return values;
}

HttpReply Text(std::string body) { return {200, kTextType, std::move(body)}; }

std::string ContentType(const std::string& path) {
  auto ends = [&](const char* suffix) {
    const std::string s(suffix);
    return path.size() >= s.size() && path.compare(path.size() - s.size(), s.size(), s) == 0;
  };
  if (ends(".ini") || ends(".txt")) return "text/plain";
  if (ends(".xml")) return "text/xml";
  if (ends(".png")) return "image/png";
  if (ends(".gif")) return "image/gif";
  if (ends(".jpg") || ends(".jpeg")) return "image/jpeg";
  if (ends(".wav")) return "audio/wav";
  return "application/octet-stream";
}

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
         "</title></head><body><h1>" + title + "</h1>" + body + "</body></html>";
}

// The script a failing reply belongs to, from the path.
std::string ScriptOf(const std::string& path) {
  for (const char* script : {"login", "check", "register", "task"})
    if (path == std::string("/api/") + script + ".php") return script;
  return std::string();
}

}  // namespace

int AccountScriptThreads(int threads) { return std::max(4, threads); }

int DatabaseConnections(int threads) {
  return std::max(2, (threads + AccountScriptThreads(threads)) / 4);
}

std::string NameFromProgram(const std::string& bytes) {
  return IsValidUtf8(bytes) ? bytes : LocalToUtf8(bytes);
}

CVantrelServer::CVantrelServer(CServerStore& store, CPasswordHasher& hasher, const CSiteList& sites,
                               CServerTracker* tracker, ServerSettings settings)
    : m_store(store),
      m_sites(sites),
      m_settings(std::move(settings)),
      m_accounts(
          store, hasher,
          [tracker](const std::string& url) {
            if (tracker) tracker->VisitSoon(url);
          },
          m_settings.accountLimits),
      m_throttle(store),
      m_http([this](const HttpRequest& request) { return Dispatch(request); },
             [this] {
               HttpLimits limits;
               limits.maxBody = kMaxRequestBodyBytes;
               limits.threads = std::max(1, m_settings.threads);
               limits.perAddress = std::max(1, m_settings.maxPerAddress);
               // More than the hasher runs at once: the rest wait here, not
               // in an event loop.
               limits.slowThreads = AccountScriptThreads(limits.threads);
               return limits;
             }(),
             m_settings.log,
             // The account scripts may hash a password; nothing else does.
             [](const HttpRequest& request) { return !ScriptOf(request.path).empty(); }) {}

CVantrelServer::~CVantrelServer() { Stop(); }

int CVantrelServer::Start() {
  if (m_port < 0) m_port = m_http.Start(m_settings.host, m_settings.port);
  return m_port;
}

void CVantrelServer::Stop() {
  m_http.Stop();
  m_port = -1;
}

std::string CVantrelServer::HistoryAnswer(const std::string& url) {
  if (!IsProductLink(url)) return HistoryReply({});
  return HistoryReply(m_store.PricePoints(url));
}

std::string CVantrelServer::ComparisonAnswer(const std::string& url, const std::string& name) {
  if (!IsProductLink(url)) return ComparisonReply({});
  std::string wanted = NameFromProgram(name);
  std::string site;
  // One statement: the product asked about and the offers.
  const std::vector<StoredProduct> products = m_store.Products();
  const auto known = std::find_if(products.begin(), products.end(),
                                  [&](const StoredProduct& product) { return product.url == url; });
  if (known != products.end()) {
    site = known->site;
    if (wanted.empty()) wanted = known->name;
  } else if (SiteRef guessed = GuessSiteFromLink(m_sites, url)) {
    site = LocalToUtf8(guessed->GetName());
  }
  if (!IsCleanText(wanted, kMaxNameBytes)) return ComparisonReply({});
  return ComparisonReply(MatchOffers(wanted, url, site, products));
}

HttpReply CVantrelServer::UpdateFile(const std::string& name) const {
  const std::string path = m_settings.updateFolder.empty()
                               ? std::string()
                               : UpdateFilePath(m_settings.updateFolder, name);
  std::string bytes;
  if (path.empty() || !ReadWholeFile(path, bytes)) return {404, kTextType, std::string()};
  return {200, ContentType(path), std::move(bytes)};
}

HttpReply CVantrelServer::AccountScript(const std::string& script, const HttpRequest& request) {
  const FormValues values = RequestValues(request);
  const bool post = request.method == "POST";
  if (script == "check") return Text(m_accounts.Check(values));
  if (script == "register") {
    // Each registration costs a slow hash and a row: rationed per address
    // and overall.
    const int wait = post ? m_throttle.Register(request.client) : 0;
    if (wait) return {429, kTextType, CAccountApi::FailingReply(script), wait};
    return Text(m_accounts.Register(post, values));
  }
  // Logins and task requests check a password: throttled while it fails.
  const std::string email = NormalisedEmail(FormValue(values, "u"));
  const CLoginThrottle::Verdict verdict = m_throttle.Look(email, request.client);
  if (verdict.retryAfter)
    return {429, kTextType, CAccountApi::FailingReply(script), verdict.retryAfter};
  HttpReply reply = script == "login" ? Text(m_accounts.Login(values, verdict.account))
                                      : m_accounts.Task(post, values, verdict.account);
  reply.contentType = kTextType;
  if (script == "login" && reply.body.rfind("1|", 0) == 0) {
    // Only a client with failures has any to forget.
    if (verdict.clientFailed) m_throttle.Succeeded(email, request.client);
  } else if (reply.body ==
             (script == "login" ? CAccountApi::kLoginFailed : CAccountApi::kNotAuthorised)) {
    m_throttle.Failed(email, request.client);
  }
  return reply;
}

HttpReply CVantrelServer::Dispatch(const HttpRequest& request) {
  const std::string script = ScriptOf(request.path);
  // A refused request still gets its script's failing reply.
  if (request.refusal)
    return {request.refusal, kTextType,
            script.empty() ? std::string() : CAccountApi::FailingReply(script)};
  if (!script.empty() && (request.method == "POST" || request.method == "GET"))
    return AccountScript(script, request);
  if (request.method != "GET") return {404, kTextType, std::string()};

  const std::string& path = request.path;
  const std::string updatePrefix = "/update/";
  if (path.rfind(updatePrefix, 0) == 0) return UpdateFile(path.substr(updatePrefix.size()));
  if (path == "/logo.png") return UpdateFile("imgs/logo.png");
  const FormValues values = RequestValues(request);
  if (path == "/price_history.php") return Text(HistoryAnswer(FormValue(values, "url")));
  if (path == "/price_comparison.php")
    return Text(ComparisonAnswer(FormValue(values, "url"), FormValue(values, "name")));
  if (path == "/buylink.php")
    return Text(
        CommissionReply(m_settings.commission, FormValue(values, "s"), FormValue(values, "u")));

  struct PlainPage {
    const char* path;
    const char* title;
    const char* body;
  };
  static const PlainPage kPages[] = {
      {"/", "Vantrel", "<p>万特尔价格跟踪服务器。</p>"},
      {"/panel.html", "万特尔", "<p>添加商品链接，降价时第一时间通知您。</p>"},
      {"/help.html", "帮助", "<p>复制商品链接，在主窗口中添加任务即可开始跟踪价格。</p>"},
      {"/follow.html", "关注我们", "<p>感谢您的关注。</p>"},
  };
  for (const PlainPage& page : kPages)
    if (path == page.path) return {200, kHtmlType, Page(page.title, page.body)};
  return {404, kTextType, std::string()};
}
