#include "base/hosts.h"

#include <sys/stat.h>

#include <map>
#include <mutex>
#include <tuple>

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
// until config.ini changes (another path, size or modification time).
struct CachedHosts {
  std::string path;
  std::tuple<long, long, long> stamp{-1, -1, -1};
  std::map<int, std::string> values;
};

std::mutex g_cacheLock;
CachedHosts g_cache;

std::tuple<long, long, long> FileStamp(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {-1, -1, -1};
  return {static_cast<long>(st.st_size), static_cast<long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec};
}

}  // namespace

const char* HostKey(HostId id) { return kHosts[id].key; }
const char* HostDefault(HostId id) { return kHosts[id].value; }

std::string HostValue(HostId id) {
  std::string path = ProgramFile("config.ini");
  auto stamp = FileStamp(path);
  std::lock_guard lock(g_cacheLock);
  if (path != g_cache.path || stamp != g_cache.stamp) {
    g_cache.path = path;
    g_cache.stamp = stamp;
    g_cache.values.clear();
  }
  auto it = g_cache.values.find(id);
  if (it == g_cache.values.end())
    it =
        g_cache.values.emplace(id, IniGetString(path, "Hosts", HostKey(id), HostDefault(id))).first;
  return it->second;
}
