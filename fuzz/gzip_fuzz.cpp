// Inflates arbitrary bytes the two ways a reply body is decoded (gzip or zlib
// detected, and zlib only) and checks the bounds the fetcher relies on: the
// output stays within the granted space, and a caller's limit only cuts it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/inflate.h"

namespace {

void Check(std::string (*decode)(std::string_view, size_t), std::string_view body) {
  const std::string whole = decode(body, SIZE_MAX);
  if (whole.size() > InflateCapacity(body.size())) __builtin_trap();
  // A limit below the output cuts it there; the bytes kept are the same.
  const size_t limit = whole.size() / 2 + 1;
  const std::string cut = decode(body, limit);
  if (cut.size() > limit || whole.compare(0, cut.size(), cut) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  Check(Gunzip, body);
  Check(InflateBody, body);
  return 0;
}
