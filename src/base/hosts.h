#pragma once

#include <string>

// Host names, domain suffixes and server addresses, read from section "Hosts"
// of the program directory's config.ini with the built-in defaults of
// base/hosts.inc.
enum HostId : int {
#define VANTREL_HOST(id, key, value, what) id,
#include "base/hosts.inc"
#undef VANTREL_HOST
  kHostCount
};

std::string HostValue(HostId id);
// The key in config.ini and the built-in default.
const char* HostKey(HostId id);
const char* HostDefault(HostId id);
