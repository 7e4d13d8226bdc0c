// The account server's requests. Every value is converted as the server
// expects it (e-mail, nickname and product name in UTF-8) and then escaped.
#include <string>

#include "base/codepage.h"
#include "base/hosts.h"
#include "engine/spider.h"
#include "engine/urlencode.h"
#include "services/account.h"
#include "services/programserver.h"

namespace {

constexpr const char* kFormHeader = "Content-Type: application/x-www-form-urlencoded";

std::string Utf8Value(const std::string& local) { return UrlEncode(LocalToUtf8(local)); }

// GET below the server's address, the reply in the local code page.
std::string Get(const std::string& request) { return AskProgramServer(kHostAccount, request); }

std::string Post(const std::string& script, const std::string& body) {
  std::string server = HostValue(kHostAccount);
  if (server.empty()) return std::string();
  return CSpider().PostPage(server + script, body, kFormHeader);
}

// "u=...&p=..." of a logged-in account.
std::string Credentials(const CAccount& account) {
  return "u=" + Utf8Value(account.username) + "&p=" + UrlEncode(account.password);
}

}  // namespace

bool ServerLogin(const std::string& email, const std::string& encodedPassword,
                 std::string& nickname) {
  std::string reply =
      Get("api/login.php?u=" + Utf8Value(email) + "&p=" + UrlEncode(encodedPassword));
  return ReadLoginReply(reply, nickname);
}

bool ServerEmailUsed(const std::string& email) {
  return ReadReplyNumber(Get("api/check.php?t=email_used&u=" + Utf8Value(email))) >= 1;
}

bool ServerRegister(const std::string& email, const std::string& encodedPassword,
                    const std::string& nickname) {
  std::string body =
      "u=" + Utf8Value(email) + "&p=" + UrlEncode(encodedPassword) + "&n=" + Utf8Value(nickname);
  return ReadReplyNumber(Post("api/register.php", body)) >= 1;
}

std::string ServerTaskAdd(const CAccount& account, const CTask& task) {
  if (!account.IsLoggedIn()) return std::string();
  std::string body = "act=add&" + Credentials(account) + "&url=" + UrlEncode(task.GetUrl()) +
                     "&name=" + Utf8Value(task.GetProductName()) + "&tx=" + UrlEncode(task.ToXml());
  return Post("api/task.php", body);
}

std::string ServerTaskDelete(const CAccount& account, const CTask& task) {
  if (!account.IsLoggedIn()) return std::string();
  return Post("api/task.php",
              "act=del&" + Credentials(account) + "&url=" + UrlEncode(task.GetUrl()));
}

std::string ServerGetTasks(const CAccount& account) {
  if (!account.IsLoggedIn()) return std::string();
  return Get("api/task.php?act=get&" + Credentials(account));
}
