#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small SMTP server on 127.0.0.1 for the e-mail channel's tests: it
// answers EHLO/HELO, MAIL, RCPT, DATA, RSET, NOOP and QUIT (no STARTTLS, no
// AUTH) and keeps every message it took, one connection at a time.
struct ReceivedMail {
  std::string from;                     // the MAIL FROM path, e.g. "<a@b>"
  std::vector<std::string> recipients;  // the RCPT TO paths
  std::string data;                     // the message as sent, without the final "."
};

class FakeSmtpServer {
 public:
  FakeSmtpServer();
  ~FakeSmtpServer();
  FakeSmtpServer(const FakeSmtpServer&) = delete;
  FakeSmtpServer& operator=(const FakeSmtpServer&) = delete;

  // "smtp://127.0.0.1:PORT".
  std::string Url() const;
  std::vector<ReceivedMail> Mails() const;

 private:
  void AcceptLoop();
  void Serve(int socket);

  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::vector<ReceivedMail> m_mails;
};
