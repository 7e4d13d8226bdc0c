#include "support/fake_account_server.h"

#include <algorithm>

#include "base/ini.h"
#include "base/programdir.h"
#include "support/http_server.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ParseValues(const std::string& text, std::map<std::string, std::string>& values) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    size_t equals = pair.find('=');
    if (!pair.empty()) {
      values[PercentDecode(pair.substr(0, equals))] =
          equals == std::string::npos ? std::string() : PercentDecode(pair.substr(equals + 1));
    }
    start = end + 1;
  }
}

AccountRequest ReadRequest(const httplib::Request& request, const std::string& script) {
  AccountRequest read;
  read.method = request.method;
  read.script = script;
  read.target = request.target;
  read.body = request.body;
  read.contentType = request.get_header_value("Content-Type");
  size_t question = request.target.find('?');
  if (question != std::string::npos) ParseValues(request.target.substr(question + 1), read.values);
  if (request.method == "POST") ParseValues(request.body, read.values);
  return read;
}

}  // namespace

std::string AccountRequest::Value(const std::string& name) const {
  auto found = values.find(name);
  return found == values.end() ? std::string() : found->second;
}

FakeAccountServer::FakeAccountServer() : m_server(std::make_unique<TestHttpServer>()) {
  for (const char* script : {"login", "check", "register", "task"}) {
    TestHttpServer::Handler handler = [this, script](const httplib::Request& request,
                                                     httplib::Response& response) {
      AccountRequest read = ReadRequest(request, script);
      response.set_content(Answer(read), "text/plain; charset=utf-8");
    };
    std::string path = std::string("/api/") + script + "\\.php";
    m_server->Get(path, handler);
    m_server->Post(path, handler);
  }
}

FakeAccountServer::~FakeAccountServer() = default;

std::string FakeAccountServer::BaseUrl() const { return m_server->Url("/"); }

void FakeAccountServer::PointProgramAt() const {
  IniWriteString(ProgramFile("config.ini"), "Hosts", "AccountUrl", BaseUrl());
}

void FakeAccountServer::AddAccount(const std::string& email, const std::string& password,
                                   const std::string& nickname) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_accounts[email] = Account{password, nickname, {}};
}

void FakeAccountServer::Reply(const std::string& script, const std::string& utf8Reply) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_replies[script] = utf8Reply;
}

std::vector<std::string> FakeAccountServer::StoredUrls(const std::string& email) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> urls;
  auto account = m_accounts.find(email);
  if (account == m_accounts.end()) return urls;
  for (const StoredTask& task : account->second.tasks) urls.push_back(task.url);
  return urls;
}

std::string FakeAccountServer::StoredRecord(const std::string& email,
                                            const std::string& url) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto account = m_accounts.find(email);
  if (account == m_accounts.end()) return std::string();
  for (const StoredTask& task : account->second.tasks) {
    if (task.url == url) return task.record;
  }
  return std::string();
}

void FakeAccountServer::StoreTask(const std::string& email, const std::string& url,
                                  const std::string& record) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_accounts[email].tasks.push_back(StoredTask{url, std::string(), record});
}

int FakeAccountServer::Requests(const std::string& script) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(std::count_if(
      m_log.begin(), m_log.end(), [&](const AccountRequest& r) { return r.script == script; }));
}

std::vector<AccountRequest> FakeAccountServer::Log() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_log;
}

FakeAccountServer::Account* FakeAccountServer::Authorised(const AccountRequest& request) {
  auto account = m_accounts.find(request.Value("u"));
  if (account == m_accounts.end() || account->second.password != request.Value("p")) return nullptr;
  return &account->second;
}

std::string FakeAccountServer::Answer(const AccountRequest& request) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.push_back(request);
  auto scripted = m_replies.find(request.script);
  if (scripted != m_replies.end()) return scripted->second;
  if (request.script == "login") {
    Account* account = Authorised(request);
    return account ? "1|" + account->nickname : "0";
  }
  if (request.script == "check") {
    return request.Value("t") == "email_used" && m_accounts.count(request.Value("u")) ? "1" : "0";
  }
  if (request.script == "register") {
    std::string email = request.Value("u");
    if (request.method != "POST" || email.empty() || m_accounts.count(email)) return "0";
    m_accounts[email] = Account{request.Value("p"), request.Value("n"), {}};
    return "1";
  }
  return AnswerTask(request);
}

std::string FakeAccountServer::AnswerTask(const AccountRequest& request) {
  Account* account = Authorised(request);
  if (!account) return "10001";
  std::string act = request.Value("act");
  std::string url = request.Value("url");
  auto stored = std::find_if(account->tasks.begin(), account->tasks.end(),
                             [&](const StoredTask& task) { return task.url == url; });
  if (act == "add" && request.method == "POST") {
    if (stored != account->tasks.end()) return "23000";
    account->tasks.push_back(StoredTask{url, request.Value("name"), request.Value("tx")});
    return "00000";
  }
  if (act == "del" && request.method == "POST") {
    if (stored == account->tasks.end()) return "0";
    account->tasks.erase(stored);
    return "1";
  }
  if (act == "get") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";
    for (const StoredTask& task : account->tasks) xml += task.record;
    return xml + "</TaskList>";
  }
  return "10002";
}
