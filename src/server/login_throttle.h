#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "server/store.h"

// Wrong passwords cost a slow hash each, so they are rationed, in a way
// that an attacker can't turn into a lock on the owner:
// - one client address with 10 failed logins on an account within 5
//   minutes waits out those minutes, on that account only;
// - one address with 50 failures on any accounts within 5 minutes waits;
// - an account with 20 failures from all addresses within the hour makes
//   every address that has failed within the hour wait, longer with each
//   further failure on the account (1 s, 2 s, 4 s ... up to 15 minutes
//   after the newest): sprays from many addresses are slowed, while an
//   address that has not failed always gets to try its password.
// Registrations are rationed too: 10 an hour from one address, 1,000 an
// hour from all. The counts live in the store, so several server
// processes on one database share them.
class CLoginThrottle {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970

  static constexpr int kWindowSeconds = 300;
  static constexpr int kPerAccountAndAddress = 10;
  static constexpr int kPerAddress = 50;
  static constexpr int kSlowWindowSeconds = 3600;
  static constexpr int kPerAccountFree = 20;
  static constexpr int kLongestWaitSeconds = 900;
  static constexpr int kRegistrationsPerAddress = 10;
  static constexpr int kRegistrations = 1000;

  explicit CLoginThrottle(CServerStore& store, Clock clock = {});

  // What a login or task request needs before it checks a password, read in
  // one statement: the account of `email` (normalised address) and whether
  // it may try now from `client`.
  struct Verdict {
    std::optional<StoredAccount> account;
    int retryAfter = 0;         // seconds; 0 when it may try now
    bool clientFailed = false;  // the client has failures on the account to forget
  };
  Verdict Look(const std::string& email, const std::string& client);
  void Failed(const std::string& email, const std::string& client);
  // A good password clears what the client failed on the account; the
  // account's count across addresses ages out on its own.
  void Succeeded(const std::string& email, const std::string& client);

  // Seconds a registration from `client` must wait (0: it may go on, and
  // is counted).
  int Register(const std::string& client);

 private:
  CServerStore& m_store;
  Clock m_clock;
};
