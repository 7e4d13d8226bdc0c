// vantrel-server: the program's own server. Everything but the command line
// and the signals lives in vantrel_server_lib.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "server/options.h"
#include "server/pointprogram.h"
#include "server/run.h"

int main(int argc, char** argv) {
  // SIGINT and SIGTERM are taken on the main thread; blocked before any
  // thread starts, they reach no other thread.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  ServerOptions options;
  bool help = false;
  std::string error;
  if (!ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), options, help, error)) {
    std::fprintf(stderr, "vantrel-server: %s\n%s", error.c_str(), ServerUsage());
    return 2;
  }
  if (help) {
    std::fputs(ServerUsage(), stdout);
    return 0;
  }
  if (!options.pointProgram.empty()) {
    const std::string base = "http://" + options.host + ":" + std::to_string(options.port) + "/";
    if (PointProgramAt(base, options.pointProgram + "/config.ini")) return 0;
    std::fprintf(stderr, "vantrel-server: %s/config.ini can't be written\n",
                 options.pointProgram.c_str());
    return 1;
  }
  return RunServer(options, [&stop] {
    int signal = 0;
    sigwait(&stop, &signal);
  });
}
