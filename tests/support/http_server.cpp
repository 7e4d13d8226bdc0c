#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <zlib.h>

namespace {

std::string PathOf(const std::string& target) { return target.substr(0, target.find('?')); }

std::string Compress(const std::string& text, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

bool WaitReadable(int socket, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{socket, POLLIN, 0};
    int n = poll(&p, 1, 50);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

int ListenOnLoopback(int& port) {
  int listening = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof(address);
  if (listening < 0 || bind(listening, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listening, 64) != 0 ||
      getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return listening;
  port = ntohs(address.sin_port);
  return listening;
}

std::string GzipText(const std::string& text) { return Compress(text, 31); }
std::string ZlibText(const std::string& text) { return Compress(text, 15); }
std::string RawDeflateText(const std::string& text) { return Compress(text, -15); }

TestHttpServer::TestHttpServer() {
  m_server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_counts[request.path];
    m_headers[request.path] = request.headers;
    // The library would gzip text replies for clients that accept it; tests
    // need the bytes exactly as their handlers set them. The request object
    // is the server's own, non-const, so forgetting the header is sound.
    const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The fetcher keeps its connections open for the next request; an idle one
  // is closed here at once, so that stopping the server never waits for it.
  m_server.set_keep_alive_timeout(0);
  // As a shop's server does: a reply on a kept connection must not wait for
  // the client's delayed acknowledgement.
  m_server.set_tcp_nodelay(true);
  m_port = m_server.bind_to_any_port("127.0.0.1");
  m_thread = std::thread([this] { m_server.listen_after_bind(); });
  // stop() does nothing to a server whose loop has not started yet.
  while (m_port > 0 && !m_server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() {
  m_server.stop();
  if (m_thread.joinable()) m_thread.join();
}

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void TestHttpServer::Get(const std::string& path, Handler handler) {
  m_server.Get(path, std::move(handler));
}

void TestHttpServer::Post(const std::string& path, Handler handler) {
  // The body is only read after routing, so it is recorded here.
  m_server.Post(path,
                [this, handler](const httplib::Request& request, httplib::Response& response) {
                  {
                    std::lock_guard<std::mutex> guard(m_lock);
                    m_bodies[request.path] = request.body;
                  }
                  handler(request, response);
                });
}

void TestHttpServer::Page(const std::string& path, const std::string& body,
                          const std::string& contentType) {
  m_server.Get(path, [body, contentType](const httplib::Request&, httplib::Response& response) {
    response.set_content(body, contentType.c_str());
  });
}

int TestHttpServer::Requests(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_counts.find(path);
  return it == m_counts.end() ? 0 : it->second;
}

httplib::Headers TestHttpServer::LastHeaders(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_headers.find(path);
  return it == m_headers.end() ? httplib::Headers() : it->second;
}

std::string TestHttpServer::LastBody(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_bodies.find(path);
  return it == m_bodies.end() ? std::string() : it->second;
}

RawHttpServer::RawHttpServer() {
  m_listen = ListenOnLoopback(m_port);
  if (m_port != 0) m_thread = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  m_stopping = true;
  if (m_thread.joinable()) m_thread.join();
  for (std::thread& connection : m_connections) connection.join();
  if (m_listen >= 0) close(m_listen);
}

std::string RawHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void RawHttpServer::Reply(const std::string& path, std::string bytes) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_replies[path] = std::move(bytes);
}

void RawHttpServer::Silent(const std::string& path) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_replies.erase(path);
}

void RawHttpServer::Trickle(const std::string& path, std::string head) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_trickles[path] = std::move(head);
}

int RawHttpServer::Requests(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_counts.find(path);
  return it == m_counts.end() ? 0 : it->second;
}

std::string RawHttpServer::LastRequest(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_requests.find(path);
  return it == m_requests.end() ? std::string() : it->second;
}

std::string RawHttpServer::Response(const std::string& headers, const std::string& body,
                                    const std::string& statusLine) {
  return statusLine + "\r\n" + headers + "\r\n" + body;
}

void RawHttpServer::AcceptLoop() {
  while (WaitReadable(m_listen, m_stopping)) {
    int socket = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    std::lock_guard<std::mutex> guard(m_lock);
    m_connections.emplace_back([this, socket] { Serve(socket); });
  }
}

void RawHttpServer::Serve(int socket) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && WaitReadable(socket, m_stopping)) {
    ssize_t n = recv(socket, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  size_t space = head.find(' ');
  size_t end = space == std::string::npos ? space : head.find(' ', space + 1);
  std::string path =
      end == std::string::npos ? std::string() : PathOf(head.substr(space + 1, end - space - 1));
  std::string reply;
  bool silent = false;
  bool trickle = false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_counts[path];
    m_requests[path] = head;
    auto it = m_replies.find(path);
    auto slow = m_trickles.find(path);
    trickle = slow != m_trickles.end();
    if (trickle) reply = slow->second;
    silent = !trickle && it == m_replies.end();
    if (!silent && !trickle) reply = it->second;
  }
  if (trickle) {
    bool open = send(socket, reply.data(), reply.size(), MSG_NOSIGNAL) > 0;
    while (open && !m_stopping) {
      pollfd wait{socket, POLLIN, 0};
      if (poll(&wait, 1, 200) > 0 && recv(socket, buffer, sizeof(buffer), 0) <= 0) break;
      open = send(socket, "x", 1, MSG_NOSIGNAL) == 1;
    }
  } else if (silent) {
    while (WaitReadable(socket, m_stopping)) {
      if (recv(socket, buffer, sizeof(buffer), 0) <= 0) break;  // the client gave up
    }
  } else {
    size_t sent = 0;
    while (sent < reply.size()) {
      ssize_t n = send(socket, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    shutdown(socket, SHUT_WR);
    // Let the client read everything before the connection goes.
    while (WaitReadable(socket, m_stopping) && recv(socket, buffer, sizeof(buffer), 0) > 0) {
    }
  }
  close(socket);
}
