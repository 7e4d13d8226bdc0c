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
  });
}

}  // namespace
