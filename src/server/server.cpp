#include "server/server.h"

#include <sys/socket.h>

#include <httplib.h>

#include <chrono>

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

FormValues RequestValues(const httplib::Request& request) {
  FormValues values;
  // The body first: its values win over the query's.
  if (request.method == "POST") ParseForm(request.body, values);
  const size_t question = request.target.find('?');
  if (question != std::string::npos) ParseForm(request.target.substr(question + 1), values);
  return values;
}

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

std::string NameFromProgram(const std::string& bytes) {
  return IsValidUtf8(bytes) ? bytes : LocalToUtf8(bytes);
}

CVantrelServer::CVantrelServer(CServerStore& store, CPasswordHasher& hasher, const CSiteList& sites,
                               CServerTracker* tracker, ServerSettings settings)
    : m_store(store),
      m_sites(sites),
      m_settings(std::move(settings)),
      m_accounts(store, hasher,
                 [tracker](const std::string& url) {
                   if (tracker) tracker->VisitSoon(url);
                 }),
      m_http(std::make_unique<httplib::Server>()) {
  Route();
}

CVantrelServer::~CVantrelServer() { Stop(); }

int CVantrelServer::Start() {
  if (m_thread.joinable()) return m_port;
  // The library listens with a backlog of 5, which drops connections when
  // many clients arrive at once; the socket is caught while it is made and
  // given the system's largest backlog once bound.
  int listening = -1;
  m_http->set_socket_options([&listening](int socket) {
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (listening < 0) listening = socket;
  });
  m_port = m_settings.port == 0
               ? m_http->bind_to_any_port(m_settings.host)
               : (m_http->bind_to_port(m_settings.host, m_settings.port) ? m_settings.port : -1);
  if (m_port < 0) return -1;
  if (listening >= 0) listen(listening, SOMAXCONN);
  m_thread = std::thread([this] { m_http->listen_after_bind(); });
  // Requests sent before the loop runs would wait in the listen queue
  // anyway, but a Stop before it runs would be lost and the loop never end.
  for (int i = 0; i < 2500 && !m_http->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return m_port;
}

void CVantrelServer::Stop() {
  m_http->stop();
  if (m_thread.joinable()) m_thread.join();
}

std::string CVantrelServer::HistoryAnswer(const std::string& url) {
  if (!IsProductLink(url)) return HistoryReply({});
  return HistoryReply(m_store.PricePoints(url));
}

std::string CVantrelServer::ComparisonAnswer(const std::string& url, const std::string& name) {
  if (!IsProductLink(url)) return ComparisonReply({});
  std::string wanted = NameFromProgram(name);
  std::string site;
  if (std::optional<StoredProduct> known = m_store.FindProduct(url)) {
    site = known->site;
    if (wanted.empty()) wanted = known->name;
  } else if (SiteRef guessed = GuessSiteFromLink(m_sites, url)) {
    site = LocalToUtf8(guessed->GetName());
  }
  if (!IsCleanText(wanted, kMaxNameBytes)) return ComparisonReply({});
  return ComparisonReply(MatchOffers(wanted, url, site, m_store.PricedProducts()));
}

void CVantrelServer::Answer(const std::string& script, const httplib::Request& request,
                            httplib::Response& response) {
  const FormValues values = RequestValues(request);
  const bool post = request.method == "POST";
  std::string reply;
  if (script == "login")
    reply = m_accounts.Login(values);
  else if (script == "check")
    reply = m_accounts.Check(values);
  else if (script == "register")
    reply = m_accounts.Register(post, values);
  else
    reply = m_accounts.Task(post, values);
  response.set_content(reply, kTextType);
}

void CVantrelServer::Route() {
  httplib::Server& http = *m_http;
  const int threads = std::max(1, m_settings.threads);
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  http.set_payload_max_length(kMaxRequestBodyBytes);
  http.set_tcp_nodelay(true);
  // Whatever went wrong before a script ran (a body too large, a request
  // line too long), an account script's caller gets its failing reply.
  http.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    const std::string script = ScriptOf(request.path);
    if (!script.empty()) response.set_content(CAccountApi::FailingReply(script), kTextType);
  });

  http.Get(R"(/update/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string path = m_settings.updateFolder.empty()
                                 ? std::string()
                                 : UpdateFilePath(m_settings.updateFolder, request.matches[1]);
    std::string bytes;
    if (path.empty() || !ReadWholeFile(path, bytes)) {
      response.status = 404;
      return;
    }
    response.set_content(bytes, ContentType(path).c_str());
  });
  http.Get("/price_history.php",
           [this](const httplib::Request& request, httplib::Response& response) {
             const FormValues values = RequestValues(request);
             response.set_content(HistoryAnswer(FormValue(values, "url")), kTextType);
           });
  http.Get("/price_comparison.php",
           [this](const httplib::Request& request, httplib::Response& response) {
             const FormValues values = RequestValues(request);
             response.set_content(
                 ComparisonAnswer(FormValue(values, "url"), FormValue(values, "name")), kTextType);
           });
  http.Get("/buylink.php", [this](const httplib::Request& request, httplib::Response& response) {
    const FormValues values = RequestValues(request);
    response.set_content(
        CommissionReply(m_settings.commission, FormValue(values, "s"), FormValue(values, "u")),
        kTextType);
  });
  for (const char* script : {"login", "check", "register", "task"}) {
    const std::string name = script;
    auto handler = [this, name](const httplib::Request& request, httplib::Response& response) {
      Answer(name, request, response);
    };
    const std::string path = "/api/" + name + R"(\.php)";
    http.Get(path, handler);
    http.Post(path, handler);
  }

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
  for (const PlainPage& page : kPages) {
    const std::string html = Page(page.title, page.body);
    http.Get(page.path, [html](const httplib::Request&, httplib::Response& response) {
      response.set_content(html, kHtmlType);
    });
  }
  http.Get("/logo.png", [this](const httplib::Request&, httplib::Response& response) {
    std::string bytes;
    const std::string path = m_settings.updateFolder.empty()
                                 ? std::string()
                                 : UpdateFilePath(m_settings.updateFolder, "imgs/logo.png");
    if (path.empty() || !ReadWholeFile(path, bytes)) {
      response.status = 404;
      return;
    }
    response.set_content(bytes, "image/png");
  });
}
