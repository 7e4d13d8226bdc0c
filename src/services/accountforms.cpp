#include "services/accountforms.h"

#include <sys/stat.h>

#include "base/programdir.h"
#include "base/stringtable.h"
#include "text/regex.h"

namespace {

constexpr size_t kPasswordLimit = 51;  // bytes; at most 50
constexpr size_t kNicknameLimit = 11;  // bytes; at most 10

// The stored account holds the encoded password: config.ini is kept readable
// by its owner alone, also when it existed before with a wider mode.
void KeepConfigPrivate() { chmod(ProgramFile("config.ini").c_str(), 0600); }

void BecomeAccount(CAccount& account, const std::string& email, const std::string& encoded,
                   const std::string& nickname, bool save) {
  account.username = email;
  account.password = encoded;
  account.nickname = nickname;
  if (!save) return;
  KeepConfigPrivate();
  SaveAccount(account);
  KeepConfigPrivate();
}

}  // namespace

unsigned CheckEmailFormat(const std::string& email) {
  if (email.empty()) return IDS_ENTER_EMAIL;
  static const CRegexPattern kEmail("^.+@.+\\..+$", RX_IGNORE_CASE | RX_DOT_ALL);
  return kEmail.Search(email).Found() ? 0u : unsigned{IDS_EMAIL_INVALID};
}

unsigned CheckPassword(const std::string& password) {
  if (password.empty()) return IDS_ENTER_PASSWORD;
  return password.size() >= kPasswordLimit ? unsigned{IDS_PASSWORD_TOO_LONG} : 0u;
}

unsigned CheckNickname(const std::string& nickname) {
  if (nickname.empty()) return IDS_ENTER_NICKNAME;
  return nickname.size() >= kNicknameLimit ? unsigned{IDS_NICKNAME_TOO_LONG} : 0u;
}

LoginHints CheckLoginForm(const LoginForm& form) {
  LoginHints hints;
  hints.email = CheckEmailFormat(form.email);
  hints.password = CheckPassword(form.password);
  return hints;
}

RegisterHints CheckRegisterForm(const RegisterForm& form, bool askServer) {
  RegisterHints hints;
  hints.email = CheckEmailFormat(form.email);
  if (askServer && hints.email == 0 && ServerEmailUsed(form.email)) hints.email = IDS_EMAIL_EXISTS;
  hints.password = CheckPassword(form.password);
  if (form.repeatedPassword != form.password) hints.repeatedPassword = IDS_PASSWORDS_DIFFER;
  hints.nickname = CheckNickname(form.nickname);
  return hints;
}

unsigned Login(CAccount& account, const LoginForm& form) {
  std::string encoded = EncodePassword(form.password);
  std::string nickname;
  if (!ServerLogin(form.email, encoded, nickname)) return IDS_LOGIN_FAILED;
  BecomeAccount(account, form.email, encoded, nickname, form.autoLogin);
  return IDS_LOGIN_OK;
}

unsigned Register(CAccount& account, const RegisterForm& form) {
  std::string encoded = EncodePassword(form.password);
  if (!ServerRegister(form.email, encoded, form.nickname)) return IDS_REGISTER_FAILED;
  BecomeAccount(account, form.email, encoded, form.nickname, form.autoLogin);
  return IDS_REGISTER_OK;
}

void Logout(CAccount& account) {
  account = CAccount();
  DeleteSavedAccount();
}
