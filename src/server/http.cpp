#include "server/http.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <microhttpd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "server/form.h"
#include "server/request_log.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!address) return std::string();
  if (address->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  else if (address->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
              sizeof text);
  return text;
}

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

// What the listener knows of a connection, for its deadlines.
struct Connection {
  enum class Phase { kHead, kBody, kServing };
  int fd = -1;
  std::string client;
  Phase phase = Phase::kHead;
  Clock::time_point since = Clock::now();
  int requests = 0;
};

// One request being received and answered.
struct Exchange {
  std::string uri;
  std::string body;
  bool headRead = false;
  bool replied = false;
  Clock::time_point start = Clock::now();
};

// A slow request waiting for a thread, its connection suspended.
struct SlowJob {
  MHD_Connection* connection;
  Exchange* exchange;
  HttpRequest request;
  std::string method;
};

struct CHttpListener::State {
  Handler handler;
  SlowTest slow;
  std::deque<SlowJob> slowJobs;
  bool slowStopping = false;
  std::condition_variable slowWake;
  std::vector<std::thread> slowThreads;
  HttpLimits limits;
  CRequestLog* log;
  std::mutex lock;
  std::condition_variable wake;
  std::set<Connection*> connections;
  bool stopping = false;
  std::thread sweeper;

  void SetPhase(MHD_Connection* connection, Connection::Phase phase) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (!info || !info->socket_context) return;
    std::lock_guard guard(lock);
    auto* known = static_cast<Connection*>(info->socket_context);
    known->phase = phase;
    known->since = Clock::now();
  }

  Connection* Of(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection*>(info->socket_context) : nullptr;
  }

  // Closes connections past their deadline: shutting the socket down makes
  // the event loop see the end of the stream and close it as its own.
  void Sweep() {
    std::unique_lock guard(lock);
    while (!stopping) {
      wake.wait_for(guard, std::chrono::milliseconds(500));
      const Clock::time_point now = Clock::now();
      for (Connection* connection : connections) {
        int allowed = 0;
        if (connection->phase == Connection::Phase::kHead) allowed = limits.headerSeconds;
        if (connection->phase == Connection::Phase::kBody) allowed = limits.bodySeconds;
        if (allowed > 0 && now - connection->since > std::chrono::seconds(allowed))
          shutdown(connection->fd, SHUT_RDWR);
      }
    }
  }

  MHD_Result Reply(MHD_Connection* connection, Exchange& exchange, const std::string& method,
                   const std::string& path, const HttpReply& reply, bool close) {
    exchange.replied = true;
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    if (!reply.contentType.empty())
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
    if (reply.retryAfter > 0)
      MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER,
                              std::to_string(reply.retryAfter).c_str());
    Connection* known = Of(connection);
    if (close || (known && known->requests >= limits.keepAliveRequests))
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    if (log)
      log->Write(known ? known->client : std::string(), method, path, reply.status,
                 method == "HEAD" ? 0 : reply.body.size(), MillisecondsSince(exchange.start));
    return queued;
  }

  // False when too many already wait: the caller answers 503 itself.
  bool Defer(SlowJob job) {
    // Suspended before any slow thread can see it, and outside the lock:
    // the library takes locks of its own.
    MHD_Connection* connection = job.connection;
    MHD_suspend_connection(connection);
    {
      std::lock_guard guard(lock);
      if (!slowStopping && static_cast<int>(slowJobs.size()) < limits.slowQueue) {
        slowJobs.push_back(std::move(job));
        slowWake.notify_one();
        return true;
      }
    }
    MHD_resume_connection(connection);
    return false;
  }

  // Runs until told to stop with nothing left to do: a suspended connection
  // must be resumed before the daemon may stop.
  void RunSlow() {
    std::unique_lock guard(lock);
    while (true) {
      slowWake.wait(guard, [&] { return slowStopping || !slowJobs.empty(); });
      if (slowJobs.empty()) return;
      SlowJob job = std::move(slowJobs.front());
      slowJobs.pop_front();
      guard.unlock();
      const HttpReply reply = handler(job.request);
      Reply(job.connection, *job.exchange, job.method, job.request.path, reply, false);
      MHD_resume_connection(job.connection);
      guard.lock();
    }
  }
};

namespace {

void* OnUri(void*, const char* uri, MHD_Connection*) {
  auto* exchange = new Exchange;
  exchange->uri = uri ? uri : "";
  return exchange;
}

void OnCompleted(void* self, MHD_Connection* connection, void** context,
                 MHD_RequestTerminationCode) {
  delete static_cast<Exchange*>(*context);
  *context = nullptr;
  // The next request of a kept-alive connection has its head deadline anew.
  static_cast<CHttpListener::State*>(self)->SetPhase(connection, Connection::Phase::kHead);
}

void OnConnection(void* self, MHD_Connection* connection, void** context,
                  MHD_ConnectionNotificationCode code) {
  auto& state = *static_cast<CHttpListener::State*>(self);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* known = new Connection;
    const MHD_ConnectionInfo* fd =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* address =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    known->fd = fd ? fd->connect_fd : -1;
    known->client = address ? AddressText(address->client_addr) : std::string();
    std::lock_guard guard(state.lock);
    state.connections.insert(known);
    *context = known;
  } else if (*context) {
    // Still before the socket is closed: the sweeper never shuts a reused one.
    std::lock_guard guard(state.lock);
    state.connections.erase(static_cast<Connection*>(*context));
    delete static_cast<Connection*>(*context);
    *context = nullptr;
  }
}

bool IsChunked(MHD_Connection* connection) {
  const char* coding =
      MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
  return coding && *coding;
}

