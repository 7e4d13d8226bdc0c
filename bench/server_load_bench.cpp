// The server under 200 clients x 50 mixed requests, as separate processes:
// one on SQLite, one on PostgreSQL and two on one PostgreSQL database, in
// the same run and several rounds (the figures are noisy). Prints p50, p99,
// errors and throughput of each, and the ratios PostgreSQL/SQLite (p99) and
// two servers/one (throughput).
// Usage: server_load_bench [ROUNDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "server/load_mix.h"
#include "server/server_fixture.h"
#include "server/server_process.h"
#include "server_program.h"
#include "support/tempdir.h"

namespace {

// Task links of the warm-up never meet those of a measured round.
constexpr int kWarmUpRound = 1000;
constexpr int kWarmUpRequests = 8;

// A database with the load's accounts and products, then the servers on it.
LoadFigures Measure(const std::string& database, int servers, int round) {
  {
    std::string error;
    std::unique_ptr<CServerStore> store = OpenServerStore(database, error);
    CPasswordHasher hasher(CPasswordHasher::Cost::kMinimum);
    if (!store || !SeedLoadData(*store, hasher)) {
      std::fprintf(stderr, "can't prepare %s: %s\n", database.c_str(), error.c_str());
      return {};
    }
  }
  TempDir update;
  update.Write("update.ini", kLoadUpdateIni);
  std::vector<std::unique_ptr<TempDir>> data;
  std::vector<std::unique_ptr<ServerProcess>> processes;
  std::vector<int> ports;
  for (int s = 0; s < servers; ++s) {
    data.push_back(std::make_unique<TempDir>());
    processes.push_back(std::make_unique<ServerProcess>(
        BuiltServerProgram(),
        std::vector<std::string>{"--database", database, "--data", data.back()->Path(),
                                 "--update-folder", update.Path(), "--password-cost", "minimum",
                                 "--track-minutes", s == 0 ? "60" : "0"}));
    if (processes.back()->Port() <= 0) {
      std::fprintf(stderr, "the server did not start: %s\n", processes.back()->Output().c_str());
      return {};
    }
    ports.push_back(processes.back()->Port());
  }
  // Every server's connections, caches and prepared statements are warmed
  // first: the figures are those of a server that has been running.
  RunLoad(ports, kWarmUpRound + round, kWarmUpRequests);
  return RunLoad(ports, round);
}

void Print(const char* what, const LoadFigures& f) {
  std::printf("  %-22s %6d requests %4d errors %7.0f/s  p50 %7.2f ms  p99 %8.2f ms\n", what,
              f.requests, f.errors, f.PerSecond(), f.p50, f.p99);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  TempDir home(true);
  PostgresCluster& cluster = PostgresCluster::Get();
  if (!cluster.Running()) {
    std::fprintf(stderr, "PostgreSQL could not be started: %s\n", cluster.Problem().c_str());
    return 1;
  }
  std::vector<double> p99Ratios, throughputRatios;
  for (int round = 0; round < rounds; ++round) {
    std::printf("round %d\n", round + 1);
    TempDir sqlite;
    const LoadFigures lite = Measure(sqlite.File("vantrel.db"), 1, round);
    Print("SQLite, one server", lite);
    const LoadFigures pg = Measure(cluster.NewDatabase(), 1, round);
    Print("PostgreSQL, one server", pg);
    const LoadFigures two = Measure(cluster.NewDatabase(), 2, round);
    Print("PostgreSQL, two servers", two);
    if (lite.p99 > 0 && pg.PerSecond() > 0) {
      p99Ratios.push_back(pg.p99 / lite.p99);
      throughputRatios.push_back(two.PerSecond() / pg.PerSecond());
      std::printf("  p99 PostgreSQL/SQLite %.2f, throughput two/one servers %.2f\n",
                  p99Ratios.back(), throughputRatios.back());
    }
  }
  std::printf(
      "median of %d rounds: p99 PostgreSQL/SQLite %.2f (target <= 1.5), throughput "
      "two/one servers %.2f\n",
      rounds, Median(p99Ratios), Median(throughputRatios));
  return 0;
}
