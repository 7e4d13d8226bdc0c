#include "base/hosts.h"

#include "base/ini.h"
#include "base/programdir.h"

namespace {

struct HostEntry {
  const char* key;
  const char* value;
};

constexpr HostEntry kHosts[] = {
#define VANTREL_HOST(id, key, value, what) {key, value},
#include "base/hosts.inc"
#undef VANTREL_HOST
};

static_assert(sizeof(kHosts) / sizeof(kHosts[0]) == kHostCount);

}  // namespace

const char* HostKey(HostId id) { return kHosts[id].key; }
const char* HostDefault(HostId id) { return kHosts[id].value; }

std::string HostValue(HostId id) {
  // Shop-link rewriting asks for a hundred values per click, and every pass
  // for several: the INI reader keeps config.ini parsed until it changes.
  return IniGetString(ProgramFile("config.ini"), "Hosts", HostKey(id), HostDefault(id));
}
