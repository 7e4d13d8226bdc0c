// PostgreSQL through libpq: a few connections, each preparing a statement
// the first time it runs it. Requests queue for a connection, and whatever
// waits for one goes to the database together, pipelined. A connection that
// broke is reset once before giving up.
#include <libpq-fe.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
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

// A statement a request thread waits on, with its result once run.
struct Pending {
  const std::string& sql;
  const std::vector<std::string>& params;
  SqlResult result;
  bool done = false;
};

// Parameters of one statement as libpq takes them.
struct Values {
  explicit Values(const std::vector<std::string>& params) {
    for (const std::string& param : params) {
      pointers.push_back(param.c_str());
      lengths.push_back(static_cast<int>(param.size()));
    }
  }
  int Count() const { return static_cast<int>(pointers.size()); }
  std::vector<const char*> pointers;
  std::vector<int> lengths;
};

// One connection with the statements it has prepared, by their text. The
// store runs a handful of fixed statements, so each is parsed and planned
// once per connection instead of once per request.
struct Connection {
  PGconn* pg = nullptr;
  std::unordered_map<std::string, std::string> prepared;

  // The statement's name, preparing it first when it is new; "" with
  // `failure` set when it can't be prepared.
  std::string Prepared(const std::string& sql, int count, SqlResult& failure) {
    auto known = prepared.find(sql);
    if (known != prepared.end()) return known->second;
    const std::string name = "s" + std::to_string(prepared.size() + 1);
    failure = ResultOf(pg, PQprepare(pg, name.c_str(), sql.c_str(), count, nullptr));
    if (!failure.ok) return std::string();
    return prepared.emplace(sql, name).first->second;
  }

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) {
    Values values(params);
    SqlResult failure;
    const std::string name = Prepared(sql, values.Count(), failure);
    if (name.empty()) return failure;
    return ResultOf(pg, PQexecPrepared(pg, name.c_str(), values.Count(), values.pointers.data(),
                                       values.lengths.data(), nullptr, 0));
  }

  // Runs several waiting statements in one exchange with the server: each is
  // sent in pipeline mode with a sync point of its own, so each is still its
  // own transaction and one failing leaves the others alone.
  void RunBatch(const std::vector<Pending*>& batch) {
    std::vector<std::string> names;
    for (Pending* pending : batch) {
      names.push_back(
          Prepared(pending->sql, static_cast<int>(pending->params.size()), pending->result));
    }
    if (batch.size() == 1 || PQenterPipelineMode(pg) != 1) {
      for (size_t i = 0; i < batch.size(); ++i)
        if (!names[i].empty()) batch[i]->result = Run(batch[i]->sql, batch[i]->params);
      return;
    }
    std::vector<Pending*> sent;
    for (size_t i = 0; i < batch.size(); ++i) {
      if (names[i].empty()) continue;
      Values values(batch[i]->params);
      if (PQsendQueryPrepared(pg, names[i].c_str(), values.Count(), values.pointers.data(),
                              values.lengths.data(), nullptr, 0) != 1 ||
          PQpipelineSync(pg) != 1) {
        for (size_t unsent = i; unsent < batch.size(); ++unsent)
          batch[unsent]->result.error = PQerrorMessage(pg);
        break;
      }
      sent.push_back(batch[i]);
    }
    // Each statement's results end with a null, then comes its sync point.
    for (Pending* pending : sent) {
      PGresult* first = PQgetResult(pg);
      pending->result = ResultOf(pg, first);
      if (first)
        while (PGresult* more = PQgetResult(pg)) PQclear(more);
      PQclear(PQgetResult(pg));
    }
    // A connection left out of step with its server is started afresh.
    if (PQexitPipelineMode(pg) != 1) Reset();
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

// A connection and the statements waiting for it. The first waiting thread
// to find it free runs the statements waiting at that moment in one batch:
// under load the database is then woken once for several requests.
struct Lane {
  Connection connection;
  std::mutex lock;
  std::condition_variable finished;
  std::deque<Pending*> waiting;
  bool running = false;
  std::atomic<int> load{0};  // statements waiting or running
};

// Parameters sent in one batch, at most: the database reads them while its
// replies wait to be read, so they must fit in its socket's buffer.
constexpr size_t kBatchParameterBytes = 32 * 1024;

class CPostgresDatabase : public CSqlDatabase {
 public:
  explicit CPostgresDatabase(std::vector<PGconn*> connections) : m_lanes(connections.size()) {
    for (size_t i = 0; i < connections.size(); ++i) m_lanes[i].connection.pg = connections[i];
  }
  ~CPostgresDatabase() override {
    for (Lane& lane : m_lanes) PQfinish(lane.connection.pg);
  }

  const char* SkipLockedRows() const override { return " FOR UPDATE SKIP LOCKED"; }

  SqlResult Run(const std::string& sql, const std::vector<std::string>& params) override {
    Lane& lane = LeastLoaded();
    Pending mine{sql, params, {}, false};
    std::unique_lock lock(lane.lock);
    lane.waiting.push_back(&mine);
    while (!mine.done) {
      if (lane.running) {
        lane.finished.wait(lock);
        continue;
      }
      const std::vector<Pending*> batch = TakeBatch(lane.waiting);
      lane.running = true;
      lock.unlock();
      RunOnLane(lane.connection, batch);
      lock.lock();
      lane.running = false;
      for (Pending* pending : batch) pending->done = true;
      lane.finished.notify_all();
    }
    lane.load.fetch_sub(1, std::memory_order_relaxed);
    return std::move(mine.result);
  }

 private:
  Lane& LeastLoaded() {
    Lane* best = &m_lanes.front();
    for (Lane& lane : m_lanes)
      if (lane.load.load(std::memory_order_relaxed) < best->load.load(std::memory_order_relaxed))
        best = &lane;
    best->load.fetch_add(1, std::memory_order_relaxed);
    return *best;
  }

  // The oldest waiting statements, up to the parameter budget (at least one).
  static std::vector<Pending*> TakeBatch(std::deque<Pending*>& waiting) {
    std::vector<Pending*> batch;
    size_t bytes = 0;
    while (!waiting.empty()) {
      size_t size = 0;
      for (const std::string& param : waiting.front()->params) size += param.size();
      if (!batch.empty() && bytes + size > kBatchParameterBytes) break;
      bytes += size;
      batch.push_back(waiting.front());
      waiting.pop_front();
    }
    return batch;
  }

  // A connection that broke is reset once, and what failed runs again.
  static void RunOnLane(Connection& connection, const std::vector<Pending*>& batch) {
    connection.RunBatch(batch);
    if (PQstatus(connection.pg) == CONNECTION_OK || !connection.Reset()) return;
    for (Pending* pending : batch)
      if (!pending->result.ok) pending->result = connection.Run(pending->sql, pending->params);
  }

  std::vector<Lane> m_lanes;  // never resized after construction
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
