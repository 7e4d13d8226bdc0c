#include "engine/spider_transfer.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include <curl/curl.h>

#include "base/ini.h"
#include "base/programdir.h"
#include "base/stoprequest.h"
#include "engine/cookies.h"
#include "engine/curlhandle.h"
#include "engine/proxy.h"
#include "engine/spider.h"
#include "engine/urlencode.h"

namespace {

constexpr long kMaxRedirects = 10;

std::atomic<long> g_connectMilliseconds{SpiderTimeouts{}.connectMilliseconds};
std::atomic<long> g_lowSpeedSeconds{SpiderTimeouts{}.lowSpeedSeconds};
std::atomic<long> g_exchangeSeconds{SpiderTimeouts{}.exchangeSeconds};

struct Exchange {
  const TransferRequest* request;
  TransferReply* reply;
  bool inHeaderBlock = false;
  bool sawSetCookie = false;
  bool stoppedOnPurpose = false;
};

bool StartsWithNoCase(const char* text, size_t size, const char* prefix) {
  size_t n = std::strlen(prefix);
  return size >= n && strncasecmp(text, prefix, n) == 0;
}

size_t OnHeader(char* data, size_t, size_t size, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  TransferReply& reply = *exchange->reply;
  if (StartsWithNoCase(data, size, "HTTP/")) {
    // A new reply (after a redirect or an interim 100): only the last counts.
    reply.rawHeaders.clear();
    reply.status = 0;
    const char* space = static_cast<const char*>(std::memchr(data, ' ', size));
    if (space) reply.status = std::strtol(space + 1, nullptr, 10);
  }
  if (StartsWithNoCase(data, size, "Set-Cookie:")) exchange->sawSetCookie = true;
  reply.rawHeaders.append(data, size);
  return size;
}

size_t OnBody(char* data, size_t, size_t size, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  const TransferRequest& request = *exchange->request;
  TransferReply& reply = *exchange->reply;
  if (!request.readBody || (!request.bodyOfAnyStatus && reply.status != 200)) {
    exchange->stoppedOnPurpose = true;
    return 0;  // the body is not wanted: end the transfer here
  }
  if (reply.body.size() + size > kMaxBodyBytes) {
    reply.tooLarge = true;
    return 0;
  }
  reply.body.append(data, size);
  return size;
}

thread_local const CAddressFilterScope::Filter* t_addressFilter = nullptr;
thread_local CDeadlineScope* t_deadline = nullptr;

curl_socket_t OpenFilteredSocket(void* filter, curlsocktype, curl_sockaddr* address) {
  if (!(*static_cast<const CAddressFilterScope::Filter*>(filter))(&address->addr))
    return CURL_SOCKET_BAD;
  return socket(address->family, address->socktype, address->protocol);
}

// Ends a transfer once the process is asked to end.
int OnProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return StopRequested() ? 1 : 0;
}

// The easy handle of a thread, kept between its transfers so that a worker
// reuses its connections (keep-alive to the same shop) instead of making a
// handle and a connection per request. Its options are set afresh for each
// transfer; it stays attached to the cookie store it shares, which it keeps
// alive as long as it is attached.
class ThreadHandle {
 public:
  ~ThreadHandle() {
    // The handle goes before the store whose share it is attached to.
    m_curl.reset();
    m_store.reset();
  }
  CURL* Take(const std::shared_ptr<CCookieStore>& store) {
    if (!m_curl) {
      m_curl.reset(curl_easy_init());
    } else {
      curl_easy_reset(m_curl.get());
    }
    if (m_curl && store != m_store) {
      // Another program directory (tests) has a store of its own.
      if (m_store) curl_easy_setopt(m_curl.get(), CURLOPT_SHARE, nullptr);
      m_store = store;
    }
    return m_curl.get();
  }

 private:
  CurlEasy m_curl;
  std::shared_ptr<CCookieStore> m_store;
};

thread_local ThreadHandle t_handle;

curl_slist* HeaderList(const std::string& headers, bool post) {
  curl_slist* list = AppendHeaderLines(nullptr, headers);
  // Never wait for a "100 Continue" before sending a form.
  if (post) list = curl_slist_append(list, "Expect:");
  return list;
}

}  // namespace

CAddressFilterScope::CAddressFilterScope(Filter filter)
    : m_filter(std::move(filter)), m_outer(t_addressFilter) {
  t_addressFilter = &m_filter;
}

CAddressFilterScope::~CAddressFilterScope() { t_addressFilter = m_outer; }

const CAddressFilterScope::Filter* CAddressFilterScope::Current() { return t_addressFilter; }

CDeadlineScope::CDeadlineScope(std::chrono::milliseconds budget)
    : m_deadline(std::chrono::steady_clock::now() + budget), m_outer(t_deadline) {
  if (m_outer && m_outer->m_deadline < m_deadline) m_deadline = m_outer->m_deadline;
  t_deadline = this;
}

