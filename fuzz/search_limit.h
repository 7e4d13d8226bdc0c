#pragma once

#include <cstddef>
#include <string_view>

// Backtracking over k quantifiers may take text length to the power k, and a
// pattern that calls itself ("[^0-9]*(?0)") takes time exponential in it, so
// such patterns are searched over a few bytes only; otherwise the fuzzer
// would report slow inputs rather than faults.
inline size_t SearchableLength(std::string_view pattern, size_t few, size_t many) {
  int quantifiers = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c != '\0' && std::string_view("*+?{R").find(c) != std::string_view::npos) ++quantifiers;
    bool call = c == '(' && pattern.substr(i + 1, 1) == "?" && i + 2 < pattern.size() &&
                std::string_view("R0123456789&P+-").find(pattern[i + 2]) != std::string_view::npos;
    if (call || pattern.substr(i, 2) == "\\g") return few;
  }
  return quantifiers <= 4 ? many : few;
}
