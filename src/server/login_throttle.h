#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "server/store.h"

// Wrong passwords cost a slow hash each, so they are rationed: an account
// with 10 failed logins, or a client address with 50, within 5 minutes is
// told to come back later. The count lives in the store, so several server
// processes on one database share it.
class CLoginThrottle {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970

  static constexpr int kWindowSeconds = 300;
  static constexpr int kPerAccount = 10;
  static constexpr int kPerAddress = 50;

  explicit CLoginThrottle(CServerStore& store, Clock clock = {});

  // What a login or task request needs before it checks a password, read in
  // one statement: the account of `email` (normalised address) and whether
  // it may try now from `client`.
  struct Verdict {
    std::optional<StoredAccount> account;
    int retryAfter = 0;          // seconds; 0 when it may try now
    bool accountFailed = false;  // the account has failures to forget
  };
  Verdict Look(const std::string& email, const std::string& client);
  void Failed(const std::string& email, const std::string& client);
  // A good password clears the account's count (not the address's).
  void Succeeded(const std::string& email);

 private:
  CServerStore& m_store;
  Clock m_clock;
};
