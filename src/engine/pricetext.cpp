#include "engine/pricetext.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "engine/extract.h"
#include "engine/pricetext_internal.h"

namespace {

enum class Kind { kNumber, kCurrency, kPercent, kDash, kPlus, kWord, kOpen, kClose, kOther };

struct Token {
  Kind kind = Kind::kOther;
  size_t begin = 0;
  size_t end = 0;
  bool spaceBefore = false;
  ScannedNumber number;
};

bool IsWordByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

bool StartsNumber(std::string_view text, size_t at) {
  if (IsDigit(text, at)) return true;
  return text[at] == '.' && IsDigit(text, at + 1) && !(at > 0 && IsDigit(text, at - 1));
}

Kind PunctuationKind(char c) {
  switch (c) {
    case '%':
      return Kind::kPercent;
    case '-':
      return Kind::kDash;
    case '+':
      return Kind::kPlus;
    case '(':
    case '[':
    case '{':
      return Kind::kOpen;
    case ')':
    case ']':
    case '}':
      return Kind::kClose;
    default:
      return Kind::kOther;
  }
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  bool space = false;
  for (size_t at = 0; at < text.size();) {
    if (text[at] == ' ') {
      space = true;
      ++at;
      continue;
    }
    Token token;
    token.begin = at;
    token.spaceBefore = space;
    space = false;
    if (StartsNumber(text, at)) {
      token.kind = Kind::kNumber;
      token.number = ScanNumber(text, at);
      token.end = token.number.end;
    } else if (const size_t length = CurrencyAt(text, at)) {
      token.kind = Kind::kCurrency;
      token.end = at + length;
    } else if (IsWordByte(text[at])) {
      token.kind = Kind::kWord;
      token.end = at + 1;
      while (token.end < text.size() && IsWordByte(text[token.end]) && !CurrencyAt(text, token.end))
        ++token.end;
    } else {
      token.kind = PunctuationKind(text[at]);
      token.end = at + 1;
      if (token.kind == Kind::kDash)
        while (token.end < text.size() && text[token.end] == '-') ++token.end;
    }
    at = token.end;
    tokens.push_back(token);
  }
  return tokens;
}

struct Amount {
  size_t token = 0;  // index of its number
  double value = 0;
  std::string currency;
  bool range = false;
};

// The tokens of one normalised text and what they mean.
class ShownText {
 public:
  explicit ShownText(std::string_view utf8)
      : m_text(NormalizePriceText(utf8)), m_tokens(Tokenize(m_text)) {}

  PriceText Read() {
    FindAmounts();
    JoinRanges();
    std::vector<Amount> priced;
    for (const Amount& amount : m_amounts)
      if (!amount.currency.empty()) priced.push_back(amount);
    PriceText price;
    if (priced.empty()) {
      // A number with no currency is a price only when it stands alone.
      if (m_amounts.size() != 1 || m_otherNumbers > 0 || !LoneNumber(m_amounts[0].token))
        return price;
      priced = m_amounts;
    }
    price.found = true;
    price.value = priced[0].value;
    price.currency = priced[0].currency;
    price.range = priced[0].range;
    price.amounts = static_cast<int>(priced.size());
    return price;
  }

 private:
  const Token* At(size_t index) const {
    return index < m_tokens.size() ? &m_tokens[index] : nullptr;
  }
  bool Is(size_t index, Kind kind) const {
    const Token* token = At(index);
    return token && token->kind == kind;
  }
  std::string Text(size_t index) const {
    const Token& token = m_tokens[index];
    return m_text.substr(token.begin, token.end - token.begin);
  }

