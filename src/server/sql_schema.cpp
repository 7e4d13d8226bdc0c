#include "server/sql.h"

std::vector<std::string> SchemaStatements(const std::string& autoKey) {
  return {
      "CREATE TABLE IF NOT EXISTS accounts (email TEXT PRIMARY KEY, password_hash TEXT NOT NULL, "
      "nickname TEXT NOT NULL)",
      // id keeps the order in which an account added its tasks.
      "CREATE TABLE IF NOT EXISTS tasks (id " + autoKey +
          ", email TEXT NOT NULL, url TEXT NOT NULL, name TEXT NOT NULL, record TEXT NOT NULL, "
          "UNIQUE (email, url))",
      "CREATE INDEX IF NOT EXISTS tasks_by_url ON tasks (url)",
      "CREATE TABLE IF NOT EXISTS products (url TEXT PRIMARY KEY, name TEXT NOT NULL, "
      "site TEXT NOT NULL, price TEXT NOT NULL, stock INTEGER NOT NULL)",
      "CREATE TABLE IF NOT EXISTS points (url TEXT NOT NULL, time BIGINT NOT NULL, "
      "price TEXT NOT NULL)",
      "CREATE INDEX IF NOT EXISTS points_by_url ON points (url, time)",
      "CREATE TABLE IF NOT EXISTS login_failures (who TEXT NOT NULL, time BIGINT NOT NULL)",
      "CREATE INDEX IF NOT EXISTS login_failures_by_key ON login_failures (who, time)",
      // Old events are forgotten by time, whatever their key.
      "CREATE INDEX IF NOT EXISTS login_failures_by_time ON login_failures (time)",
      // When each held product is next due; while a server visits it,
      // ready_at is when that server's lease runs out and holder names it.
      "CREATE TABLE IF NOT EXISTS schedule (url TEXT PRIMARY KEY, ready_at BIGINT NOT NULL, "
      "holder TEXT NOT NULL)",
      "CREATE INDEX IF NOT EXISTS schedule_by_ready ON schedule (ready_at)",
      "CREATE INDEX IF NOT EXISTS schedule_by_holder ON schedule (holder)",
  };
}
