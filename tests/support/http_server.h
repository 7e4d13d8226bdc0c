#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

// In-process HTTP servers for tests. Both listen on 127.0.0.1 with a port the
// system picks, serve from a background thread from construction on, count
// the requests per path (without the query) and stop cleanly when destroyed.

// Ordinary replies through cpp-httplib handlers.
class TestHttpServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  TestHttpServer();
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int Port() const { return m_port; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;

  // `path` is a cpp-httplib pattern (a regular expression over the path).
  void Get(const std::string& path, Handler handler);
  void Post(const std::string& path, Handler handler);
  // A 200 reply with this body and content type.
  void Page(const std::string& path, const std::string& body,
            const std::string& contentType = "text/html");

  int Requests(const std::string& path) const;
  // The headers of the last request to `path`.
  httplib::Headers LastHeaders(const std::string& path) const;
  // The body of the last request to `path` handled by a Post handler.
  std::string LastBody(const std::string& path) const;

  httplib::Server& Server() { return m_server; }

 private:
  httplib::Server m_server;
  int m_port = 0;
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::map<std::string, int> m_counts;
  std::map<std::string, httplib::Headers> m_headers;
  std::map<std::string, std::string> m_bodies;
};

// Replies sent byte for byte as given (status line, headers, blank line,
// body), for framings a well-behaved server never produces; or no reply at
// all. The connection is closed after the reply.
class RawHttpServer {
 public:
  RawHttpServer();
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(const std::string& path) const;

  void Reply(const std::string& path, std::string bytes);
  // Accepts the request, then neither answers nor closes until the server stops.
  void Silent(const std::string& path);
  // Sends `head`, then one more byte every 200 ms, for ever (until the client
  // or the server ends the connection): a reply that never completes.
  void Trickle(const std::string& path, std::string head);

  int Requests(const std::string& path) const;
  // The raw request head last received for `path`.
  std::string LastRequest(const std::string& path) const;

  // "HTTP/1.1 200 OK\r\n" + headers (each ending in CR LF) + "\r\n" + body.
  static std::string Response(const std::string& headers, const std::string& body,
                              const std::string& statusLine = "HTTP/1.1 200 OK");

 private:
  void AcceptLoop();
  void Serve(int socket);

  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::vector<std::thread> m_connections;
  std::map<std::string, std::string> m_replies;  // a missing entry: no reply
  std::map<std::string, std::string> m_trickles;
  std::map<std::string, int> m_counts;
  std::map<std::string, std::string> m_requests;
};

// For servers of their own: waits until the socket can be read (false once
// `stopping` is set), and opens a listening socket on 127.0.0.1 with a port
// the system picks (`port` stays 0 when that failed).
bool WaitReadable(int socket, const std::atomic<bool>& stopping);
int ListenOnLoopback(int& port);

// gzip, zlib (deflate) and raw deflate forms of a text, made with zlib.
std::string GzipText(const std::string& text);
std::string ZlibText(const std::string& text);
std::string RawDeflateText(const std::string& text);