  // Whether the number at `index` is an amount at all: not a percentage, not
  // part of a word or a code ("9cm", "A4"), not signed ("-5,00 €" is a
  // saving, "+49" a dialling code).
  bool CanBeAmount(size_t index) const {
    const Token& number = m_tokens[index];
    if (!number.number.valid || Is(index + 1, Kind::kPercent)) return false;
    // A word that touches the number makes it part of a name ("9cm", "5-piece")
    // unless a currency in front says what it is ("£399More options").
    const Token* next = At(index + 1);
    const bool currencyBefore = index > 0 && Is(index - 1, Kind::kCurrency);
    const Token* after =
        next && next->kind == Kind::kDash && !next->spaceBefore ? At(index + 2) : next;
    if (after && after->kind == Kind::kWord && !after->spaceBefore && !currencyBefore) return false;
    if (index == 0 || number.spaceBefore) return true;
    const Token& previous = m_tokens[index - 1];
    if (previous.kind == Kind::kWord) return Is(index + 1, Kind::kCurrency);
    if (previous.kind == Kind::kPlus) return !CurrencyOf(index).empty();  // "+49" dials
    if (previous.kind != Kind::kDash) return true;
    // "10-20" is a range; a dash that touches only this number is a sign.
    return index >= 2 && !previous.spaceBefore &&
           (Is(index - 2, Kind::kNumber) || Is(index - 2, Kind::kCurrency));
  }

  // "35€ 99": the cents of a price whose currency, written after amounts,
  // sits between units and cents. "$", "£", "¥" ... go in front of theirs:
  // "set of 3£ 10" is no 3.10.
  bool SeparateCents(size_t index) const {
    const Token* sign = At(index + 1);
    const Token* cents = At(index + 2);
    if (!sign || sign->kind != Kind::kCurrency || sign->spaceBefore || !cents ||
        cents->kind != Kind::kNumber)
      return false;
    if (SideOfCurrency(Text(index + 1)) == CurrencySide::kBefore) return false;
    const ScannedNumber& units = m_tokens[index].number;
    return units.decimal == 0 && cents->number.plain && cents->end - cents->begin == 2 &&
           CanBeAmount(index + 2) && !Is(index + 3, Kind::kCurrency);
  }

  // The number a currency belongs to when it stands between two: "$", "£"
  // go with the next ("7£ 60"), "원", "руб" with the one before, "€" with the
  // one it touches ("35,70 € 24,99 €", "€ 99,00 € 88,00").
  size_t OwnerOf(size_t sign) const {
    const bool left = sign > 0 && Is(sign - 1, Kind::kNumber);
    const bool right = Is(sign + 1, Kind::kNumber);
    if (!left || !right) return left ? sign - 1 : right ? sign + 1 : m_tokens.size();
    switch (SideOfCurrency(Text(sign))) {
      case CurrencySide::kBefore:
        return sign + 1;
      case CurrencySide::kAfter:
        return sign - 1;
      case CurrencySide::kEither:
        break;
    }
    const bool touchesLeft = !m_tokens[sign].spaceBefore;
    const bool touchesRight = !m_tokens[sign + 1].spaceBefore;
    if (touchesLeft != touchesRight) return touchesLeft ? sign - 1 : sign + 1;
    return sign >= 2 && Is(sign - 2, Kind::kCurrency) ? sign + 1 : sign - 1;
  }

  std::string CurrencyOf(size_t number) const {
    if (number > 0 && Is(number - 1, Kind::kCurrency) && OwnerOf(number - 1) == number)
      return Text(number - 1);
    if (Is(number + 1, Kind::kCurrency) && OwnerOf(number + 1) == number) return Text(number + 1);
    return std::string();
  }

  void FindAmounts() {
    for (size_t index = 0; index < m_tokens.size(); ++index) {
      if (m_tokens[index].kind != Kind::kNumber) continue;
      if (!CanBeAmount(index)) {
        ++m_otherNumbers;
        continue;
      }
      Amount amount{index, m_tokens[index].number.value, CurrencyOf(index), false};
      if (SeparateCents(index)) {
        amount.value += m_tokens[index + 2].number.value / 100;
        index += 2;
      }
      m_amounts.push_back(amount);
    }
  }

  // A dash or a word such as "to" or "bis", and currencies, between two amounts.
  bool RangeBetween(size_t from, size_t to) const {
    int marks = 0;
    for (size_t index = from + 1; index < to; ++index) {
      const Kind kind = m_tokens[index].kind;
      if (kind == Kind::kCurrency) continue;
      if (kind == Kind::kDash || (kind == Kind::kWord && RangeWord(Text(index)))) {
        ++marks;
        continue;
      }
      return false;
    }
    return marks == 1;
  }

