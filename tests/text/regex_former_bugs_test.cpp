#include <string>

#include "text/regex_table.h"

namespace {

// Every fault found in the engine gets a row here; rows are never removed.
TEST(RegexFormerBugs, StayFixed) {
  CheckCases({
      // A condition on a group number above the highest group read past the
      // capture registers.
      {"(?(1)a|b)", 0, "b", -1, "1 0 0 1"},
      {"(?(999)a|b)", 0, "b", -1, "1 0 0 1"},
      // A group with an empty name was left without a number.
      {"(?<>a)b", 0, "ab", -1, "1 1 0 2 0 1"},
      {"(?'')*a", 0, "a", -1, "1 1 0 1 0 0"},
  });
}

}  // namespace
