#include "base/hosts.h"

#include <map>
#include <mutex>

#include "base/files.h"
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

// Shop-link rewriting asks for a hundred values per click, so values are kept
// until config.ini changes. The bytes are compared rather than the file's
// time, which does not change between two writes within a few milliseconds.
struct CachedHosts {
  std::string path;
  std::string bytes;
  bool exists = false;
  std::map<int, std::string> values;
};

std::mutex g_cacheLock;
CachedHosts g_cache;

}  // namespace

const char* HostKey(HostId id) { return kHosts[id].key; }
const char* HostDefault(HostId id) { return kHosts[id].value; }

std::string HostValue(HostId id) {
  std::string path = ProgramFile("config.ini");
  std::string bytes;
  bool exists = ReadWholeFile(path, bytes);
  std::lock_guard lock(g_cacheLock);
  if (path != g_cache.path || exists != g_cache.exists || bytes != g_cache.bytes) {
    g_cache.path = path;
    g_cache.exists = exists;
    g_cache.bytes = std::move(bytes);
    g_cache.values.clear();
  }
  auto it = g_cache.values.find(id);
  if (it == g_cache.values.end())
    it =
        g_cache.values.emplace(id, IniGetString(path, "Hosts", HostKey(id), HostDefault(id))).first;
  return it->second;
}
