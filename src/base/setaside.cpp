#include "base/setaside.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "base/clock.h"

std::string MoveAside(const std::string& path) {
  const std::time_t now = CurrentTime();
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".bad-" + stamp;
  // link() fails on a taken name where rename() would silently replace it.
  for (int n = 1; n < 10000; ++n) {
    const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
    if (link(path.c_str(), aside.c_str()) == 0) {
      unlink(path.c_str());
      return aside;
    }
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}
