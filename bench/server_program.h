#pragma once

#include <unistd.h>

#include <string>

// The vantrel-server built beside the benchmarks (build/bin/).
inline std::string BuiltServerProgram() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "vantrel-server";
  const std::string path(self, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/')) + "/../bin/vantrel-server";
}
