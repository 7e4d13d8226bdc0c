#include "base/clock.h"

#include <mutex>

namespace {
std::mutex g_clockLock;
std::function<std::time_t()> g_clock;
}  // namespace

std::time_t CurrentTime() {
  std::lock_guard lock(g_clockLock);
  return g_clock ? g_clock() : std::time(nullptr);
}

void SetClockForTesting(std::function<std::time_t()> clock) {
  std::lock_guard lock(g_clockLock);
  g_clock = std::move(clock);
}
