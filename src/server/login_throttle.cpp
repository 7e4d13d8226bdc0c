#include "server/login_throttle.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <vector>

namespace {

std::string AccountKey(const std::string& email) { return "account:" + email; }
std::string AddressKey(const std::string& client) { return "address:" + client; }

}  // namespace

CLoginThrottle::CLoginThrottle(CServerStore& store, Clock clock)
    : m_store(store), m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

CLoginThrottle::Verdict CLoginThrottle::Look(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  CServerStore::AccountLookup lookup =
      m_store.LookUpAccount(email, {AccountKey(email), AddressKey(client)}, now - kWindowSeconds);
  Verdict verdict;
  verdict.account = std::move(lookup.account);
  verdict.accountFailed = !email.empty() && lookup.failures[0].count > 0;
  const int most[] = {email.empty() ? INT_MAX : kPerAccount,
                      client.empty() ? INT_MAX : kPerAddress};
  for (size_t k = 0; k < lookup.failures.size(); ++k)
    // Sliding: the oldest failure of the window has to leave it.
    if (lookup.failures[k].count >= most[k])
      verdict.retryAfter =
          std::max(verdict.retryAfter, static_cast<int>(std::max<std::int64_t>(
                                           1, lookup.failures[k].oldest + kWindowSeconds - now)));
  return verdict;
}

void CLoginThrottle::Failed(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  if (!email.empty()) m_store.AddLoginFailure(AccountKey(email), now, now - kWindowSeconds);
  if (!client.empty()) m_store.AddLoginFailure(AddressKey(client), now, now - kWindowSeconds);
}

void CLoginThrottle::Succeeded(const std::string& email) {
  m_store.ForgetLoginFailures(AccountKey(email));
}