  static bool RangeWord(const std::string& word) {
    for (const char* range : {"to", "bis", "à", "a", "até", "au", "до", "إلى"})
      if (word == range) return true;
    return false;
  }

  // "10 - 20 €", "€10 – €20": one amount, the low end, with the currency of
  // either end. Without a currency "555-1234" is no range.
  void JoinRanges() {
    for (size_t a = 0; a + 1 < m_amounts.size(); ++a) {
      Amount& low = m_amounts[a];
      const Amount& high = m_amounts[a + 1];
      if (low.currency.empty() && high.currency.empty()) continue;
      if (high.value < low.value || !RangeBetween(low.token, high.token)) continue;
      if (low.currency.empty()) low.currency = high.currency;
      low.range = true;
      m_amounts.erase(m_amounts.begin() + static_cast<long>(a) + 1);
    }
  }

  // A number without a currency reads as a price only when it stands alone
  // or after a label ("Preis: 99"): "set of 3", "(304)" reviews and long ids
  // are no prices.
  bool LoneNumber(size_t index) const {
    for (size_t k = 0; k < m_tokens.size(); ++k) {
      if (m_tokens[k].kind != Kind::kWord) continue;
      if (k > index) return false;
      if (m_text[m_tokens[index - 1].begin] != ':') return false;
    }
    if (index > 0 && Is(index - 1, Kind::kOpen) && Is(index + 1, Kind::kClose)) return false;
    const ScannedNumber& number = m_tokens[index].number;
    const char first = m_text[m_tokens[index].begin];
    return !(number.plain && (number.digits >= 8 || (first == '0' && number.digits > 1)));
  }

  std::string m_text;
  std::vector<Token> m_tokens;
  std::vector<Amount> m_amounts;
  int m_otherNumbers = 0;
};

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A shop rule's text as the extraction steps always read it ("," dropped,
// the leading decimal number), except for groupings that reading gets
// plainly wrong: blanks or "'" between thousands, "." grouping thousands
// before a decimal comma or more than once.
PriceText ReadRuleText(std::string_view text) {
  PriceText price;
  std::string plain(text);
  plain.erase(std::remove(plain.begin(), plain.end(), ','), plain.end());
  price.value = ReadNumber(plain);
  size_t at = 0;
  while (at < text.size() && IsAsciiSpace(text[at])) ++at;
  price.found = price.value != 0 || IsDigit(text, at);
  if (IsDigit(text, at)) {
    const ScannedNumber number = ScanNumber(text, at);
    const bool misread =
        number.grouping == ' ' || number.grouping == '\'' ||
        (number.grouping == '.' && (number.separators >= 2 || number.decimal == ','));
    if (number.valid && misread) price.value = number.value;
  }
  price.amounts = price.found ? 1 : 0;
  return price;
}

// schema.org numbers: digits with "." before the decimals and nothing else.
PriceText ReadMachineText(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsAsciiSpace(text[first])) ++first;
  while (last > first && IsAsciiSpace(text[last - 1])) --last;
  const std::string_view number = text.substr(first, last - first);
  PriceText price;
  if (number.empty() || number[0] == '-' || number[0] == '+') return price;
  const bool digitsOnly = std::all_of(number.begin(), number.end(),
                                      [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
                          std::count(number.begin(), number.end(), '.') <= 1;
  if (digitsOnly && number != ".") {
    const std::string plain = "0" + std::string(number);
    std::from_chars(plain.data(), plain.data() + plain.size(), price.value);
    price.found = true;
    price.amounts = 1;
    return price;
  }
  for (size_t at = 0; at + 1 < number.size(); ++at)
    if (IsDigit(number, at) && (number[at + 1] == 'e' || number[at + 1] == 'E')) return price;
  return ShownText(number).Read();
}

}  // namespace

PriceText ReadPriceText(std::string_view text, PriceNotation notation) {
  switch (notation) {
    case PriceNotation::kRule:
      return ReadRuleText(text);
    case PriceNotation::kMachine:
      return ReadMachineText(text);
    case PriceNotation::kShown:
      break;
  }
  return ShownText(text).Read();
}
