#pragma once

#include <condition_variable>
#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <string>

// Passwords are kept only as salted slow hashes (libsodium's crypto_pwhash,
// Argon2id) of the encoded form the client sends. A slow hash costs memory
// and time on purpose, so the hasher lets only a few run at once, and it
// remembers, for a while and in memory only, which (address, password) pairs
// it has verified against which stored hash: an upload sends the password
// once per task, and each of those must not cost a full hash again.
class CPasswordHasher {
 public:
  enum class Cost { kMinimum, kInteractive, kModerate };

  explicit CPasswordHasher(Cost cost = Cost::kInteractive, int parallel = 2);
  CPasswordHasher(const CPasswordHasher&) = delete;
  CPasswordHasher& operator=(const CPasswordHasher&) = delete;

  // The hash string to store; empty when hashing failed (out of memory).
  std::string Hash(const std::string& password);
  // True when `password` is the one `storedHash` was made from.
  bool Verify(const std::string& email, const std::string& password, const std::string& storedHash);

  // "minimum", "interactive" or "moderate"; false for any other name.
  static bool ParseCost(const std::string& name, Cost& cost);

 private:
  class Slot;
  std::string CacheKey(const std::string& email, const std::string& password) const;
  bool Remembered(const std::string& key, const std::string& storedHash);
  void Remember(const std::string& key, const std::string& storedHash);

  unsigned long long m_opsLimit;
  size_t m_memLimit;
  int m_parallel;
  int m_running = 0;
  std::mutex m_lock;
  std::condition_variable m_free;
  unsigned char m_cacheKey[32];
  // Verified pairs, newest at the front, at most kCacheSize of them.
  std::list<std::string> m_order;
  std::map<std::string, std::string> m_verified;  // pair digest -> stored hash
};
