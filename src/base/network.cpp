#include "base/network.h"

#include <cstdlib>
#include <cstring>

#include <ifaddrs.h>
#include <net/if.h>

bool IsNetworkAvailable() {
  const char* assume = std::getenv("VANTREL_ASSUME_ONLINE");
  if (assume != nullptr && std::strcmp(assume, "1") == 0) return true;

  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool online = false;
  for (ifaddrs* entry = list; entry != nullptr && !online; entry = entry->ifa_next) {
    bool up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
    bool loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
    online = up && !loopback && entry->ifa_addr != nullptr;
  }
  freeifaddrs(list);
  return online;
}
