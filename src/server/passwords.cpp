#include "server/passwords.h"

#include <sodium.h>

#include <algorithm>

namespace {

constexpr size_t kCacheSize = 10000;

}  // namespace

// Holds one of the few hashing places while a hash runs.
class CPasswordHasher::Slot {
 public:
  explicit Slot(CPasswordHasher& hasher) : m_hasher(hasher) {
    std::unique_lock lock(m_hasher.m_lock);
    m_hasher.m_free.wait(lock, [&] { return m_hasher.m_running < m_hasher.m_parallel; });
    ++m_hasher.m_running;
  }
  ~Slot() {
    {
      std::lock_guard lock(m_hasher.m_lock);
      --m_hasher.m_running;
    }
    m_hasher.m_free.notify_one();
  }

 private:
  CPasswordHasher& m_hasher;
};

CPasswordHasher::CPasswordHasher(Cost cost, int parallel) : m_parallel(std::max(1, parallel)) {
  if (sodium_init() < 0) m_parallel = 1;  // hashing then fails, and so does every login
  switch (cost) {
    case Cost::kMinimum:
      m_opsLimit = crypto_pwhash_OPSLIMIT_MIN;
      m_memLimit = crypto_pwhash_MEMLIMIT_MIN;
      break;
    case Cost::kModerate:
      m_opsLimit = crypto_pwhash_OPSLIMIT_MODERATE;
      m_memLimit = crypto_pwhash_MEMLIMIT_MODERATE;
      break;
    default:
      m_opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
      m_memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  }
  randombytes_buf(m_cacheKey, sizeof m_cacheKey);
}

bool CPasswordHasher::ParseCost(const std::string& name, Cost& cost) {
  if (name == "minimum")
    cost = Cost::kMinimum;
  else if (name == "interactive")
    cost = Cost::kInteractive;
  else if (name == "moderate")
    cost = Cost::kModerate;
  else
    return false;
  return true;
}

std::string CPasswordHasher::Hash(const std::string& password) {
  char out[crypto_pwhash_STRBYTES];
  Slot slot(*this);
  if (crypto_pwhash_str(out, password.data(), password.size(), m_opsLimit, m_memLimit) != 0)
    return std::string();
  return out;
}

bool CPasswordHasher::Verify(const std::string& email, const std::string& password,
                             const std::string& storedHash) {
  if (storedHash.empty() || storedHash.size() >= crypto_pwhash_STRBYTES) return false;
  const std::string key = CacheKey(email, password);
  if (Remembered(key, storedHash)) return true;
  bool good;
  {
    Slot slot(*this);
    good = crypto_pwhash_str_verify(storedHash.c_str(), password.data(), password.size()) == 0;
  }
  if (good) Remember(key, storedHash);
  return good;
}

// A keyed digest: the cache never holds a password, and its key dies with
// the process.
std::string CPasswordHasher::CacheKey(const std::string& email, const std::string& password) const {
  std::string input = email;
  input.push_back('\0');
  input += password;
  unsigned char digest[32];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(input.data()),
                     input.size(), m_cacheKey, sizeof m_cacheKey);
  return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

bool CPasswordHasher::Remembered(const std::string& key, const std::string& storedHash) {
  std::lock_guard lock(m_lock);
  auto found = m_verified.find(key);
  // A changed stored hash (a new password) makes the entry worthless.
  return found != m_verified.end() && found->second == storedHash;
}

void CPasswordHasher::Remember(const std::string& key, const std::string& storedHash) {
  std::lock_guard lock(m_lock);
  if (m_verified.insert_or_assign(key, storedHash).second) m_order.push_front(key);
  while (m_order.size() > kCacheSize) {
    m_verified.erase(m_order.back());
    m_order.pop_back();
  }
}
