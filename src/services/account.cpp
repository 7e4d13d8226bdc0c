#include "services/account.h"

#include <climits>
#include <cstdlib>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "text/xml.h"

namespace {

constexpr const char* kUserSection = "User";

std::string ConfigFile() { return ProgramFile("config.ini"); }

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t left = bytes.size() - i;
    unsigned int group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    out += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return out;
}

}  // namespace

std::string EncodePassword(const std::string& password) { return Base64(LocalToUtf8(password)); }

CAccount LoadAccount() {
  CAccount account;
  account.username = IniGetString(ConfigFile(), kUserSection, "Username", "");
  account.password = IniGetString(ConfigFile(), kUserSection, "Password", "");
  account.nickname = IniGetString(ConfigFile(), kUserSection, "Nickname", "");
  return account;
}

bool SaveAccount(const CAccount& account) {
  // All three values or none: a refused nickname must not leave a new address
  // next to an old password.
  if (!IniTextWritable(account.username) || !IniTextWritable(account.password) ||
      !IniTextWritable(account.nickname))
    return false;
  return IniWriteString(ConfigFile(), kUserSection, "Username", account.username) &&
         IniWriteString(ConfigFile(), kUserSection, "Password", account.password) &&
         IniWriteString(ConfigFile(), kUserSection, "Nickname", account.nickname);
}

bool DeleteSavedAccount() {
  bool done = IniDeleteKey(ConfigFile(), kUserSection, "Username");
  done = IniDeleteKey(ConfigFile(), kUserSection, "Password") && done;
  return IniDeleteKey(ConfigFile(), kUserSection, "Nickname") && done;
}

bool ReadLoginReply(const std::string& reply, std::string& nickname) {
  size_t bar = reply.find('|');
  if (bar == std::string::npos) return false;
  // A nickname that could not be stored as one line of config.ini is a bad
  // reply, not a name.
  std::string name = reply.substr(bar + 1);
  if (!IniTextWritable(name)) return false;
  nickname = name;
  return true;
}

int ReadReplyNumber(const std::string& reply) {
  long number = std::strtol(reply.c_str(), nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

ServerTaskAddResult ReadTaskAddReply(const std::string& reply) {
  if (reply == "00000") return ServerTaskAddResult::kAdded;
  if (reply == "23000") return ServerTaskAddResult::kAlreadyThere;
  return ServerTaskAddResult::kFailed;
}

int CountServerTasks(const std::string& reply) {
  int count = 0;
  for (size_t at = reply.find("<Task>"); at != std::string::npos;
       at = reply.find("<Task>", at + 6)) {
    ++count;
  }
  return count;
}

std::vector<TaskPtr> ReadServerTasks(const std::string& reply) {
  std::vector<TaskPtr> tasks;
  XmlDocument document;
  document.SetText(reply);
  while (document.FindChildElement("Task")) {
    document.EnterElement();
    tasks.push_back(std::make_shared<CTask>(document));
    document.LeaveElement();
  }
  return tasks;
}
