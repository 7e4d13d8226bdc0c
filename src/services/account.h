#pragma once

#include <string>
#include <vector>

#include "engine/tasklist.h"

// The user's account on the program's account server, and the requests that
// keep the server's copy of the task list. Texts are in the local code page;
// the password is only ever held, stored and sent in its encoded form.

struct CAccount {
  std::string username;  // the e-mail address
  std::string password;  // encoded (EncodePassword)
  std::string nickname;

  bool IsLoggedIn() const { return !username.empty() && !password.empty(); }
};

// The password in UTF-8, written in Base64 with "=" padding.
std::string EncodePassword(const std::string& password);

// The account values in section "User" of config.ini ("Username",
// "Password", "Nickname").
CAccount LoadAccount();
bool SaveAccount(const CAccount& account);
// Logging out removes the three keys rather than leaving them empty.
bool DeleteSavedAccount();

// Requests. Every one goes to the account server's address (section "Hosts",
// "AccountUrl"); with no address configured nothing is sent and the reply is
// empty, which reads as a failure.

// True when the server knows the address and the encoded password; the
// nickname it answered with is stored in `nickname`.
bool ServerLogin(const std::string& email, const std::string& encodedPassword,
                 std::string& nickname);
// True when an account with this e-mail address exists.
bool ServerEmailUsed(const std::string& email);
bool ServerRegister(const std::string& email, const std::string& encodedPassword,
                    const std::string& nickname);

// Reports a task added to the list; nothing is sent (and the reply is empty)
// when the account is not logged in.
std::string ServerTaskAdd(const CAccount& account, const CTask& task);
// Reports a task about to be deleted; nothing is sent when logged out.
std::string ServerTaskDelete(const CAccount& account, const CTask& task);
// The XML text of the tasks kept on the server; empty when logged out.
std::string ServerGetTasks(const CAccount& account);

// Reading replies.
// A login reply: success when it holds a "|"; the nickname follows the first.
// A nickname with CR, LF or NUL makes the reply a failure.
bool ReadLoginReply(const std::string& reply, std::string& nickname);
// A reply read as a decimal number (0 when it does not start with one).
int ReadReplyNumber(const std::string& reply);

enum class ServerTaskAddResult { kAdded, kAlreadyThere, kFailed };
// "00000" added, "23000" already on the server, anything else failed.
ServerTaskAddResult ReadTaskAddReply(const std::string& reply);

// The number of "<Task>" records in a get-tasks reply (the import's total).
int CountServerTasks(const std::string& reply);
// The tasks of a get-tasks reply, in order.
std::vector<TaskPtr> ReadServerTasks(const std::string& reply);
