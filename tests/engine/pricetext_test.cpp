// The one reader of price texts: as pages show them, as schema.org data and
// shop rules hold them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/extract.h"
#include "engine/pricetext.h"

namespace {

std::string Amount(const PriceText& price) { return price.found ? FormatPrice(price.value) : "-"; }

TEST(PriceTextTest, ReadsPriceTextsOfRealPagesAlmostAlwaysRight) {
  std::ifstream table(VANTREL_TEST_SOURCE_DIR "/tests/data/price-texts/price_texts.tsv");
  ASSERT_TRUE(table);
  int cases = 0;
  int right = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.rfind('\t');
    const std::string text = line.substr(0, tab);
    const std::string want = line.substr(tab + 1);
    const std::string read = Amount(ReadPriceText(text));
    ++cases;
    if (read == want)
      ++right;
    else
      std::printf("misread: \"%s\" as %s, not %s\n", text.c_str(), read.c_str(), want.c_str());
  }
  EXPECT_GE(cases, 1000);
  EXPECT_GE(right, cases * 995 / 1000) << right << " of " << cases;
}

TEST(PriceTextTest, EachNotationReadsSeparatorsItsOwnWay) {
  const struct {
    const char* text;
    PriceNotation notation;
    const char* amount;
  } cases[] = {
      // schema.org: "." is the decimal point; signs and exponents are no prices.
      {"1.000", PriceNotation::kMachine, "1.00"},
      {"19.990", PriceNotation::kMachine, "19.99"},
      {" 129 ", PriceNotation::kMachine, "129.00"},
      {"-5.00", PriceNotation::kMachine, "-"},
      {"1e3", PriceNotation::kMachine, "-"},
      {"1,299.00", PriceNotation::kMachine, "1299.00"},
      {"89,90 €", PriceNotation::kMachine, "89.90"},
      // Shown: the same digits group thousands.
      {"19.990", PriceNotation::kShown, "19990.00"},
      {"1.000", PriceNotation::kShown, "1000.00"},
      // A rule's capture reads as the steps always read it ...
      {"1,299.00", PriceNotation::kRule, "1299.00"},
      {"12,50", PriceNotation::kRule, "1250.00"},
      {"1.299", PriceNotation::kRule, "1.30"},
      {"35 99", PriceNotation::kRule, "35.00"},
      {"-5", PriceNotation::kRule, "-5.00"},
      {"1e3", PriceNotation::kRule, "1000.00"},
      {"$99", PriceNotation::kRule, "-"},
      // ... but no longer cuts a grouped number at its first group.
      {"1 298,00", PriceNotation::kRule, "1298.00"},
      {"1.299,00", PriceNotation::kRule, "1299.00"},
      {"1'049.95", PriceNotation::kRule, "1049.95"},
      {"1.144.000", PriceNotation::kRule, "1144000.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Amount(ReadPriceText(c.text, c.notation)), c.amount);
  }
}

TEST(PriceTextTest, ReportsTheCurrencyAsWrittenAndItsCode) {
  const struct {
    const char* text;
    const char* written;
    const char* code;
  } cases[] = {
      {"1 298,00 €", "€", "EUR"},
      {"CHF 1'049,95", "CHF", "CHF"},
      {"US$ 12", "US$", "USD"},
      {"1 299 руб.", "руб.", "RUB"},
      {"30,000원~", "원", "KRW"},
      {"$5", "$", ""},
      {"¥99", "¥", ""},
      {"99 kr", "kr", ""},
      {"EUR153.99", "EUR", "EUR"},
      {"99", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const PriceText price = ReadPriceText(c.text);
    EXPECT_EQ(price.currency, c.written);
    EXPECT_EQ(CurrencyCode(price.currency), c.code);
  }
}

}  // namespace