// The declared body length; -1 when absent, -2 when unreadable.
long long DeclaredLength(MHD_Connection* connection) {
  const char* length =
      MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (!length) return -1;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(length, &end, 10);
  return (*length && *end == '\0' && errno == 0 && value >= 0) ? value : -2;
}

MHD_Result OnRequest(void* self, MHD_Connection* connection, const char*, const char* method,
                     const char*, const char* upload, size_t* uploadSize, void** context) {
  auto& state = *static_cast<CHttpListener::State*>(self);
  auto* exchange = static_cast<Exchange*>(*context);
  if (!exchange) return MHD_NO;
  if (exchange->replied) {
    *uploadSize = 0;
    return MHD_YES;
  }
  HttpRequest request;
  request.method = method == std::string("HEAD") ? "GET" : method;
  if (Connection* known = state.Of(connection)) request.client = known->client;
  const size_t question = exchange->uri.find('?');
  request.path = PercentDecode(exchange->uri.substr(0, question));
  if (question != std::string::npos) request.query = exchange->uri.substr(question + 1);

  if (!exchange->headRead) {
    exchange->headRead = true;
    if (Connection* known = state.Of(connection)) {
      std::lock_guard guard(state.lock);
      ++known->requests;
    }
    state.SetPhase(connection, Connection::Phase::kBody);
    // Refused before a byte of the body is read; the unread rest closes the
    // connection after the reply.
    const long long length = DeclaredLength(connection);
    if (IsChunked(connection) || length == -2)
      request.refusal = 411;
    else if (length > static_cast<long long>(state.limits.maxBody))
      request.refusal = 413;
    if (request.refusal) {
      HttpReply reply = state.handler(request);
      reply.status = request.refusal;
      return state.Reply(connection, *exchange, method, request.path, reply, true);
    }
    return MHD_YES;
  }
  if (*uploadSize > 0) {
    // The declared length was checked; this holds should a body run past it.
    if (exchange->body.size() + *uploadSize > state.limits.maxBody) return MHD_NO;
    exchange->body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  state.SetPhase(connection, Connection::Phase::kServing);
  request.body = std::move(exchange->body);
  if (state.slow && state.slow(request)) {
    if (state.Defer({connection, exchange, request, method})) return MHD_YES;
    return state.Reply(connection, *exchange, method, request.path,
                       {503, "text/plain", std::string(), 1}, true);
  }
  const HttpReply reply = state.handler(request);
  return state.Reply(connection, *exchange, method, request.path, reply, false);
}

}  // namespace

int RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

CHttpListener::CHttpListener(Handler handler, HttpLimits limits, CRequestLog* log, SlowTest slow)
    : m_state(std::make_unique<State>()) {
  m_state->handler = std::move(handler);
  m_state->slow = std::move(slow);
  m_state->limits = limits;
  m_state->log = log;
}

CHttpListener::~CHttpListener() { Stop(); }

int CHttpListener::Start(const std::string& host, int port) {
  if (m_daemon) return MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0)
    return -1;
  sockaddr_storage address{};
  std::memcpy(&address, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof address));
  const bool v6 = found->ai_family == AF_INET6;
  freeaddrinfo(found);

  HttpLimits& limits = m_state->limits;
  // A few files stay for the database, the log and the tracker's fetches.
  const int files = RaiseOpenFileLimit();
  int total = std::max(16, files - 128);
  if (limits.total > 0) total = std::min(total, limits.total);
  unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
  if (v6) flags |= MHD_USE_IPv6;
  const int idle = std::max(1, std::min(limits.headerSeconds, limits.bodySeconds));
  m_daemon = MHD_start_daemon(
      flags, static_cast<uint16_t>(port), nullptr, nullptr,
      reinterpret_cast<MHD_AccessHandlerCallback>(&OnRequest), m_state.get(), MHD_OPTION_SOCK_ADDR,
      reinterpret_cast<sockaddr*>(&address), MHD_OPTION_LISTEN_BACKLOG_SIZE,
      static_cast<unsigned int>(SOMAXCONN), MHD_OPTION_THREAD_POOL_SIZE,
      static_cast<unsigned int>(std::max(1, limits.threads)), MHD_OPTION_CONNECTION_LIMIT,
      static_cast<unsigned int>(total), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      static_cast<unsigned int>(std::max(1, limits.perAddress)), MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned int>(idle), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
      static_cast<size_t>(64 * 1024), MHD_OPTION_URI_LOG_CALLBACK, &OnUri, m_state.get(),
      MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, m_state.get(), MHD_OPTION_NOTIFY_CONNECTION,
      &OnConnection, m_state.get(), MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END);
  if (!m_daemon) return -1;
  {
    std::lock_guard guard(m_state->lock);
    m_state->stopping = false;
    m_state->slowStopping = false;
  }
  m_state->sweeper = std::thread([state = m_state.get()] { state->Sweep(); });
  if (m_state->slow)
    for (int i = 0; i < std::max(1, limits.slowThreads); ++i)
      m_state->slowThreads.emplace_back([state = m_state.get()] { state->RunSlow(); });
  const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
  return info ? info->port : -1;
}

void CHttpListener::Stop() {
  if (!m_daemon) return;
  {
    std::lock_guard guard(m_state->lock);
    m_state->stopping = true;
    m_state->slowStopping = true;
  }
  m_state->wake.notify_all();
  m_state->slowWake.notify_all();
  if (m_state->sweeper.joinable()) m_state->sweeper.join();
  for (std::thread& thread : m_state->slowThreads) thread.join();
  m_state->slowThreads.clear();
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
}
