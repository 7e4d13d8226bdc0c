#include "server/login_throttle.h"

#include <algorithm>
#include <ctime>

namespace {

std::string AccountKey(const std::string& email) { return "account:" + email; }
std::string AddressKey(const std::string& client) { return "address:" + client; }

}  // namespace

CLoginThrottle::CLoginThrottle(CServerStore& store, Clock clock)
    : m_store(store), m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

int CLoginThrottle::Wait(const std::string& key, int most, std::int64_t now) {
  std::int64_t oldest = 0;
  if (m_store.LoginFailures(key, now - kWindowSeconds, oldest) < most) return 0;
  // Sliding: the oldest failure of the window has to leave it.
  return static_cast<int>(std::max<std::int64_t>(1, oldest + kWindowSeconds - now));
}

int CLoginThrottle::RetryAfter(const std::string& email, const std::string& client) {
  const std::int64_t now = m_clock();
  int wait = email.empty() ? 0 : Wait(AccountKey(email), kPerAccount, now);
  if (!client.empty()) wait = std::max(wait, Wait(AddressKey(client), kPerAddress, now));
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
