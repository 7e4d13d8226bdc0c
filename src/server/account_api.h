#pragma once

#include <functional>
#include <optional>
#include <string>

#include "server/form.h"
#include "server/http.h"
#include "server/passwords.h"
#include "server/store.h"

// The account scripts under api/, answered in the forms the program reads.
// Every refusal (unknown account, wrong password, a value that is missing,
// too long or not clean UTF-8, a database failure) gets the script's failing
// reply; nothing here is an error of the server.

// What one account may keep on the server.
struct AccountLimits {
  long mostTasks = 5000;
  size_t mostRecordBytes = 16 * 1024;  // one task record
};

class CAccountApi {
 public:
  // The failing replies.
  static constexpr const char* kLoginFailed = "0";  // no "|"
  static constexpr const char* kNumberFailed = "0";
  static constexpr const char* kTaskAdded = "00000";
  static constexpr const char* kTaskAlreadyThere = "23000";
  static constexpr const char* kNotAuthorised = "10001";
  static constexpr const char* kBadRequest = "10002";
  static constexpr const char* kAccountFull = "10003";  // no more tasks

  // `taskAdded` (may be empty) hears of every link newly added to an account.
  CAccountApi(CServerStore& store, CPasswordHasher& hasher,
              std::function<void(const std::string& url)> taskAdded = {},
              AccountLimits limits = {});

  // `account` is the store's account of the address u (read by the caller
  // together with its throttle counts).
  // "1|" + nickname, or "0".
  std::string Login(const FormValues& values, const std::optional<StoredAccount>& account);
  // "1" when t=email_used and the address has an account, else "0".
  std::string Check(const FormValues& values);
  // "1" when the account was made, else "0". POST only.
  std::string Register(bool post, const FormValues& values);
  // act=add (POST): "00000", "23000" or, for a full account, "10003";
  // act=del (POST): "1" or "0"; act=get: the account's task records in a
  // TaskList document, streamed a page of records at a time (a reply cut
  // short when the database fails). The reply's status is 200.
  HttpReply Task(bool post, const FormValues& values, const std::optional<StoredAccount>& account);

  // The failing reply of a script ("login", "check", "register", "task").
  static std::string FailingReply(const std::string& script);

 private:
  // The account's address when p is the password of `account`, u's account.
  bool Authorised(const FormValues& values, const std::optional<StoredAccount>& account,
                  std::string& email);
  bool IsTaskRecord(const std::string& record) const;
  HttpReply TaskList(const std::string& email);

  CServerStore& m_store;
  CPasswordHasher& m_hasher;
  std::function<void(const std::string&)> m_taskAdded;
  AccountLimits m_limits;
};

// Addresses compare without regard to ASCII case.
std::string NormalisedEmail(const std::string& email);
