#pragma once

// The account server on 127.0.0.1 for tests: api/login.php, api/check.php,
// api/register.php and api/task.php (act=add, del, get), keeping accounts
// and their tasks in memory, with a log of what it received.
//
//   TempDir home(true);
//   FakeAccountServer server;
//   server.AddAccount("lin@example.com", "c2VjcmV0", "Lin");
//   server.PointProgramAt();
//   ... the program logs in and uploads ...
//   EXPECT_EQ(server.StoredUrls("lin@example.com").size(), 2u);
//
// Values are compared as the server receives them (UTF-8, passwords
// encoded). A scripted reply replaces the server's own answer for a script.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TestHttpServer;

// A request as the server received it.
struct AccountRequest {
  std::string method;  // "GET" or "POST"
  std::string script;  // "login", "check", "register" or "task"
  std::string target;  // path and query as sent
  std::string body;    // as sent
  std::string contentType;
  // Query and body values, percent-decoded ("+" is taken as it stands).
  std::map<std::string, std::string> values;
  std::string Value(const std::string& name) const;
};

class FakeAccountServer {
 public:
  FakeAccountServer();
  ~FakeAccountServer();
  FakeAccountServer(const FakeAccountServer&) = delete;
  FakeAccountServer& operator=(const FakeAccountServer&) = delete;

  // "http://127.0.0.1:PORT/": the account server's address.
  std::string BaseUrl() const;
  // Writes AccountUrl into section "Hosts" of the program directory's
  // config.ini (the test's TempDir(true)).
  void PointProgramAt() const;

  // An account; texts in UTF-8, the password encoded.
  void AddAccount(const std::string& email, const std::string& password,
                  const std::string& nickname);
  // Every later request to `script` gets this UTF-8 reply instead.
  void Reply(const std::string& script, const std::string& utf8Reply);

  // The links of the account's stored tasks in the order they were added,
  // and the record sent with one.
  std::vector<std::string> StoredUrls(const std::string& email) const;
  std::string StoredRecord(const std::string& email, const std::string& url) const;
  // A task stored directly (the record is a "<Task>...</Task>" text).
  void StoreTask(const std::string& email, const std::string& url, const std::string& record);

  int Requests(const std::string& script) const;
  std::vector<AccountRequest> Log() const;

 private:
  struct StoredTask {
    std::string url;
    std::string name;
    std::string record;
  };
  struct Account {
    std::string password;
    std::string nickname;
    std::vector<StoredTask> tasks;
  };

  std::string Answer(const AccountRequest& request);
  std::string AnswerTask(const AccountRequest& request);
  Account* Authorised(const AccountRequest& request);

  std::unique_ptr<TestHttpServer> m_server;
  mutable std::mutex m_mutex;
  std::map<std::string, Account> m_accounts;
  std::map<std::string, std::string> m_replies;
  std::vector<AccountRequest> m_log;
};
