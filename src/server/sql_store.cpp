// The store on an SQL database; the same statements serve both back ends.
#include <algorithm>
#include <cstdlib>

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
                         const std::string& record) override {
    SqlResult result = m_db->Run(
        "INSERT INTO tasks (email, url, name, record) VALUES ($1, $2, $3, $4) "
        "ON CONFLICT (email, url) DO NOTHING",
        {email, url, name, record});
    if (!result.ok) return TaskAddOutcome::kFailed;
    return result.changes == 1 ? TaskAddOutcome::kAdded : TaskAddOutcome::kAlreadyThere;
  }

  bool DeleteTask(const std::string& email, const std::string& url) override {
    SqlResult result = m_db->Run("DELETE FROM tasks WHERE email = $1 AND url = $2", {email, url});
    return result.ok && result.changes > 0;
  }

  std::vector<std::string> TaskRecords(const std::string& email) override {
    return Column(m_db->Run("SELECT record FROM tasks WHERE email = $1 ORDER BY id", {email}));
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

  AccountLookup LookUpAccount(const std::string& email, const std::vector<std::string>& keys,
                              std::int64_t since) override {
    // Rows tagged "a" (the account) and "f" (a key's count), so that one
    // round trip to the database serves both.
    std::string sql =
        "SELECT 'a', email, password_hash, nickname FROM accounts WHERE email = $1 UNION ALL "
        "SELECT 'f', who, CAST(COUNT(*) AS TEXT), CAST(MIN(time) AS TEXT) FROM login_failures "
        "WHERE time >= $2 AND who IN (";
    std::vector<std::string> params = {email, std::to_string(since)};
    for (size_t k = 0; k < keys.size(); ++k) {
      sql += (k ? ", $" : "$") + std::to_string(k + 3);
      params.push_back(keys[k]);
    }
    if (keys.empty()) sql += "NULL";
    const SqlResult result = m_db->Run(sql + ") GROUP BY who", params);
    AccountLookup lookup;
    lookup.failures.resize(keys.size());
    for (const SqlRow& row : result.rows) {
      if (row[0] == "a") lookup.account = StoredAccount{row[1], row[2], row[3]};
      for (size_t k = 0; row[0] == "f" && k < keys.size(); ++k)
        if (row[1] == keys[k])
          lookup.failures[k] = {static_cast<int>(ToInt64(row[2])), ToInt64(row[3])};
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

  std::vector<PricePoint> PricePoints(const std::string& url) override {
    return Points(m_db->Run("SELECT time, price FROM points WHERE url = $1 ORDER BY time", {url}));
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
