#pragma once

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
