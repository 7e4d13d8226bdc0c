// libFuzzer target for the regular-expression engine. The first byte gives
// the flags, the second where the pattern ends and the third the start
// position; the rest is pattern, then text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "search_limit.h"
#include "text/regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  int flags = data[0] & 0x3F;
  size_t rest = size - 3;
  size_t patternLength = rest ? data[1] % (rest + 1) : 0;
  const char* pattern = reinterpret_cast<const char*>(data + 3);
  std::string text(pattern + patternLength, rest - patternLength);
  size_t longest = SearchableLength(std::string_view(pattern, patternLength), 3, 12);
  if (text.size() > longest) text.resize(longest);
  int start = static_cast<int>(data[2] % 32) - 4;

  CRegexPattern compiled;
  compiled.SetPattern(pattern, patternLength, flags);
  CRegexMatch match = compiled.SearchBytes(text.data(), text.size(), start);
  if (match.Found()) {
    int n = static_cast<int>(text.size());
    if (match.Array().size() != static_cast<size_t>(2 * match.HighestGroup() + 4)) __builtin_trap();
    for (int g = 0; g <= match.HighestGroup(); ++g) {
      int b = match.GroupBegin(g), e = match.GroupEnd(g);
      if (g > 0 && b == -1 && e == -1) continue;
      if (b < 0 || b > e || e > n) __builtin_trap();
    }
    // The row loop ends.
    int rows = 0;
    for (int next = compiled.NextStart(match); next >= 0 && rows < 100; ++rows) {
      CRegexMatch m = compiled.SearchBytes(text.data(), text.size(), next);
      if (!m.Found()) break;
      next = compiled.NextStart(m);
    }
    if (rows >= 100 && text.size() < 90) __builtin_trap();
  }
  compiled.Search(text);
  return 0;
}
