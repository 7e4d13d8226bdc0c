#include "engine/render_session.h"

#include <strings.h>

#include <utility>

#include "engine/spider.h"

namespace {

// A reply carries the whole document, escaped into JSON: up to twice the
// page size limit.
constexpr size_t kMaxMessageBytes = 2 * kMaxBodyBytes;

// What the page looks like once it is drawn: its address (it may have moved)
// and its document.
constexpr const char* kReadDocument =
    "[location.href, document.documentElement ? document.documentElement.outerHTML : '']";

// Members read without trusting their types: a value of another type counts
// as missing.
const nlohmann::json& Member(const nlohmann::json& object, const char* key) {
  static const nlohmann::json missing;
  if (!object.is_object()) return missing;
  const auto found = object.find(key);
  return found == object.end() ? missing : *found;
}

std::string Text(const nlohmann::json& object, const char* key) {
  const nlohmann::json& value = Member(object, key);
  return value.is_string() ? value.get<std::string>() : std::string();
}

long Number(const nlohmann::json& object, const char* key) {
  const nlohmann::json& value = Member(object, key);
  return value.is_number_integer() ? value.get<long>() : 0;
}

bool IsWebAddress(const std::string& link) {
  return strncasecmp(link.c_str(), "http://", 7) == 0 ||
         strncasecmp(link.c_str(), "https://", 8) == 0;
}

nlohmann::json CookieParameter(const CookieRecord& cookie, const std::string& url) {
  nlohmann::json parameter = {{"name", cookie.name},
                              {"value", cookie.value},
                              {"path", cookie.path.empty() ? "/" : cookie.path},
                              {"secure", cookie.secure}};
  // A cookie of the host alone is given by a link; a domain cookie by its
  // domain, which makes it reach the domain's other hosts as well.
  if (cookie.includeSubdomains)
    parameter["domain"] = "." + cookie.domain;
  else
    parameter["url"] = url;
  if (cookie.expires > 0) parameter["expires"] = cookie.expires;
  return parameter;
}

}  // namespace

CRenderSession::CRenderSession(CBrowserProcess& browser, Clock::time_point deadline,
                               int virtualBudgetMs)
    : m_browser(browser), m_deadline(deadline), m_virtualBudgetMs(virtualBudgetMs) {}

void CRenderSession::Render(const RenderRequest& request, RenderResult& result) {
  auto done = [&] {
    result.error = m_error;
    result.detail = m_detail;
  };
  json reply;
  // Nothing the page starts is saved anywhere.
  Send("Browser.setDownloadBehavior", {{"behavior", "deny"}}, true);
  if (!Call("Target.createTarget", {{"url", "about:blank"}}, &reply, true)) return done();
  const std::string target = Text(reply, "targetId");
  if (!Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, &reply, true))
    return done();
  m_session = Text(reply, "sessionId");

  // One after the other: a navigation may commit before commands sent
  // ahead of it took effect, and its events would be missed.
  if (!Call("Network.enable", json::object())) return done();
  if (!request.cookies.empty()) {
    json cookies = json::array();
    for (const CookieRecord& cookie : request.cookies)
      cookies.push_back(CookieParameter(cookie, request.url));
    // A cookie the browser refuses is no reason not to render.
    if (const int id = Send("Network.setCookies", {{"cookies", cookies}}))
      WaitUntil([&] { return m_replies.count(id) != 0; });
  }
  if (!Call("Page.enable", json::object())) return done();
  // Page time stands still until the document is there: the budget is for
  // what the page does once loaded, however slowly the shop answers.
  if (!Call("Emulation.setVirtualTimePolicy", {{"policy", "pause"}})) return done();
  if (!Call("Page.navigate", {{"url", request.url}}, &reply)) return done();
  if (!Text(reply, "errorText").empty()) {
    Fail(RenderError::kLoadFailed, Text(reply, "errorText"));
    return done();
  }
  if (Member(reply, "isDownload") == true) {
    Fail(RenderError::kLoadFailed, "download");
    return done();
  }
  const std::string loader = Text(reply, "loaderId");
  if (!WaitUntil([&] { return m_committedLoaders.count(loader) != 0; })) return done();
  const auto status = m_documentStatus.find(loader);
  if (status != m_documentStatus.end() && status->second != 200) {
    Fail(RenderError::kStatus, std::to_string(status->second));
    return done();
  }

  Send("Emulation.setVirtualTimePolicy",
       {{"policy", "pauseIfNetworkFetchesPending"}, {"budget", m_virtualBudgetMs}});
  if (!WaitUntil([&] { return m_budgetSpent; })) return done();
  if (!Call("Runtime.evaluate", {{"expression", kReadDocument}, {"returnByValue", true}}, &reply))
    return done();
  const json& value = Member(Member(reply, "result"), "value");
  if (!Member(reply, "exceptionDetails").is_null() || !value.is_array() || value.size() != 2 ||
      !value[0].is_string() || !value[1].is_string()) {
    Fail(RenderError::kLoadFailed, "document unreadable");
    return done();
  }
  // Navigations to local files and data: links are the browser's to refuse;
  // a page that got there anyway is not read.
  if (!IsWebAddress(value[0].get<std::string>())) {
    Fail(RenderError::kLeftWeb);
    return done();
  }
  result.document = value[1].get<std::string>();
  if (result.document.size() > kMaxBodyBytes) {
    result.document.clear();
    Fail(RenderError::kTooLarge);
  }
  done();
}

