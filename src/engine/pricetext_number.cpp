// The number grammar of the price-text reader: which separators group
// thousands and which one starts the decimals, the way shops around the
// world write them.
#include <charconv>
#include <string>
#include <vector>

#include "engine/pricetext_internal.h"

namespace {

// More digits than a double holds exactly is no price.
constexpr size_t kMostDigits = 15;

size_t DigitsEnd(std::string_view text, size_t at) {
  while (IsDigit(text, at)) ++at;
  return at;
}

// The groups and separators of a run such as "1 298,00" or "1.144.000".
struct Run {
  std::vector<std::string_view> groups;
  std::vector<char> separators;
  std::vector<size_t> ends;    // where each group ends
  bool spacedDecimal = false;  // the last separator stood apart: "2 . 75"
};

Run ReadRun(std::string_view text, size_t at) {
  Run run;
  size_t i = DigitsEnd(text, at);
  run.groups.push_back(text.substr(at, i - at));
  run.ends.push_back(i);
  for (;;) {
    const char c = i < text.size() ? text[i] : 0;
    if ((c == ',' || c == '.' || c == '\'' || c == ' ') && IsDigit(text, i + 1)) {
      const size_t end = DigitsEnd(text, i + 1);
      run.separators.push_back(c);
      run.groups.push_back(text.substr(i + 1, end - i - 1));
      run.ends.push_back(end);
      i = end;
      continue;
    }
    // Units and cents in elements of their own come out as "2 . 75".
    size_t mark = i < text.size() && text[i] == ' ' ? i + 1 : i;
    if (mark < text.size() && (text[mark] == '.' || text[mark] == ',')) {
      size_t cents = mark + 1 < text.size() && text[mark + 1] == ' ' ? mark + 2 : mark + 1;
      const size_t end = DigitsEnd(text, cents);
      if ((mark != i || cents != mark + 1) && end - cents == 2) {
        run.separators.push_back(text[mark]);
        run.groups.push_back(text.substr(cents, 2));
        run.ends.push_back(end);
        run.spacedDecimal = true;
      }
    }
    return run;
  }
}

// Thousands grouped by one separator: a first group of 1 to 3 digits, then
// groups of 3; or India's lakh grouping, "1,23,456".
bool Groups(const Run& run, size_t count) {
  const std::string_view first = run.groups[0];
  if (first.empty() || first.size() > 3 || first[0] == '0') return false;
  bool thousands = true;
  for (size_t g = 1; g < count; ++g) thousands = thousands && run.groups[g].size() == 3;
  if (thousands) return true;
  if (run.separators[0] != ',' || first.size() > 2 || run.groups[count - 1].size() != 3)
    return false;
  for (size_t g = 1; g + 1 < count; ++g)
    if (run.groups[g].size() != 2) return false;
  return true;
}

bool AllSame(const Run& run, size_t count) {
  for (size_t s = 1; s < count; ++s)
    if (run.separators[s] != run.separators[0]) return false;
  return true;
}

// What the first `count` separators mean; false when they make no number.
bool Interpret(const Run& run, size_t count, bool spacedDecimal, ScannedNumber& number) {
  number.separators = static_cast<int>(count);
  if (count == 0) return true;
  const char last = run.separators[count - 1];
  const std::string_view tail = run.groups[count];
  auto decimals = [&](char grouping) {
    number.grouping = grouping;
    number.decimal = last;
    return true;
  };
  if (spacedDecimal) {
    if (count == 1) return decimals(0);
    return AllSame(run, count - 1) && Groups(run, count) && decimals(run.separators[0]);
  }
  if (AllSame(run, count)) {
    if (Groups(run, count + 1)) {
      number.grouping = last;
      return true;
    }
    // A lone "." or "," before anything but a group of three: "12.5", "0,999".
    if (count == 1 && (last == '.' || last == ',')) return decimals(0);
    // Cents set apart by a blank: "35 99", "1 298 99".
    if (last == ' ' && tail.size() == 2 && (count == 1 || Groups(run, count)))
      return decimals(count == 1 ? 0 : ' ');
    return false;
  }
  const char grouping = run.separators[0];
  if (!AllSame(run, count - 1) || grouping == last || !Groups(run, count)) return false;
  if (last == '.' || last == ',') return tail.size() <= 2 && decimals(grouping);
  return last == ' ' && grouping != '\'' && tail.size() == 2 && decimals(grouping);
}

double ValueOf(const Run& run, size_t count, const ScannedNumber& number) {
  std::string plain;
  const bool hasDecimals = number.decimal != 0;
  const size_t whole = hasDecimals ? count : count + 1;
  for (size_t g = 0; g < whole; ++g) plain += run.groups[g];
  if (hasDecimals) plain += "." + std::string(run.groups[count]);
  double value = 0;
  std::from_chars(plain.data(), plain.data() + plain.size(), value);
  return value;
}

// "35,-", "35.–" and Sweden's "299:-": whole units, no cents.
size_t WholeUnitsMark(std::string_view text, size_t at) {
  if (at + 1 >= text.size() || (text[at] != ',' && text[at] != '.' && text[at] != ':') ||
      text[at + 1] != '-')
    return at;
  size_t end = at + 1;
  while (end < text.size() && text[end] == '-') ++end;
  return IsDigit(text, end) ? at : end;
}

}  // namespace

ScannedNumber ScanNumber(std::string_view text, size_t at) {
  ScannedNumber number;
  if (text[at] == '.') {
    // ".75"
    const size_t end = DigitsEnd(text, at + 1);
    number.end = end;
    number.decimal = '.';
    number.separators = 1;
    number.valid = end - at - 1 <= kMostDigits;
    const std::string plain = "0" + std::string(text.substr(at, end - at));
    std::from_chars(plain.data(), plain.data() + plain.size(), number.value);
    return number;
  }
  const Run run = ReadRun(text, at);
  size_t count = run.separators.size();
  bool spaced = run.spacedDecimal;
  for (;;) {
    number = ScannedNumber{};
    number.end = run.ends[count];
    if (Interpret(run, count, spaced, number)) break;
    // Cut the run before its last blank and try again.
    size_t blank = count;
    while (blank > 0 && run.separators[blank - 1] != ' ') --blank;
    if (blank == 0) return number;  // "1.2.3": no number
    count = blank - 1;
    spaced = false;
  }
  for (size_t g = 0; g <= count; ++g) number.digits += run.groups[g].size();
  if (number.decimal) number.digits -= run.groups[count].size();
  if (number.digits > kMostDigits) return number;
  number.valid = true;
  number.plain = count == 0;
  number.value = ValueOf(run, count, number);
  if (!number.decimal) number.end = WholeUnitsMark(text, number.end);
  return number;
}
