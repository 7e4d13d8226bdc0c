#include "server/http.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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
    Connection* known = Of(connection);
    LogEntry entry{known ? known->client : std::string(), method, path, reply.status,
                   exchange.start};
    MHD_Response* response = nullptr;
    if (reply.more) {
      auto* stream = new Streamed{this, std::move(entry), reply.body, reply.more};
      response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlock, &ReadStream,
                                                   stream, &EndStream);
      if (!response) delete stream;
    } else {
      response = MHD_create_response_from_buffer(
          reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
      if (response) Log(entry, method == "HEAD" ? 0 : reply.body.size());
    }
    if (!response) return MHD_NO;
    if (!reply.contentType.empty())
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
    if (reply.retryAfter > 0)
      MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER,
                              std::to_string(reply.retryAfter).c_str());
    if (close || (known && known->requests >= limits.keepAliveRequests))
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
  }

  // What the request log says of a reply, once its size is known.
  struct LogEntry {
    std::string client, method, path;
    int status;
    Clock::time_point start;
  };
  void Log(const LogEntry& entry, uint64_t bytes) const {
    if (log)
      log->Write(entry.client, entry.method, entry.path, entry.status, bytes,
                 MillisecondsSince(entry.start));
  }

  // A streamed reply: its pieces are asked for only when the client has
  // taken the previous ones, so a reply of any size holds one piece.
  static constexpr size_t kStreamBlock = 64 * 1024;
  struct Streamed {
    State* state;
    LogEntry entry;
    std::string pending;
    ReplyStream more;
    size_t at = 0;
    uint64_t sent = 0;
    bool ended = false;
  };
  static ssize_t ReadStream(void* context, uint64_t, char* buffer, size_t most) {
    auto& stream = *static_cast<Streamed*>(context);
    while (stream.at == stream.pending.size()) {
      if (stream.ended) return MHD_CONTENT_READER_END_OF_STREAM;
      stream.pending.clear();
      stream.at = 0;
      const StreamStep step = stream.more(stream.pending);
      if (step == StreamStep::kFailed) return MHD_CONTENT_READER_END_WITH_ERROR;
      stream.ended = step == StreamStep::kEnd;
    }
    const size_t count = std::min(most, stream.pending.size() - stream.at);
    std::memcpy(buffer, stream.pending.data() + stream.at, count);
    stream.at += count;
    stream.sent += count;
    return static_cast<ssize_t>(count);
  }
  static void EndStream(void* context) {
    auto* stream = static_cast<Streamed*>(context);
    stream->state->Log(stream->entry, stream->sent);
    delete stream;
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

// A head that two parties could read two ways, so that what follows it
// could be taken for a request of its own: two different body lengths, or
// HTTP/1.1 without the Host it requires.
bool IsAmbiguousHead(MHD_Connection* connection, const char* version) {
  std::set<std::string> lengths;
  MHD_get_connection_values(
      connection, MHD_HEADER_KIND,
      [](void* found, MHD_ValueKind, const char* key, const char* value) {
        if (key && value && strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0)
          static_cast<std::set<std::string>*>(found)->insert(value);
        return MHD_YES;
      },
      &lengths);
  const bool needsHost = version && std::strcmp(version, MHD_HTTP_VERSION_1_1) == 0;
  return lengths.size() > 1 ||
         (needsHost &&
          !MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST));
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
                     const char* version, const char* upload, size_t* uploadSize, void** context) {
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
    if (IsAmbiguousHead(connection, version))
      request.refusal = 400;
    else if (IsChunked(connection) || length == -2)
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

namespace {

// A listening socket of our own rather than the library's: its bind says
// why it failed, and it never takes SO_REUSEPORT, with which a second
// server on a taken port would quietly get half of the clients. -1 with
// `error` set.
int ListenOn(const std::string& host, int port, bool& v6, std::string& error) {
  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int looked =
      getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
  if (looked != 0) {
    error = host + ": " + gai_strerror(looked);
    return -1;
  }
  v6 = found->ai_family == AF_INET6;
  const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  // SO_REUSEADDR only lets a restarted server bind past its old
  // connections; on Linux it never lets two sockets listen on one port.
  const int on = 1;
  const bool listening = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                         bind(fd, found->ai_addr, found->ai_addrlen) == 0 &&
                         listen(fd, SOMAXCONN) == 0;
  const int why = errno;
  freeaddrinfo(found);
  if (listening) return fd;
  if (fd >= 0) close(fd);
  error = std::strerror(why);
  if (why == EADDRINUSE)
    error += " (another program, perhaps another vantrel-server, listens there)";
  return -1;
}

}  // namespace

int CHttpListener::Start(const std::string& host, int port) {
  if (m_daemon) return m_port;
  bool v6 = false;
  const int listening = ListenOn(host, port, v6, m_error);
  if (listening < 0) return -1;

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
      reinterpret_cast<MHD_AccessHandlerCallback>(&OnRequest), m_state.get(),
      MHD_OPTION_LISTEN_SOCKET, listening, MHD_OPTION_THREAD_POOL_SIZE,
      static_cast<unsigned int>(std::max(1, limits.threads)), MHD_OPTION_CONNECTION_LIMIT,
      static_cast<unsigned int>(total), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      static_cast<unsigned int>(std::max(1, limits.perAddress)), MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned int>(idle), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
      static_cast<size_t>(64 * 1024), MHD_OPTION_URI_LOG_CALLBACK, &OnUri, m_state.get(),
      MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, m_state.get(), MHD_OPTION_NOTIFY_CONNECTION,
      &OnConnection, m_state.get(), MHD_OPTION_END);
  if (!m_daemon) {
    close(listening);
    m_error = "the HTTP library did not start";
    return -1;
  }
  {
    std::lock_guard guard(m_state->lock);
    m_state->stopping = false;
    m_state->slowStopping = false;
  }
  m_state->sweeper = std::thread([state = m_state.get()] { state->Sweep(); });
  if (m_state->slow)
    for (int i = 0; i < std::max(1, limits.slowThreads); ++i)
      m_state->slowThreads.emplace_back([state = m_state.get()] { state->RunSlow(); });
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  getsockname(listening, reinterpret_cast<sockaddr*>(&bound), &size);
  m_port =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
  return m_port;
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
