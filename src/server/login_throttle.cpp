#include "server/login_throttle.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

std::string AccountKey(const std::string& email) { return "account:" + email; }
std::string PairKey(const std::string& email, const std::string& client) {
  return "pair:" + email + "|" + client;
}
std::string AddressKey(const std::string& client) { return "address:" + client; }
std::string RegistrationKey(const std::string& client) { return "register:" + client; }
constexpr const char* kAllRegistrations = "register";

// Seconds until the oldest event of a full window leaves it (at least 1).
int UntilOldestLeaves(const CServerStore::FailureCount& count, int window, std::int64_t now) {
  return static_cast<int>(std::max<std::int64_t>(1, count.oldest + window - now));
}

}  // namespace

CLoginThrottle::CLoginThrottle(CServerStore& store, Clock clock)
    : m_store(store), m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

CLoginThrottle::Verdict CLoginThrottle::Look(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  const std::int64_t slowSince = now - kSlowWindowSeconds;
  const std::int64_t since = now - kWindowSeconds;
  CServerStore::AccountLookup lookup =
      m_store.LookUpAccount(email, {{AccountKey(email), slowSince},
                                    {PairKey(email, client), slowSince},
                                    {PairKey(email, client), since},
                                    {AddressKey(client), since},
                                    {AddressKey(client), slowSince}});
  const CServerStore::FailureCount& account = lookup.failures[0];
  const CServerStore::FailureCount& pairInHour = lookup.failures[1];
  const CServerStore::FailureCount& pair = lookup.failures[2];
  const CServerStore::FailureCount& address = lookup.failures[3];
  const CServerStore::FailureCount& addressInHour = lookup.failures[4];
  Verdict verdict;
  verdict.account = std::move(lookup.account);
  int wait = 0;
  if (!client.empty() && address.count >= kPerAddress)
    wait = UntilOldestLeaves(address, kWindowSeconds, now);
  verdict.clientFailed = !email.empty() && pairInHour.count > 0;
  if (!email.empty() && pair.count >= kPerAccountAndAddress)
    wait = std::max(wait, UntilOldestLeaves(pair, kWindowSeconds, now));
  // An address that has failed on no account this hour always gets to try.
  if (!email.empty() && addressInHour.count > 0 && account.count >= kPerAccountFree) {
    const int doublings = std::min(account.count - kPerAccountFree, 20);
    const std::int64_t pause =
        std::min<std::int64_t>(std::int64_t{1} << doublings, kLongestWaitSeconds);
    if (account.newest + pause > now)
      wait = std::max(wait, static_cast<int>(account.newest + pause - now));
  }
  verdict.retryAfter = wait;
  return verdict;
}

void CLoginThrottle::Failed(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  const std::int64_t forget = now - kSlowWindowSeconds;
  if (!email.empty()) {
    m_store.AddLoginFailure(AccountKey(email), now, forget);
    m_store.AddLoginFailure(PairKey(email, client), now, forget);
  }
  if (!client.empty()) m_store.AddLoginFailure(AddressKey(client), now, forget);
}

void CLoginThrottle::Succeeded(const std::string& email, const std::string& client) {
  m_store.ForgetLoginFailures(PairKey(email, client));
}

int CLoginThrottle::Register(const std::string& client) {
  const std::int64_t now = m_clock();
  const std::int64_t since = now - kSlowWindowSeconds;
  const CServerStore::AccountLookup lookup = m_store.LookUpAccount(
      std::string(), {{RegistrationKey(client), since}, {kAllRegistrations, since}});
  int wait = 0;
  if (lookup.failures[0].count >= kRegistrationsPerAddress)
    wait = UntilOldestLeaves(lookup.failures[0], kSlowWindowSeconds, now);
  if (lookup.failures[1].count >= kRegistrations)
    wait = std::max(wait, UntilOldestLeaves(lookup.failures[1], kSlowWindowSeconds, now));
  if (wait == 0) {
    m_store.AddLoginFailure(RegistrationKey(client), now, since);
    m_store.AddLoginFailure(kAllRegistrations, now, since);
  }
  return wait;
}
