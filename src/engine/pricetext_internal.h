#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The stages of the price-text reader.

// The text with every digit ASCII, every kind of blank one " " (runs made
// one), every dash, minus or tilde "-", every apostrophe "'", full-width and
// Arabic marks as their ASCII forms; invisible marks dropped. UTF-8 in, out.
std::string NormalizePriceText(std::string_view utf8);

inline bool IsDigit(std::string_view text, size_t at) {
  return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

// A number as written at one place of a normalised text.
struct ScannedNumber {
  bool valid = false;  // a well-formed amount ("1.2.3" and "01.12.2020" are not)
  size_t end = 0;      // just past what belongs to the number
  double value = 0;
  char grouping = 0;   // the separator that grouped thousands, 0 when none
  char decimal = 0;    // the separator before the decimals, 0 when none
  int separators = 0;  // how many separators the number holds
  bool plain = false;  // digits only: no separator, no decimals
  size_t digits = 0;   // digits before the decimals
};

// Reads the number that starts at `at` (a digit, or "." before one). A run
// of groups that can't be one number ends before its first blank that makes
// it whole ("030 1234567" is "030", then "1234567").
ScannedNumber ScanNumber(std::string_view text, size_t at);

// The length of the currency written at `at` ("€", "US$", "руб.", "EUR"),
// 0 when none starts there. Letters of a word around it make it none.
size_t CurrencyAt(std::string_view text, size_t at);

// Where a currency stands against its amount: "$" and "£" in front, "руб"
// and "원" after, "€" and ISO codes either way.
enum class CurrencySide { kBefore, kAfter, kEither };
CurrencySide SideOfCurrency(std::string_view written);