CDeadlineScope::~CDeadlineScope() {
  t_deadline = m_outer;
  if (m_cut && m_outer) m_outer->MarkCut();
}

std::chrono::milliseconds CDeadlineScope::Left() const {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      m_deadline - std::chrono::steady_clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

CDeadlineScope* CDeadlineScope::Current() { return t_deadline; }

std::chrono::milliseconds PassBudget() {
  return std::chrono::milliseconds(g_exchangeSeconds.load() * 1000L);
}

SpiderTimeouts GetSpiderTimeouts() {
  return SpiderTimeouts{g_connectMilliseconds.load(), g_lowSpeedSeconds.load(),
                        g_exchangeSeconds.load()};
}

void SetSpiderTimeouts(const SpiderTimeouts& timeouts) {
  g_connectMilliseconds = timeouts.connectMilliseconds > 0 ? timeouts.connectMilliseconds : 1;
  g_lowSpeedSeconds = timeouts.lowSpeedSeconds > 0 ? timeouts.lowSpeedSeconds : 1;
  g_exchangeSeconds = timeouts.exchangeSeconds > 0 ? timeouts.exchangeSeconds : 1;
}

void LoadFetchTimeout() {
  const int seconds = IniGetInt(ProgramFile("config.ini"), "Base", "FetchTimeout", 0);
  g_exchangeSeconds = seconds > 0 ? seconds : SpiderTimeouts{}.exchangeSeconds;
}

TransferReply PerformTransfer(const TransferRequest& request) {
  TransferReply reply;
  if (StopRequested()) return reply;
  InitCurlOnce();
  std::shared_ptr<CCookieStore> cookies = CCookieStore::ForProgram();
  const CAddressFilterScope::Filter* filter = CAddressFilterScope::Current();
  // A connection kept from an earlier transfer was never shown to this
  // filter: a filtered transfer makes its own.
  CurlEasy own;
  if (filter) own.reset(curl_easy_init());
  CURL* c = filter ? own.get() : t_handle.Take(cookies);
  if (!c) return reply;
  CurlHeaderList headers(HeaderList(request.headers, request.post));
  Exchange exchange{&request, &reply};
  long exchangeMilliseconds = g_exchangeSeconds.load() * 1000L;
  long connectMilliseconds = g_connectMilliseconds.load();
  CDeadlineScope* deadline = CDeadlineScope::Current();
  const long left = deadline ? static_cast<long>(deadline->Left().count()) : exchangeMilliseconds;
  if (deadline && left <= 0) {
    deadline->MarkCut();
    reply.timedOut = true;
    return reply;
  }
  const bool deadlineBinds = left < exchangeMilliseconds;
  exchangeMilliseconds = std::min(exchangeMilliseconds, left);
  connectMilliseconds = std::min(connectMilliseconds, left);
  const std::string url = EncodeLinkForSending(request.url);
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_USERAGENT, kBrowserAgent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMilliseconds);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, g_lowSpeedSeconds.load());
  // A shop trickling a byte now and then would pass the low-speed abort.
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, exchangeMilliseconds);
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &exchange);
  if (request.post) {
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.postBody.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.postBody.data());
  }
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  if (!ApplyProxy(c)) {
    reply.proxyRefused = true;
    return reply;
  }
  if (filter) {
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &OpenFilteredSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, filter);
  }
  cookies->Attach(c);
  curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");  // turns the cookie engine on
  CURLcode result = curl_easy_perform(c);
  // Frees the option's list, which curl_easy_reset would leak; the shared
  // cookies stay in the store.
  curl_easy_setopt(c, CURLOPT_COOKIEFILE, nullptr);
  if (exchange.sawSetCookie) cookies->Save();
  if (result == CURLE_FILESIZE_EXCEEDED) reply.tooLarge = true;
  reply.timedOut = result == CURLE_OPERATION_TIMEDOUT;
  if (reply.timedOut && deadlineBinds) deadline->MarkCut();
  // A body cut short by the server is what it sent; keep it.
  reply.completed = !reply.tooLarge && (result == CURLE_OK || result == CURLE_PARTIAL_FILE ||
                                        (result == CURLE_WRITE_ERROR && exchange.stoppedOnPurpose));
  return reply;
}

bool QueryHeader(const std::string& rawHeaders, const std::string& name, size_t index,
                 std::string& value) {
  value.clear();
  size_t start = 0;
  while (start < rawHeaders.size()) {
    size_t end = rawHeaders.find('\n', start);
    if (end == std::string::npos) end = rawHeaders.size();
    std::string line = rawHeaders.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        strncasecmp(line.c_str(), name.c_str(), name.size()) != 0)
      continue;
    if (index-- > 0) continue;
    size_t first = line.find_first_not_of(" \t", name.size() + 1);
    value = first == std::string::npos ? std::string() : line.substr(first);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    return true;
  }
  return false;
}
