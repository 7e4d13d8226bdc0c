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

enum class TaskAddOutcome { kAdded, kAlreadyThere, kAccountFull, kFailed };

// No limit on an account's tasks.
inline constexpr long kUnlimitedTasks = -1;

// A task record with its place in the account's order.
struct NumberedRecord {
  std::int64_t id = 0;
  std::string record;
};

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

  // An account holding `mostTasks` (unless kUnlimitedTasks) gets no more:
  // kAccountFull. Several servers adding for one account at once may pass
  // the limit by the adds they run together, never further. A link new to
  // the server is put on the tracking schedule, due at once.
  virtual TaskAddOutcome AddTask(const std::string& email, const std::string& url,
                                 const std::string& name, const std::string& record,
                                 long mostTasks = kUnlimitedTasks) = 0;
  // True when a task was removed.
  virtual bool DeleteTask(const std::string& email, const std::string& url) = 0;
  // The account's task records in the order they were added.
  std::vector<std::string> TaskRecords(const std::string& email);
  // At most `most` of them, those after `afterId` (0: from the first), so
  // that a long list is read a page at a time. Nullopt when the database
  // failed.
  virtual std::optional<std::vector<NumberedRecord>> TaskRecordsAfter(const std::string& email,
                                                                      std::int64_t afterId,
                                                                      int most) = 0;
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

  // Events the server rations (failed logins, registrations), by a key (an
  // account, a client address, both), so that every server on the
  // database throttles alike. Recording also forgets every event older
  // than `forgetBefore`.
  virtual bool AddLoginFailure(const std::string& key, std::int64_t time,
                               std::int64_t forgetBefore) = 0;
  // The account of `email` (if any) and the events of each key since its
  // `since`, with the oldest and newest one's time, in one statement:
  // every login and task request needs both. A key may be asked for
  // several times with different times.
  struct FailureQuery {
    std::string key;
    std::int64_t since = 0;
  };
  struct FailureCount {
    int count = 0;
    std::int64_t oldest = 0;
    std::int64_t newest = 0;
  };
  struct AccountLookup {
    std::optional<StoredAccount> account;
    std::vector<FailureCount> failures;  // one per key, in order
  };
  virtual AccountLookup LookUpAccount(const std::string& email,
                                      const std::vector<FailureQuery>& queries) = 0;
  // Every key since the same time.
  AccountLookup LookUpAccount(const std::string& email, const std::vector<std::string>& keys,
                              std::int64_t since);
  virtual bool ForgetLoginFailures(const std::string& key) = 0;

  // The tracking schedule, which every server on the database shares: a
  // held product is due at a time; a server claims due products with a
  // lease, visits them and sets when each is due next. A server that dies
  // loses nothing: when its leases run out, the products are due again.
  //
  // Up to `most` due products (those whose lease ran out too), leased to
  // `holder` until `leaseUntil`: no other holder gets them before then.
  virtual std::vector<std::string> ClaimDue(const std::string& holder, std::int64_t now,
                                            std::int64_t leaseUntil, int most) = 0;
  // The holder visited the product: due again at `nextDue`. False when the
  // holder no longer held it (its lease ran out and another took it).
  virtual bool FinishVisit(const std::string& url, const std::string& holder,
                           std::int64_t nextDue) = 0;
  // Every product still leased to `holder` is now leased until `leaseUntil`
  // (a holder at work keeps what it claimed).
  virtual bool RenewLeases(const std::string& holder, std::int64_t leaseUntil) = 0;
  // Every product still leased to `holder` is due at `due` for any holder
  // (a server that stops gives back what it did not visit).
  virtual bool ReleaseLeases(const std::string& holder, std::int64_t due) = 0;
  // Puts every held link missing from the schedule on it, due at once, and
  // forgets links no account holds (databases of older servers).
  virtual bool SyncSchedule() = 0;

  virtual bool AddPricePoint(const std::string& url, const PricePoint& point) = 0;
  // Oldest first; only the newest `most` when there are more.
  virtual std::vector<PricePoint> PricePoints(const std::string& url,
                                              int most = kMostHistoryPoints) = 0;
  static constexpr int kMostHistoryPoints = 100000;
  // The newest point, if any.
  virtual std::optional<PricePoint> LastPricePoint(const std::string& url) = 0;
};

// "postgresql://..." or "postgres://..." opens PostgreSQL with `connections`
// connections (at most 64) that every thread shares; anything else
// is the path of a SQLite file (created when missing). Null, with `error`
// set, when the database can't be opened or its tables can't be made.
std::unique_ptr<CServerStore> OpenServerStore(const std::string& database, std::string& error,
                                              int connections = 8);
