// Local text in GB18030: the second and fourth bytes of a four-byte
// character are ASCII digits, which no pattern may take for digits.
#include <string>

#include "text/regex_table.h"

namespace {

// "¥" (81 30 84 36) and "🔥" (95 32 82 36) in GB18030; "价" (BC DB) in GBK.
const std::string kYen = "\x81\x30\x84\x36";
const std::string kFire = "\x95\x32\x82\x36";

TEST(RegexFourByte, DigitsInsideACharacterAreNotDigits) {
  CheckCases({
      {"(\\d+)", 9, kYen + "99", -1, "1 1 4 6 4 6"},
      {"(\\d+)", 9, kFire + " 12", -1, "1 1 5 7 5 7"},
      {"[0-9]", 0, kYen, -1, "none"},
      {"\\w", 0, kFire, -1, "none"},
      {"\\D+", 0, kYen + "9", -1, "1 0 0 4"},
      {"[^0-9]+(\\d)", 0, kYen + "7", -1, "1 1 0 5 4 5"},
      {"6\\b", 0, kYen + "a", -1, "none"},
      {"(\\d+)", 9,
       "\xBC\xDB"
       "3",
       -1, "1 1 2 3 2 3"},                        // a GBK character, then a digit
      {"\\d+", 0x10, kYen + "5", -1, "1 0 4 5"},  // right to left
  });
}

TEST(RegexFourByte, MatchesAndGroupsKeepCharactersWhole) {
  CheckCases({
      {kYen + "(\\d+)", 9, "a" + kYen + "12", -1, "1 1 1 7 5 7"},
      {"0", 0, kYen, -1, "none"},
      {"(.)", 9, kYen, 1, "none"},
      {"(.{2})", 9, kFire, -1, "none"},
      {"(.{4})", 9, kFire, -1, "1 1 0 4 0 4"},
      {"(.+?)<", 9, kFire + kYen + "<", -1, "1 1 0 9 0 8"},
  });
}

}  // namespace
