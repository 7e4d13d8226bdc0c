#pragma once

#include <string>

#include "services/account.h"

// The login and registration forms: their checks, in the order the user
// sees them, and what happens when a form is accepted. A check's result is
// the string id of the hint shown under the field, 0 when the field is fine.
// Texts are in the local code page, passwords as typed.

struct LoginForm {
  std::string email;
  std::string password;
  bool autoLogin = false;
};

struct LoginHints {
  unsigned email = 0;
  unsigned password = 0;
  bool Ok() const { return email == 0 && password == 0; }
};

struct RegisterForm {
  std::string email;
  std::string password;
  std::string repeatedPassword;
  std::string nickname;
  bool autoLogin = false;
};

struct RegisterHints {
  unsigned email = 0;
  unsigned password = 0;
  unsigned repeatedPassword = 0;
  unsigned nickname = 0;
  bool Ok() const { return email == 0 && password == 0 && repeatedPassword == 0 && nickname == 0; }
};

// 57755 empty, 57756 not of the form "x@y.z".
unsigned CheckEmailFormat(const std::string& email);
// 57758 empty, 57762 when 51 bytes or longer.
unsigned CheckPassword(const std::string& password);
// 57760 empty, 57761 when 11 bytes or longer (a Chinese character is two).
unsigned CheckNickname(const std::string& nickname);

LoginHints CheckLoginForm(const LoginForm& form);
// Asks the account server whether a well-formed address is in use (57757);
// an unanswered question counts as not in use. Without `askServer` only the
// form itself is checked (the window asks the server on a worker).
RegisterHints CheckRegisterForm(const RegisterForm& form, bool askServer = true);

// Logs in with an accepted form. On success the account becomes the form's
// address, encoded password and the server's nickname, saved to config.ini
// when the form asks for automatic login. Returns the message to show:
// 57746 logged in, 57747 failed (the account then stays as it was).
unsigned Login(CAccount& account, const LoginForm& form);
// Registers an accepted form: 57753 registered (the account set and saved
// as for a login), 57754 failed.
unsigned Register(CAccount& account, const RegisterForm& form);
// Empties the account and removes its keys from config.ini.
void Logout(CAccount& account);
