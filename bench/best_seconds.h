#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>

// The fastest of `runs` timed calls, in seconds: the figure the printed ratios
// compare, as it is the least disturbed by other work on the machine.
template <typename F>
double BestSeconds(int runs, F&& run) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// The same in CPU seconds of this process: on a machine shared with other
// work, the figure that work disturbs least.
template <typename F>
double BestCpuSeconds(int runs, F&& run) {
  auto now = [] {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
  };
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const double start = now();
    run();
    best = std::min(best, now() - start);
  }
  return best;
}
