#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the server keeps: accounts, the tasks each account holds, the products
// the server tracks for them and the prices it saw. Texts are UTF-8. Every
// operation is one statement or one transaction, so several server processes
// may share one database. Failures are results (false, empty, nullopt).

struct StoredAccount {
  std::string email;
  std::string passwordHash;  // crypto_pwhash string of the encoded password
  std::string nickname;
};

enum class TaskAddOutcome { kAdded, kAlreadyThere, kFailed };

// A product the server tracks, as its last visit saw it.
struct StoredProduct {
  std::string url;
  std::string name;
  std::string site;   // the shop's Name in the server's rules
  std::string price;  // "%.2f", "" before the first visit that read a price
  int stock = -1;
};

struct PricePoint {
  std::int64_t time = 0;  // seconds since 1970
  std::string price;      // "%.2f"
};

class CServerStore {
 public:
  virtual ~CServerStore() = default;

  // False when the address is taken (or the database failed).
  virtual bool CreateAccount(const StoredAccount& account) = 0;
  virtual std::optional<StoredAccount> FindAccount(const std::string& email) = 0;

  virtual TaskAddOutcome AddTask(const std::string& email, const std::string& url,
                                 const std::string& name, const std::string& record) = 0;
  // True when a task was removed.
  virtual bool DeleteTask(const std::string& email, const std::string& url) = 0;
  // The account's task records in the order they were added.
  virtual std::vector<std::string> TaskRecords(const std::string& email) = 0;
  // Every link some account holds, each once.
  virtual std::vector<std::string> HeldUrls() = 0;
  // The name an account gave the link when it added it (any account's), or "".
  virtual std::string HeldName(const std::string& url) = 0;

  // Creates or replaces what is known of a product.
  virtual bool SaveProduct(const StoredProduct& product) = 0;
  virtual std::optional<StoredProduct> FindProduct(const std::string& url) = 0;
  // Every product, priced or not (a comparison needs the one asked about and
  // the offers in one statement).
  virtual std::vector<StoredProduct> Products() = 0;

  // Failed logins, by a key (an account or a client address), so that
  // every server on the database throttles alike. Recording also forgets
  // every failure older than `forgetBefore`.
  virtual bool AddLoginFailure(const std::string& key, std::int64_t time,
                               std::int64_t forgetBefore) = 0;
  // The account of `email` (if any) and the failures of each key since
  // `since` with the oldest one's time, in one statement: every login and
  // task request needs both.
  struct FailureCount {
    int count = 0;
    std::int64_t oldest = 0;
  };
  struct AccountLookup {
    std::optional<StoredAccount> account;
    std::vector<FailureCount> failures;  // one per key, in order
  };
  virtual AccountLookup LookUpAccount(const std::string& email,
                                      const std::vector<std::string>& keys, std::int64_t since) = 0;
  virtual bool ForgetLoginFailures(const std::string& key) = 0;

  virtual bool AddPricePoint(const std::string& url, const PricePoint& point) = 0;
  // Oldest first.
  virtual std::vector<PricePoint> PricePoints(const std::string& url) = 0;
  // The newest point, if any.
  virtual std::optional<PricePoint> LastPricePoint(const std::string& url) = 0;
};

// "postgresql://..." or "postgres://..." opens PostgreSQL with `connections`
// connections (at most 64) that every thread shares; anything else
// is the path of a SQLite file (created when missing). Null, with `error`
// set, when the database can't be opened or its tables can't be made.
std::unique_ptr<CServerStore> OpenServerStore(const std::string& database, std::string& error,
                                              int connections = 8);
