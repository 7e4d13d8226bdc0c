#include "base/outputfield.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputField, ControlsAreEscapedAndTextIsKept) {
  const struct {
    std::string value;
    std::string printed;
  } cases[] = {
      {"保温杯 1299.00", "保温杯 1299.00"},
      {"a\tb\r\nc", "a\\tb\\r\\nc"},
      {"\x1b[31mred", "\\x1B[31mred"},
      {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7F"},
      {"csi\xc2\x9b"
       "2J",
       "csi\\u009B2J"},
      {"back\\slash", "back\\\\slash"},
      {"\xc2\xa5 yen", "\xc2\xa5 yen"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeOutputField(c.value), c.printed) << c.printed;
  // A whole text for a terminal keeps its lines and columns.
  EXPECT_EQ(TerminalSafeText("a\tb\r\n\x1b[2J\\"), "a\tb\r\n\\x1B[2J\\");
}

}  // namespace
