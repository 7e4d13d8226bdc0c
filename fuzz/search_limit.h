#pragma once

#include <cstddef>
#include <string_view>

// Backtracking over k quantifiers may take text length to the power k, so a
// target searches with a pattern of many of them over a few bytes only;
// otherwise the fuzzer would report slow inputs rather than faults.
inline size_t SearchableLength(std::string_view pattern, size_t few, size_t many) {
  int quantifiers = 0;
  for (char c : pattern)
    if (c != '\0' && std::string_view("*+?{R").find(c) != std::string_view::npos) ++quantifiers;
  return quantifiers <= 4 ? many : few;
}
