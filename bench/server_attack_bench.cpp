// A normal client's latency (p50, p99 of 200 history requests, each on a
// fresh connection) against a server on 127.0.0.1: quiet, under 500 idle
// connections, under 40 slow heads, and under both. Prints the figures and
// the ratio of each p99 to the quiet one.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "server/raw_client.h"
#include "server/running_server.h"

namespace {

struct Latency {
  double p50 = 0, p99 = 0;
  int errors = 0;
};

Latency Measure(int port) {
  std::vector<double> ms;
  int errors = 0;
  for (int i = 0; i < 200; ++i) {
    const auto start = std::chrono::steady_clock::now();
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    httplib::Result result = client.Get("/price_history.php?url=http%3A%2F%2Fs.example%2F1");
    if (!result || result->status != 200) ++errors;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[ms.size() * 99 / 100], errors};
}

}  // namespace

int main() {
  RunningServer server(Backend::kSqlite);
  if (!server.Ready()) return 1;
  Measure(server.port);  // warms the caches and the database
  const Latency quiet = Measure(server.port);
  std::printf("%-22s p50 %7.2f ms  p99 %7.2f ms  errors %d\n", "quiet", quiet.p50, quiet.p99,
              quiet.errors);
  struct Attack {
    const char* what;
    int idle, slow;
  };
  for (const Attack& attack : {Attack{"500 idle", 500, 0}, Attack{"40 slow heads", 0, 40},
                               Attack{"500 idle + 40 slow", 500, 40}}) {
    std::vector<int> sockets;
    for (int i = 0; i < attack.idle + attack.slow; ++i) {
      const int s = RawConnect(server.port);
      if (i >= attack.idle) RawSend(s, "GET / HTTP/1.1\r\nX-Slow: ");
      sockets.push_back(s);
    }
    const Latency under = Measure(server.port);
    std::printf("%-22s p50 %7.2f ms  p99 %7.2f ms  errors %d  p99 ratio to quiet %.2f\n",
                attack.what, under.p50, under.p99, under.errors,
                quiet.p99 > 0 ? under.p99 / quiet.p99 : 0.0);
    for (int s : sockets) close(s);
  }
  return 0;
}
