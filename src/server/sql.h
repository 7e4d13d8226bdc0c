#pragma once

#include <memory>
#include <string>
#include <vector>

// The little that the store needs of an SQL database. Statements are written
// once for both back ends: parameters are $1, $2 ... (PostgreSQL's form,
// which SQLite reads as named parameters), values are passed as text, and
// only syntax both understand is used (ON CONFLICT DO NOTHING / DO UPDATE,
// RETURNING), but for the row locks that only PostgreSQL has.

using SqlRow = std::vector<std::string>;

struct SqlResult {
  bool ok = false;
  long changes = 0;  // rows inserted, updated or deleted
  std::vector<SqlRow> rows;
  std::string error;
};

class CSqlDatabase {
 public:
  virtual ~CSqlDatabase() = default;
  // Runs one statement. Safe to call from any number of threads.
  virtual SqlResult Run(const std::string& sql, const std::vector<std::string>& params = {}) = 0;
  // Appended to a SELECT whose rows the statement then changes, so that
  // concurrent statements each take rows no other has taken: PostgreSQL's
  // "FOR UPDATE SKIP LOCKED". SQLite runs one writer at a time and needs
  // none.
  virtual const char* SkipLockedRows() const { return ""; }
};

// Both open the database and make the server's tables when they are missing.
std::unique_ptr<CSqlDatabase> OpenSqliteDatabase(const std::string& path, std::string& error);
// `conninfo` is a libpq connection string or URI; `connections` is the size
// of the pool that concurrent requests share.
std::unique_ptr<CSqlDatabase> OpenPostgresDatabase(const std::string& conninfo, int connections,
                                                   std::string& error);

// The tables, for a back end's spelling of an auto-numbered key.
std::vector<std::string> SchemaStatements(const std::string& autoKey);