int CRenderSession::Send(const std::string& method, json params, bool toBrowser) {
  if (m_error != RenderError::kNone) return 0;
  json message = {{"id", ++m_nextId}, {"method", method}, {"params", std::move(params)}};
  if (!toBrowser) message["sessionId"] = m_session;
  switch (m_browser.Write(message.dump(), m_deadline)) {
    case CBrowserProcess::Io::kDone:
      return m_nextId;
    case CBrowserProcess::Io::kTimedOut:
      Fail(RenderError::kTimedOut);
      return 0;
    default:
      Fail(m_heardBrowser ? RenderError::kBrowserExited : RenderError::kStartFailed);
      return 0;
  }
}

bool CRenderSession::Call(const std::string& method, json params, json* result, bool toBrowser) {
  const int id = Send(method, std::move(params), toBrowser);
  if (id == 0 || !WaitUntil([&] { return m_replies.count(id) != 0; })) return false;
  json reply = std::move(m_replies[id]);
  m_replies.erase(id);
  if (!Member(reply, "error").is_null()) {
    Fail(RenderError::kBrowserExited, method + ": " + Text(Member(reply, "error"), "message"));
    return false;
  }
  if (result) *result = Member(reply, "result");
  return true;
}

template <typename Done>
bool CRenderSession::WaitUntil(Done done) {
  while (m_error == RenderError::kNone) {
    if (m_crashed) {
      Fail(RenderError::kCrashed);
      break;
    }
    if (done()) return true;
    if (!ReadOne()) break;
  }
  return false;
}

bool CRenderSession::ReadOne() {
  std::string text;
  switch (m_browser.Read(text, m_deadline, kMaxMessageBytes)) {
    case CBrowserProcess::Io::kDone:
      break;
    case CBrowserProcess::Io::kTimedOut:
      Fail(RenderError::kTimedOut);
      return false;
    case CBrowserProcess::Io::kTooLarge:
      Fail(RenderError::kTooLarge);
      return false;
    case CBrowserProcess::Io::kClosed:
      // A renderer that died usually takes the browser with it only later;
      // one that died first is told as the page's crash.
      Fail(m_crashed        ? RenderError::kCrashed
           : m_heardBrowser ? RenderError::kBrowserExited
                            : RenderError::kStartFailed);
      return false;
  }
  m_heardBrowser = true;
  json message = json::parse(text, nullptr, false);
  if (!message.is_object()) {
    Fail(RenderError::kBrowserExited, "unreadable message");
    return false;
  }
  if (Member(message, "id").is_number_integer()) {
    const int id = static_cast<int>(Number(message, "id"));
    m_replies[id] = std::move(message);
  } else if (!Text(message, "method").empty()) {
    // Events of another page (a pop-up the page opened) are not this page's.
    const std::string session = Text(message, "sessionId");
    if (session.empty() || session == m_session)
      OnEvent(Text(message, "method"), Member(message, "params"));
  }
  return true;
}

void CRenderSession::OnEvent(const std::string& method, const json& params) {
  if (!params.is_object()) return;
  if (method == "Page.frameNavigated") {
    const json& frame = Member(params, "frame");
    if (frame.is_object() && Member(frame, "parentId").is_null())
      m_committedLoaders.insert(Text(frame, "loaderId"));
  } else if (method == "Network.responseReceived") {
    if (Text(params, "type") == "Document")
      m_documentStatus[Text(params, "loaderId")] = Number(Member(params, "response"), "status");
  } else if (method == "Emulation.virtualTimeBudgetExpired") {
    m_budgetSpent = true;
  } else if (method == "Inspector.targetCrashed" || method == "Target.targetCrashed") {
    m_crashed = true;
  } else if (method == "Target.detachedFromTarget") {
    if (Text(params, "sessionId") == m_session) Fail(RenderError::kBrowserExited);
  } else if (method == "Page.javascriptDialogOpening") {
    // An alert() would hold the page for ever.
    Send("Page.handleJavaScriptDialog", {{"accept", false}});
  }
}

void CRenderSession::Fail(RenderError error, std::string detail) {
  if (m_error != RenderError::kNone) return;
  m_error = error;
  m_detail = std::move(detail);
}
