// The store on an SQL database; the same statements serve both back ends.
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "server/sql.h"
#include "server/store.h"

namespace {

// PostgreSQL's default limit is 100 connections, and several servers may
// share one database.
constexpr int kMostPostgresConnections = 64;

std::int64_t ToInt64(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

class CSqlStore : public CServerStore {
 public:
  explicit CSqlStore(std::unique_ptr<CSqlDatabase> database) : m_db(std::move(database)) {}

  bool CreateAccount(const StoredAccount& account) override {
    SqlResult result = m_db->Run(
        "INSERT INTO accounts (email, password_hash, nickname) VALUES ($1, $2, $3) "
        "ON CONFLICT (email) DO NOTHING",
        {account.email, account.passwordHash, account.nickname});
    return result.ok && result.changes == 1;
  }

  std::optional<StoredAccount> FindAccount(const std::string& email) override {
    SqlResult result =
        m_db->Run("SELECT email, password_hash, nickname FROM accounts WHERE email = $1", {email});
    if (!result.ok || result.rows.empty()) return std::nullopt;
    const SqlRow& row = result.rows.front();
    return StoredAccount{row[0], row[1], row[2]};
  }

  TaskAddOutcome AddTask(const std::string& email, const std::string& url, const std::string& name,
                         const std::string& record, long mostTasks) override {
    // The count and the insert are one statement: no add of this server
    // slips between them.
    const std::string most =
        std::to_string(mostTasks < 0 ? std::numeric_limits<std::int64_t>::max() : mostTasks);
    SqlResult result = m_db->Run(
        "INSERT INTO tasks (email, url, name, record) SELECT CAST($1 AS TEXT), CAST($2 AS TEXT), "
        "CAST($3 AS TEXT), CAST($4 AS TEXT) WHERE (SELECT COUNT(*) FROM tasks WHERE email = $1) < "
        "CAST($5 AS BIGINT) ON CONFLICT (email, url) DO NOTHING",
        {email, url, name, record, most});
    if (!result.ok) return TaskAddOutcome::kFailed;
    if (result.changes == 0) {
      SqlResult there =
          m_db->Run("SELECT 1 FROM tasks WHERE email = $1 AND url = $2", {email, url});
      if (!there.ok) return TaskAddOutcome::kFailed;
      return there.rows.empty() ? TaskAddOutcome::kAccountFull : TaskAddOutcome::kAlreadyThere;
    }
    // A failure here is mended by the next SyncSchedule.
    m_db->Run(
        "INSERT INTO schedule (url, ready_at, holder) VALUES ($1, 0, '') "
        "ON CONFLICT (url) DO NOTHING",
        {url});
    return TaskAddOutcome::kAdded;
  }

  bool DeleteTask(const std::string& email, const std::string& url) override {
    SqlResult result = m_db->Run("DELETE FROM tasks WHERE email = $1 AND url = $2", {email, url});
    return result.ok && result.changes > 0;
  }

  std::optional<std::vector<NumberedRecord>> TaskRecordsAfter(const std::string& email,
                                                              std::int64_t afterId,
                                                              int most) override {
    SqlResult result = m_db->Run(
        "SELECT id, record FROM tasks WHERE email = $1 AND id > CAST($2 AS BIGINT) ORDER BY id "
        "LIMIT CAST($3 AS INTEGER)",
        {email, std::to_string(afterId), std::to_string(most)});
    if (!result.ok) return std::nullopt;
    std::vector<NumberedRecord> records;
    for (SqlRow& row : result.rows) records.push_back({ToInt64(row[0]), std::move(row[1])});
    return records;
  }

  std::vector<std::string> HeldUrls() override {
    return Column(m_db->Run("SELECT DISTINCT url FROM tasks ORDER BY url"));
  }

  std::string HeldName(const std::string& url) override {
    std::vector<std::string> names =
        Column(m_db->Run("SELECT name FROM tasks WHERE url = $1 ORDER BY id LIMIT 1", {url}));
    return names.empty() ? std::string() : names.front();
  }

  bool SaveProduct(const StoredProduct& product) override {
    return m_db
        ->Run(
            "INSERT INTO products (url, name, site, price, stock) VALUES ($1, $2, $3, $4, $5) "
            "ON CONFLICT (url) DO UPDATE SET name = excluded.name, site = excluded.site, "
            "price = excluded.price, stock = excluded.stock",
            {product.url, product.name, product.site, product.price, std::to_string(product.stock)})
        .ok;
  }

  std::optional<StoredProduct> FindProduct(const std::string& url) override {
    std::vector<StoredProduct> found =
        ProductsOf(m_db->Run(std::string(kProductColumns) + " WHERE url = $1", {url}));
    if (found.empty()) return std::nullopt;
    return found.front();
  }

  std::vector<StoredProduct> Products() override { return ProductsOf(m_db->Run(kProductColumns)); }

  bool AddLoginFailure(const std::string& key, std::int64_t time,
                       std::int64_t forgetBefore) override {
    m_db->Run("DELETE FROM login_failures WHERE time < $1", {std::to_string(forgetBefore)});
    return m_db
        ->Run("INSERT INTO login_failures (who, time) VALUES ($1, $2)", {key, std::to_string(time)})
        .ok;
  }

  AccountLookup LookUpAccount(const std::string& email,
                              const std::vector<FailureQuery>& queries) override {
    // The account's row tagged "a", each query's counts tagged with its
    // number, so that one round trip to the database serves all.
    std::string sql = "SELECT 'a', email, password_hash, nickname FROM accounts WHERE email = $1";
    std::vector<std::string> params = {email};
    for (size_t q = 0; q < queries.size(); ++q) {
      const std::string who = "$" + std::to_string(params.size() + 1);
      const std::string since = "$" + std::to_string(params.size() + 2);
      sql += " UNION ALL SELECT '" + std::to_string(q) +
             "', CAST(COUNT(*) AS TEXT), CAST(MIN(time) AS TEXT), CAST(MAX(time) AS TEXT) "
             "FROM login_failures WHERE who = " +
             who + " AND time >= " + since;
      params.push_back(queries[q].key);
      params.push_back(std::to_string(queries[q].since));
    }
    const SqlResult result = m_db->Run(sql, params);
    AccountLookup lookup;
    lookup.failures.resize(queries.size());
    for (const SqlRow& row : result.rows) {
      if (row[0] == "a") {
        lookup.account = StoredAccount{row[1], row[2], row[3]};
        continue;
      }
      const size_t q = static_cast<size_t>(ToInt64(row[0]));
      if (q < queries.size())
        lookup.failures[q] = {static_cast<int>(ToInt64(row[1])), ToInt64(row[2]), ToInt64(row[3])};
    }
    return lookup;
  }

  bool ForgetLoginFailures(const std::string& key) override {
    return m_db->Run("DELETE FROM login_failures WHERE who = $1", {key}).ok;
  }

  bool AddPricePoint(const std::string& url, const PricePoint& point) override {
    return m_db
        ->Run("INSERT INTO points (url, time, price) VALUES ($1, $2, $3)",
              {url, std::to_string(point.time), point.price})
        .ok;
  }

  std::vector<PricePoint> PricePoints(const std::string& url, int most) override {
    return Points(
        m_db->Run("SELECT time, price FROM (SELECT time, price FROM points WHERE url = $1 "
                  "ORDER BY time DESC LIMIT CAST($2 AS INTEGER)) AS newest ORDER BY time",
                  {url, std::to_string(most)}));
  }

  std::vector<std::string> ClaimDue(const std::string& holder, std::int64_t now,
                                    std::int64_t leaseUntil, int most) override {
    return Column(m_db->Run(
        "UPDATE schedule SET ready_at = CAST($3 AS BIGINT), holder = $1 WHERE url IN (SELECT url "
        "FROM schedule WHERE ready_at <= CAST($2 AS BIGINT) AND EXISTS (SELECT 1 FROM tasks "
        "WHERE tasks.url = schedule.url) ORDER BY ready_at LIMIT CAST($4 AS INTEGER)" +
            std::string(m_db->SkipLockedRows()) + ") RETURNING url",
        {holder, std::to_string(now), std::to_string(leaseUntil), std::to_string(most)}));
  }

  bool FinishVisit(const std::string& url, const std::string& holder,
                   std::int64_t nextDue) override {
    const SqlResult result = m_db->Run(
        "UPDATE schedule SET ready_at = CAST($3 AS BIGINT), holder = '' WHERE url = $1 AND "
        "holder = $2",
        {url, holder, std::to_string(nextDue)});
    return result.ok && result.changes > 0;
  }

  bool RenewLeases(const std::string& holder, std::int64_t leaseUntil) override {
    return !holder.empty() &&
           m_db->Run("UPDATE schedule SET ready_at = CAST($2 AS BIGINT) WHERE holder = $1",
                     {holder, std::to_string(leaseUntil)})
               .ok;
  }

  bool ReleaseLeases(const std::string& holder, std::int64_t due) override {
    return !holder.empty() &&
           m_db->Run(
                   "UPDATE schedule SET ready_at = CAST($2 AS BIGINT), holder = '' WHERE "
                   "holder = $1",
                   {holder, std::to_string(due)})
               .ok;
  }

  bool SyncSchedule() override {
    // "WHERE true" keeps SQLite from reading ON CONFLICT as a join.
    return m_db->Run(
                   "INSERT INTO schedule (url, ready_at, holder) SELECT DISTINCT url, 0, '' "
                   "FROM tasks WHERE true ON CONFLICT (url) DO NOTHING")
               .ok &&
           m_db->Run(
                   "DELETE FROM schedule WHERE holder = '' AND NOT EXISTS (SELECT 1 FROM "
                   "tasks WHERE tasks.url = schedule.url)")
               .ok;
  }

  std::optional<PricePoint> LastPricePoint(const std::string& url) override {
    std::vector<PricePoint> points = Points(m_db->Run(
        "SELECT time, price FROM points WHERE url = $1 ORDER BY time DESC LIMIT 1", {url}));
    if (points.empty()) return std::nullopt;
    return points.front();
  }

 private:
  static constexpr const char* kProductColumns =
      "SELECT url, name, site, price, stock FROM products";

  static std::vector<std::string> Column(const SqlResult& result) {
    std::vector<std::string> values;
    for (const SqlRow& row : result.rows) values.push_back(row.at(0));
    return values;
  }
  static std::vector<StoredProduct> ProductsOf(const SqlResult& result) {
    std::vector<StoredProduct> products;
    for (const SqlRow& row : result.rows)
      products.push_back({row[0], row[1], row[2], row[3], static_cast<int>(ToInt64(row[4]))});
    return products;
  }
  static std::vector<PricePoint> Points(const SqlResult& result) {
    std::vector<PricePoint> points;
    for (const SqlRow& row : result.rows) points.push_back({ToInt64(row[0]), row[1]});
    return points;
  }

  std::unique_ptr<CSqlDatabase> m_db;
};

bool IsPostgresAddress(const std::string& database) {
  return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

}  // namespace

std::vector<std::string> CServerStore::TaskRecords(const std::string& email) {
  std::vector<std::string> records;
  std::int64_t after = 0;
  for (;;) {
    std::optional<std::vector<NumberedRecord>> page = TaskRecordsAfter(email, after, 1000);
    if (!page || page->empty()) return records;
    after = page->back().id;
    for (NumberedRecord& numbered : *page) records.push_back(std::move(numbered.record));
  }
}

CServerStore::AccountLookup CServerStore::LookUpAccount(const std::string& email,
                                                        const std::vector<std::string>& keys,
                                                        std::int64_t since) {
  std::vector<FailureQuery> queries;
  for (const std::string& key : keys) queries.push_back({key, since});
  return LookUpAccount(email, queries);
}

std::unique_ptr<CServerStore> OpenServerStore(const std::string& database, std::string& error,
                                              int connections) {
  std::unique_ptr<CSqlDatabase> sql =
      IsPostgresAddress(database)
          ? OpenPostgresDatabase(database, std::clamp(connections, 1, kMostPostgresConnections),
                                 error)
          : OpenSqliteDatabase(database, error);
  if (!sql) return nullptr;
  return std::make_unique<CSqlStore>(std::move(sql));
}
