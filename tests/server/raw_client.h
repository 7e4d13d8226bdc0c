#pragma once

// A client on a socket of the test's own, for what an HTTP library won't
// send: slow heads, idle connections, chunked bodies, other source addresses.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

// Connected to 127.0.0.1:port from `source` (any 127.x address); -1 on failure.
inline int RawConnect(int port, const char* source = "127.0.0.1") {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    close(s);
    return -1;
  }
  return s;
}

inline bool RawSend(int s, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Everything the server sends until it closes or `seconds` pass; `closed`
// tells which.
inline std::string RawReadAll(int s, double seconds, bool* closed = nullptr) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  if (closed) *closed = false;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) {
      if (closed) *closed = true;
      break;
    }
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}
