#include "support/fake_smtp_server.h"

#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "support/http_server.h"

namespace {

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
  m_listen = ListenOnLoopback(m_port);
  if (m_port != 0) m_thread = std::thread([this] { AcceptLoop(); });
}

FakeSmtpServer::~FakeSmtpServer() {
  m_stopping = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_listen >= 0) close(m_listen);
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
