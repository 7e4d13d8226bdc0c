// PostgreSQL through libpq: a fixed pool of connections, one per request
// worker, each preparing a statement the first time it runs it; a request
// waits for a free connection. A connection that broke is reset once before
// giving up.
#include <libpq-fe.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "server/sql.h"

namespace {

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

SqlResult ResultOf(PGconn* connection, PGresult* raw) {
  ResultPtr result(raw);
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

// One connection with the statements it has prepared, by their text. The
// store runs a handful of fixed statements, so each is parsed and planned
// once per connection instead of once per request.
struct Connection {
  PGconn* pg = nullptr;
  std::unordered_map<std::string, std::string> prepared;

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::string& param : params) {
      values.push_back(param.c_str());
      lengths.push_back(static_cast<int>(param.size()));
    }
    const int count = static_cast<int>(params.size());
    auto known = prepared.find(sql);
    if (known == prepared.end()) {
      const std::string name = "s" + std::to_string(prepared.size() + 1);
      SqlResult made = ResultOf(pg, PQprepare(pg, name.c_str(), sql.c_str(), count, nullptr));
      if (!made.ok) return made;
      known = prepared.emplace(sql, name).first;
    }
    return ResultOf(pg, PQexecPrepared(pg, known->second.c_str(), count, values.data(),
                                       lengths.data(), nullptr, 0));
  }

  // Statements without parameters that run once (the schema).
  SqlResult RunOnce(const std::string& sql) { return ResultOf(pg, PQexec(pg, sql.c_str())); }

  // A reset connection is a new session: its prepared statements are gone.
  bool Reset() {
    PQreset(pg);
    prepared.clear();
    return PQstatus(pg) == CONNECTION_OK;
  }
};

class CPostgresDatabase : public CSqlDatabase {
 public:
  explicit CPostgresDatabase(std::vector<PGconn*> connections) {
    m_all.reserve(connections.size());
    for (PGconn* pg : connections) m_all.push_back(Connection{pg, {}});
    for (Connection& connection : m_all) m_free.push_back(&connection);
  }
  ~CPostgresDatabase() override {
    for (Connection& connection : m_all) PQfinish(connection.pg);
  }

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) override {
    Connection* connection = Acquire();
    SqlResult result = connection->Run(sql, params);
    if (!result.ok && PQstatus(connection->pg) != CONNECTION_OK && connection->Reset())
      result = connection->Run(sql, params);
    Release(connection);
    return result;
  }

 private:
  Connection* Acquire() {
    std::unique_lock lock(m_lock);
    m_available.wait(lock, [&] { return !m_free.empty(); });
    Connection* connection = m_free.back();
    m_free.pop_back();
    return connection;
  }
  void Release(Connection* connection) {
    {
      std::lock_guard lock(m_lock);
      m_free.push_back(connection);
    }
    m_available.notify_one();
  }

  std::mutex m_lock;
  std::condition_variable m_available;
  std::vector<Connection*> m_free;
  std::vector<Connection> m_all;  // never resized after construction
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
  Connection first{pool.front(), {}};
  for (const std::string& sql : setup) {
    SqlResult result = first.RunOnce(sql);
    if (!result.ok) return fail(result.error);
  }
  first.RunOnce("SELECT pg_advisory_unlock(76528)");
  return std::make_unique<CPostgresDatabase>(std::move(pool));
}
