// Reading a history server reply: the record walk at 1, 96 and 1,000 KB of
// valid points, and at 1,000 KB of a hostile reply (an opening that never
// closes). Target: 96 KB in under 50 ms. Prints milliseconds per reply and
// points read.
#include <cstdio>
#include <string>

#include "base/clock.h"
#include "best_seconds.h"
#include "services/history.h"

namespace {

std::string ValidReply(size_t bytes) {
  std::string reply = "[";
  for (long long t = 1356969600; reply.size() < bytes; t += 3600)
    reply +=
        "{\"t\":\"" + std::to_string(t) + "\",\"p\":\"" + std::to_string(50 + t % 97) + ".00\"},";
  reply.back() = ']';
  return reply;
}

std::string HostileReply(size_t bytes) {
  std::string reply;
  while (reply.size() < bytes) reply += "\"t\":\"1356969600";
  return reply;
}

void Measure(const char* what, const std::string& reply) {
  size_t points = 0;
  const double seconds = BestSeconds(5, [&] { points = HistoryReplyPoints(reply).size(); });
  std::printf("%-22s %7zu KB  %9.3f ms  %6zu points\n", what, reply.size() / 1024, seconds * 1000,
              points);
}

}  // namespace

int main() {
  SetClockForTesting([] { return static_cast<std::time_t>(1900000000); });
  for (size_t kb : {1, 96, 1000}) Measure("valid reply", ValidReply(kb * 1024));
  Measure("hostile reply", HostileReply(1000 * 1024));
  std::printf("target: a 96 KB reply in under 50 ms\n");
  return 0;
}
