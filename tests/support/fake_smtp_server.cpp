#include "support/fake_smtp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool WaitReadable(int socket, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{socket, POLLIN, 0};
    const int n = poll(&p, 1, 50);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

void SendText(int socket, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

bool StartsWithNoCase(const std::string& line, const char* prefix) {
  return strncasecmp(line.c_str(), prefix, std::strlen(prefix)) == 0;
}

}  // namespace

FakeSmtpServer::FakeSmtpServer() {
  m_listen = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(m_listen, 8);
  socklen_t size = sizeof address;
  getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { AcceptLoop(); });
}

FakeSmtpServer::~FakeSmtpServer() {
  m_stopping = true;
  m_thread.join();
  close(m_listen);
}

std::string FakeSmtpServer::Url() const { return "smtp://127.0.0.1:" + std::to_string(m_port); }

std::vector<ReceivedMail> FakeSmtpServer::Mails() const {
  std::lock_guard lock(m_lock);
  return m_mails;
}

void FakeSmtpServer::AcceptLoop() {
  while (WaitReadable(m_listen, m_stopping)) {
    const int client = accept(m_listen, nullptr, nullptr);
    if (client < 0) continue;
    Serve(client);
    close(client);
  }
}

void FakeSmtpServer::Serve(int socket) {
  SendText(socket, "220 127.0.0.1 ESMTP test\r\n");
  std::string buffer;
  ReceivedMail mail;
  bool inData = false;
  char chunk[4096];
  while (WaitReadable(socket, m_stopping)) {
    const ssize_t n = recv(socket, chunk, sizeof chunk, 0);
    if (n <= 0) return;
    buffer.append(chunk, static_cast<size_t>(n));
    size_t end;
    while ((end = buffer.find("\r\n")) != std::string::npos) {
      const std::string line = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      if (inData) {
        if (line == ".") {
          inData = false;
          {
            std::lock_guard lock(m_lock);
            m_mails.push_back(mail);
          }
          mail = ReceivedMail{};
          SendText(socket, "250 2.0.0 queued\r\n");
        } else {
          // Dot-stuffed lines lose their first dot.
          mail.data += (line.rfind("..", 0) == 0 ? line.substr(1) : line) + "\r\n";
        }
      } else if (StartsWithNoCase(line, "EHLO")) {
        SendText(socket, "250-127.0.0.1\r\n250 8BITMIME\r\n");
      } else if (StartsWithNoCase(line, "HELO") || StartsWithNoCase(line, "NOOP") ||
                 StartsWithNoCase(line, "RSET")) {
        SendText(socket, "250 OK\r\n");
      } else if (StartsWithNoCase(line, "MAIL FROM:")) {
        mail.from = line.substr(10, line.find(' ', 10) - 10);
        SendText(socket, "250 OK\r\n");
      } else if (StartsWithNoCase(line, "RCPT TO:")) {
        mail.recipients.push_back(line.substr(8));
        SendText(socket, "250 OK\r\n");
      } else if (StartsWithNoCase(line, "DATA")) {
        inData = true;
        SendText(socket, "354 go ahead\r\n");
      } else if (StartsWithNoCase(line, "QUIT")) {
        SendText(socket, "221 bye\r\n");
        return;
      } else {
        SendText(socket, "502 not implemented\r\n");
      }
    }
  }
}
