#include "base/stoprequest.h"

#include <atomic>

namespace {

// Long enough for a save whose lock another process holds for a moment.
constexpr std::chrono::milliseconds kStopGrace{800};

// The time of the request on the steady clock, in its ticks; 0 for none.
std::atomic<std::chrono::steady_clock::rep> g_requestedAt{0};

}  // namespace

void RequestStop() {
  std::chrono::steady_clock::rep expected = 0;
  g_requestedAt.compare_exchange_strong(
      expected, std::chrono::steady_clock::now().time_since_epoch().count() | 1);
}

bool StopRequested() { return g_requestedAt.load() != 0; }

std::chrono::steady_clock::duration StopGraceLeft() {
  const auto at = g_requestedAt.load();
  if (at == 0) return std::chrono::steady_clock::duration::max();
  const auto end =
      std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(at)) + kStopGrace;
  const auto now = std::chrono::steady_clock::now();
  return now < end ? end - now : std::chrono::steady_clock::duration::zero();
}

void ClearStopRequest() { g_requestedAt = 0; }
