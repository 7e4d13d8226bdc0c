#pragma once

// What the server tests share: a store of either back end, and a PostgreSQL
// cluster of the test program's own. The cluster is made with initdb and
// pg_ctl from Debian's package in a temporary folder, listening on 127.0.0.1
// and a free port; PostgreSQL refuses to run as root, so under root it runs
// as "nobody". When it can't be started, every PostgreSQL test fails with
// the reason: both back ends must be proven.

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "server/store.h"
#include "support/tempdir.h"

enum class Backend { kSqlite, kPostgres };

inline std::string BackendName(const testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
}

class PostgresCluster {
 public:
  // The one cluster of this test program, started at first use.
  static PostgresCluster& Get() {
    static PostgresCluster cluster;
    return cluster;
  }

  bool Running() const { return m_running; }
  const std::string& Problem() const { return m_problem; }

  // A fresh, empty database on the cluster: its URI, or "" (see Problem).
  std::string NewDatabase() {
    if (!m_running) return std::string();
    static std::atomic<int> counter{0};
    const std::string name = "test_" + std::to_string(++counter);
    PGconn* admin = PQconnectdb(Uri("postgres").c_str());
    std::string error;
    if (PQstatus(admin) == CONNECTION_OK) {
      PGresult* result = PQexec(admin, ("CREATE DATABASE " + name).c_str());
      if (PQresultStatus(result) != PGRES_COMMAND_OK) error = PQresultErrorMessage(result);
      PQclear(result);
    } else {
      error = PQerrorMessage(admin);
    }
    PQfinish(admin);
    if (!error.empty()) {
      m_problem = "CREATE DATABASE failed: " + error;
      return std::string();
    }
    return Uri(name);
  }

  std::string Uri(const std::string& database) const {
    return "postgresql://postgres@127.0.0.1:" + std::to_string(m_port) + "/" + database;
  }

  ~PostgresCluster() {
    if (m_running) Run("pg_ctl -D '" + m_folder + "data' -m immediate -w stop >/dev/null 2>&1");
    if (!m_folder.empty()) {
      std::error_code code;
      std::filesystem::remove_all(m_folder, code);
    }
  }

 private:
  PostgresCluster() { Start(); }

  static int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port = ntohs(address.sin_port);
    close(s);
    return port;
  }

  // The newest installed PostgreSQL's programs.
  static std::string BinFolder() {
    std::string best;
    int bestVersion = -1;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", code)) {
      const int version = std::atoi(entry.path().filename().c_str());
      const std::string bin = entry.path().string() + "/bin/";
      if (version > bestVersion && std::filesystem::exists(bin + "initdb")) {
        best = bin;
        bestVersion = version;
      }
    }
    return best;
  }

  // Runs a PostgreSQL program (its name first in `command`) as the user that
  // owns the cluster.
  int Run(const std::string& command) const {
    std::string line = "cd '" + m_folder + "' && ";
    if (geteuid() == 0) line += "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    return std::system((line + m_bin + command).c_str());
  }

  void Start() {
    m_bin = BinFolder();
    if (m_bin.empty()) {
      m_problem = "no PostgreSQL under /usr/lib/postgresql (package postgresql; scripts/setup)";
      return;
    }
    char folder[] = "/tmp/vantrel-pg-XXXXXX";
    if (!mkdtemp(folder)) {
      m_problem = "mkdtemp failed";
      return;
    }
    m_folder = std::string(folder) + "/";
    if (geteuid() == 0) {
      passwd* nobody = getpwnam("nobody");
      if (!nobody || chown(folder, nobody->pw_uid, nobody->pw_gid) != 0) {
        m_problem = "can't hand " + m_folder + " to user nobody";
        return;
      }
    }
    m_port = FreePort();
    // The shell (root) writes initdb's output; the server (nobody) its own log.
    const std::string initLog = m_folder + "initdb.log";
    const std::string log = m_folder + "server.log";
    if (Run("initdb -D '" + m_folder + "data' -U postgres --auth=trust -E UTF8 --locale=C >'" +
            initLog + "' 2>&1") != 0) {
      m_problem = "initdb failed: " + Tail(initLog);
      return;
    }
    const std::string settings = "-c listen_addresses=127.0.0.1 -p " + std::to_string(m_port) +
                                 " -k '" + m_folder + "' -c fsync=off -c max_connections=200";
    if (Run("pg_ctl -D '" + m_folder + "data' -o \"" + settings + "\" -w -t 60 -l '" + log +
            "' start >/dev/null 2>&1") != 0) {
      m_problem = "pg_ctl start failed: " + Tail(log);
      return;
    }
    m_running = true;
  }

  static std::string Tail(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
  }

  std::string m_bin;
  std::string m_folder;
  int m_port = 0;
  bool m_running = false;
  std::string m_problem;
};

// A store of the back end, empty; fails the test when it can't be opened.
inline std::unique_ptr<CServerStore> OpenTestStore(Backend backend, const TempDir& dir) {
  std::string where = dir.File("server.db");
  if (backend == Backend::kPostgres) {
    PostgresCluster& cluster = PostgresCluster::Get();
    where = cluster.NewDatabase();
    if (where.empty()) {
      ADD_FAILURE() << "PostgreSQL could not be started: " << cluster.Problem();
      return nullptr;
    }
  }
  std::string error;
  std::unique_ptr<CServerStore> store = OpenServerStore(where, error);
  if (!store) ADD_FAILURE() << "can't open " << where << ": " << error;
  return store;
}
