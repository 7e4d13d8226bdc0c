// SQLite: one connection shared under a lock, prepared statements kept.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "server/sql.h"

namespace {

class CSqliteDatabase : public CSqlDatabase {
 public:
  explicit CSqliteDatabase(sqlite3* db) : m_db(db) {}
  ~CSqliteDatabase() override {
    for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
    sqlite3_close_v2(m_db);
  }

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) override {
    std::lock_guard lock(m_lock);
    SqlResult result;
    sqlite3_stmt* statement = Prepared(sql, result.error);
    if (!statement) return result;
    for (size_t i = 0; i < params.size(); ++i) {
      int index = sqlite3_bind_parameter_index(statement, ("$" + std::to_string(i + 1)).c_str());
      if (index > 0)
        sqlite3_bind_text(statement, index, params[i].data(), static_cast<int>(params[i].size()),
                          SQLITE_TRANSIENT);
    }
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      SqlRow row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const unsigned char* text = sqlite3_column_text(statement, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                         text ? sqlite3_column_bytes(statement, c) : 0);
      }
      result.rows.push_back(std::move(row));
    }
    result.ok = step == SQLITE_DONE;
    if (!result.ok) result.error = sqlite3_errmsg(m_db);
    result.changes = result.ok ? sqlite3_changes(m_db) : 0;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return result;
  }

 private:
  sqlite3_stmt* Prepared(const std::string& sql, std::string& error) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) return found->second;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) !=
        SQLITE_OK) {
      error = sqlite3_errmsg(m_db);
      return nullptr;
    }
    m_statements.emplace(sql, statement);
    return statement;
  }

  std::mutex m_lock;
  sqlite3* m_db;
  std::map<std::string, sqlite3_stmt*> m_statements;
};

}  // namespace

std::unique_ptr<CSqlDatabase> OpenSqliteDatabase(const std::string& path, std::string& error) {
  // A new database holds password hashes: made readable by its owner only.
  // SQLite gives its -wal and -shm files the database's mode, and a file the
  // operator made keeps the mode it has.
  const int made = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (made >= 0) close(made);
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    return nullptr;
  }
  // Another process on the same file waits rather than failing at once.
  sqlite3_busy_timeout(db, 5000);
  auto database = std::make_unique<CSqliteDatabase>(db);
  std::vector<std::string> setup = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"};
  for (const std::string& sql : SchemaStatements("INTEGER PRIMARY KEY AUTOINCREMENT"))
    setup.push_back(sql);
  for (const std::string& sql : setup) {
    SqlResult result = database->Run(sql, {});
    if (!result.ok) {
      error = path + ": " + result.error;
      return nullptr;
    }
  }
  return database;
}
