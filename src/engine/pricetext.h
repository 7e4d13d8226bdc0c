#pragma once

#include <string>
#include <string_view>

// The one reader of price texts: what a page shows ("1 298,00 €", "CHF
// 1'049.95", "35€ 99"), what schema.org data holds ("19.990") and what a
// shop rule captures ("1,299.00"). Every reader of a price goes through it.

// How a price text was written; it decides what the separators mean.
enum class PriceNotation {
  // As a page shows it to people: thousands grouped by ".", ",", blanks or
  // "'", a currency before or after, cents in an element of their own, a
  // range. Percentages, counts and phone numbers are no prices.
  kShown,
  // schema.org data: "." is the decimal point and nothing groups; signs and
  // exponents make it no price. Texts that are not plain numbers are read
  // as shown ("1,299.00", "¥ 89").
  kMachine,
  // Captured by a shop rule (local code page): the number comes first, ","
  // only groups, the rest of the text is ignored. Forms only shops outside
  // China write ("1.299,00", "1 298,00", "1'049.95") read as shown.
  kRule,
};

struct PriceText {
  bool found = false;    // the text holds an amount (which may be 0)
  double value = 0;      // the amount; the low end of a range
  std::string currency;  // the currency as written ("€", "CHF", "руб"), or ""
  int amounts = 0;       // separate amounts in the text; a range counts once
  bool range = false;    // "10 - 20 €"
};

// The first price of a text, UTF-8 except in kRule.
PriceText ReadPriceText(std::string_view text, PriceNotation notation = PriceNotation::kShown);

// The ISO 4217 code a written currency stands for ("€" EUR, "руб" RUB, "CHF"
// CHF); "" for signs that several currencies share ("$", "¥", "kr").
std::string CurrencyCode(std::string_view written);
