// What one account's task list costs the server: an account holding the
// most tasks it may (5,000 records of 16 KB, an 80 MB list) asks for its
// list once and then twice at once. Prints the reply's size and time and
// the server process's peak memory (VmHWM) before and after. Given the
// path of another vantrel-server (an older build), measures it the same
// way in the same run.
// Usage: server_task_list_bench [OTHER_SERVER [RECORDS [BYTES]]]
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "server/passwords.h"
#include "server/server_process.h"
#include "server/store.h"
#include "server_program.h"
#include "support/tempdir.h"

namespace {

double PeakMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
  return 0;
}

// The list, counted as it arrives and not kept: its size in bytes.
size_t FetchList(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(600, 0);
  size_t bytes = 0;
  client.Get("/api/task.php?act=get&u=big%40example.com&p=c2VjcmV0",
             [&](const char*, size_t length) { return (bytes += length), true; });
  return bytes;
}

void Measure(const char* what, const std::string& program, const std::string& database) {
  TempDir data;
  ServerProcess server(program, {"--database", database, "--data", data.Path(), "--track-minutes",
                                 "0", "--password-cost", "minimum"});
  if (server.Port() <= 0) {
    std::fprintf(stderr, "%s did not start: %s\n", program.c_str(), server.Output().c_str());
    return;
  }
  const double idle = PeakMegabytes(server.Pid());
  auto start = std::chrono::steady_clock::now();
  const size_t bytes = FetchList(server.Port());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double one = PeakMegabytes(server.Pid());
  std::thread other([&] { FetchList(server.Port()); });
  FetchList(server.Port());
  other.join();
  std::printf(
      "  %-8s reply %7.1f MB in %5.2f s; server peak %7.1f MB idle, %7.1f MB after one, "
      "%7.1f MB after two at once\n",
      what, bytes / 1048576.0, seconds, idle, one, PeakMegabytes(server.Pid()));
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 2 ? std::atoi(argv[2]) : 5000;
  const size_t size = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 16 * 1024;
  TempDir home(true), folder;
  const std::string database = folder.File("vantrel.db");
  {
    std::string error;
    std::unique_ptr<CServerStore> store = OpenServerStore(database, error);
    CPasswordHasher hasher(CPasswordHasher::Cost::kMinimum);
    if (!store || !store->CreateAccount({"big@example.com", hasher.Hash("c2VjcmV0"), "Big"})) {
      std::fprintf(stderr, "can't prepare %s: %s\n", database.c_str(), error.c_str());
      return 1;
    }
    for (int n = 0; n < records; ++n)
      store->AddTask("big@example.com", "http://s.example/" + std::to_string(n), "n",
                     "<Task>" + std::string(size - 13, 'x') + "</Task>");
  }
  std::printf("one account's task list: %d records of %zu bytes\n", records, size);
  Measure("this", BuiltServerProgram(), database);
  if (argc > 1) Measure("other", argv[1], database);
  return 0;
}
