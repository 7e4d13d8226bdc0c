// PostgreSQL through libpq: a fixed pool of connections; a request waits for
// a free one. A connection that broke is reset once before giving up.
#include <libpq-fe.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "server/sql.h"

namespace {

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

SqlResult RunOn(PGconn* connection, const std::string& sql,
                const std::vector<std::string>& params) {
  std::vector<const char*> values;
  std::vector<int> lengths;
  for (const std::string& param : params) {
    values.push_back(param.c_str());
    lengths.push_back(static_cast<int>(param.size()));
  }
  ResultPtr result(PQexecParams(connection, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                values.data(), lengths.data(), nullptr, 0));
  SqlResult out;
  ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK) {
    out.ok = true;
    out.changes = std::atol(PQcmdTuples(result.get()));
  } else if (status == PGRES_TUPLES_OK) {
    out.ok = true;
    int rows = PQntuples(result.get());
    int columns = PQnfields(result.get());
    for (int r = 0; r < rows; ++r) {
      SqlRow row;
      for (int c = 0; c < columns; ++c)
        row.emplace_back(PQgetvalue(result.get(), r, c), PQgetlength(result.get(), r, c));
      out.rows.push_back(std::move(row));
    }
  } else {
    out.error = result ? PQresultErrorMessage(result.get()) : PQerrorMessage(connection);
  }
  return out;
}

class CPostgresDatabase : public CSqlDatabase {
 public:
  explicit CPostgresDatabase(std::vector<PGconn*> connections) : m_free(std::move(connections)) {
    m_all = m_free;
  }
  ~CPostgresDatabase() override {
    for (PGconn* connection : m_all) PQfinish(connection);
  }

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) override {
    PGconn* connection = Acquire();
    SqlResult result = RunOn(connection, sql, params);
    if (!result.ok && PQstatus(connection) != CONNECTION_OK) {
      PQreset(connection);
      if (PQstatus(connection) == CONNECTION_OK) result = RunOn(connection, sql, params);
    }
    Release(connection);
    return result;
  }

 private:
  PGconn* Acquire() {
    std::unique_lock lock(m_lock);
    m_available.wait(lock, [&] { return !m_free.empty(); });
    PGconn* connection = m_free.back();
    m_free.pop_back();
    return connection;
  }
  void Release(PGconn* connection) {
    {
      std::lock_guard lock(m_lock);
      m_free.push_back(connection);
    }
    m_available.notify_one();
  }

  std::mutex m_lock;
  std::condition_variable m_available;
  std::vector<PGconn*> m_free;
  std::vector<PGconn*> m_all;
};

// Silences the server's notices ("relation already exists, skipping").
void IgnoreNotice(void*, const char*) {}

}  // namespace

std::unique_ptr<CSqlDatabase> OpenPostgresDatabase(const std::string& conninfo, int connections,
                                                   std::string& error) {
  std::vector<PGconn*> pool;
  auto fail = [&](const std::string& message) {
    error = message;
    for (PGconn* connection : pool) PQfinish(connection);
    return nullptr;
  };
  for (int i = 0; i < std::max(1, connections); ++i) {
    PGconn* connection = PQconnectdb(conninfo.c_str());
    if (!connection) return fail("out of memory");
    pool.push_back(connection);
    if (PQstatus(connection) != CONNECTION_OK) return fail(PQerrorMessage(connection));
    PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
  }
  // Servers that start together must not make the tables at the same time.
  std::vector<std::string> setup = {"SELECT pg_advisory_lock(76528)"};
  for (const std::string& sql : SchemaStatements("BIGSERIAL PRIMARY KEY")) setup.push_back(sql);
  for (const std::string& sql : setup) {
    SqlResult result = RunOn(pool.front(), sql, {});
    if (!result.ok) return fail(result.error);
  }
  RunOn(pool.front(), "SELECT pg_advisory_unlock(76528)", {});
  return std::make_unique<CPostgresDatabase>(std::move(pool));
}
