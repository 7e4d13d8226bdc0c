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

int CLoginThrottle::RetryAfter(const std::string& email, const std::string& client,
                               bool* accountFailed) {
  const std::int64_t now = m_clock();
  // One statement for both counts: every login and task request pays it.
  const std::vector<CServerStore::FailureCount> counts =
      m_store.LoginFailures({AccountKey(email), AddressKey(client)}, now - kWindowSeconds);
  if (accountFailed) *accountFailed = !email.empty() && counts[0].count > 0;
  int wait = 0;
  const int most[] = {email.empty() ? INT_MAX : kPerAccount,
                      client.empty() ? INT_MAX : kPerAddress};
  for (size_t k = 0; k < counts.size(); ++k)
    // Sliding: the oldest failure of the window has to leave it.
    if (counts[k].count >= most[k])
      wait = std::max(wait, static_cast<int>(std::max<std::int64_t>(
                                1, counts[k].oldest + kWindowSeconds - now)));
  return wait;
}

void CLoginThrottle::Failed(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  if (!email.empty()) m_store.AddLoginFailure(AccountKey(email), now, now - kWindowSeconds);
  if (!client.empty()) m_store.AddLoginFailure(AddressKey(client), now, now - kWindowSeconds);
}

void CLoginThrottle::Succeeded(const std::string& email) {
  m_store.ForgetLoginFailures(AccountKey(email));
}
