// 200 clients on 127.0.0.1, each sending 50 mixed requests at once: no
// error, every reply the one expected; the latencies are printed.
#include <gtest/gtest.h>

#include <cstdio>

#include "load_mix.h"
#include "running_server.h"

namespace {

class Load : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Ready());
    server.updateFolder.Write("update.ini", kLoadUpdateIni);
    ASSERT_TRUE(SeedLoadData(*server.store, server.hasher));
  }

  RunningServer server{GetParam()};
};

TEST_P(Load, TwoHundredClientsFiftyRequestsEach) {
  const LoadFigures figures = RunLoad({server.port});
  EXPECT_EQ(figures.errors, 0);
  for (int kind = 0; kind < kLoadKinds; ++kind)
    EXPECT_EQ(figures.errorsByKind[static_cast<size_t>(kind)], 0)
        << "errors in requests of kind " << kind;
  ASSERT_EQ(figures.requests, kLoadClients * kLoadRequestsPerClient);
  std::printf("[ load     ] %s: %d requests in %.1f s (%.0f/s), p50 %.2f ms, p99 %.2f ms\n",
              GetParam() == Backend::kSqlite ? "SQLite" : "PostgreSQL", figures.requests,
              figures.seconds, figures.PerSecond(), figures.p50, figures.p99);
}

INSTANTIATE_TEST_SUITE_P(Backends, Load, testing::Values(Backend::kSqlite, Backend::kPostgres),
                         BackendName);

}  // namespace
