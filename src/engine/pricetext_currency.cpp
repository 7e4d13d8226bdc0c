// The currencies the price-text reader knows: signs, local words and ISO
// codes, and the code each stands for.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/pricetext.h"
#include "engine/pricetext_internal.h"

namespace {

struct Currency {
  const char* written;
  const char* code;  // "" when several currencies write it so
  bool word;         // letters: only whole words count ("kr", not "kruh")
  CurrencySide side;
};

constexpr CurrencySide kBefore = CurrencySide::kBefore;
constexpr CurrencySide kAfter = CurrencySide::kAfter;
constexpr CurrencySide kEither = CurrencySide::kEither;

// Longer forms first where one begins another ("US$" before "$").
constexpr Currency kCurrencies[] = {
    {"US$", "USD", true, kBefore}, {"US $", "USD", true, kBefore}, {"CA$", "CAD", true, kBefore},
    {"C$", "CAD", true, kBefore},  {"C $", "CAD", true, kBefore},  {"AU$", "AUD", true, kBefore},
    {"A$", "AUD", true, kBefore},  {"NZ$", "NZD", true, kBefore},  {"HK$", "HKD", true, kBefore},
    {"NT$", "TWD", true, kBefore}, {"S$", "SGD", true, kBefore},   {"R$", "BRL", true, kBefore},
    {"MX$", "MXN", true, kBefore}, {"RD$", "DOP", true, kBefore},  {"$", "", false, kBefore},
    {"€", "EUR", false, kEither},  {"£", "GBP", false, kBefore},   {"¥", "", false, kBefore},
    {"￥", "", false, kBefore},    {"元", "CNY", false, kAfter},   {"圓", "TWD", false, kAfter},
    {"円", "JPY", false, kAfter},  {"₩", "KRW", false, kBefore},   {"원", "KRW", false, kAfter},
    {"₽", "RUB", false, kAfter}, {"руб.", "RUB", true, kAfter},  {"руб", "RUB", true, kAfter},
    {"р.", "RUB", true, kAfter},   {"₹", "INR", false, kBefore},   {"Rs.", "INR", true, kBefore},
    {"Rs", "INR", true, kBefore},  {"₨", "", false, kBefore},      {"zł", "PLN", true, kAfter},
    {"Kč", "CZK", true, kAfter},   {"kr.", "", true, kEither},     {"kr", "", true, kEither},
    {"Kr", "", true, kEither},     {"CHF", "CHF", true, kEither},  {"SFr.", "CHF", true, kEither},
    {"Fr.", "CHF", true, kEither}, {"₺", "TRY", false, kEither},   {"TL", "TRY", true, kAfter},
    {"₴", "UAH", false, kAfter},   {"грн.", "UAH", true, kAfter},  {"грн", "UAH", true, kAfter},
    {"₸", "KZT", false, kAfter},   {"тг.", "KZT", true, kAfter},   {"тг", "KZT", true, kAfter},
    {"Ft", "HUF", true, kAfter},   {"lei", "RON", true, kAfter},   {"Lei", "RON", true, kAfter},
    {"лв.", "BGN", true, kAfter},  {"лв", "BGN", true, kAfter},    {"Kn", "HRK", true, kAfter},
    {"kn", "HRK", true, kAfter},   {"₪", "ILS", false, kEither},   {"₫", "VND", false, kAfter},
    {"đ", "VND", true, kAfter},    {"₱", "PHP", false, kBefore},   {"฿", "THB", false, kEither},
    {"RM", "MYR", true, kBefore},  {"Rp", "IDR", true, kBefore},   {"₦", "NGN", false, kBefore},
    {"ر.س", "SAR", true, kAfter},  {"د.إ", "AED", true, kAfter},   {"RMB", "CNY", true, kEither},
};

// ISO 4217 codes seen on shop pages; written in capitals as whole words.
constexpr const char* kCodes[] = {
    "AED", "ARS", "AUD", "BGN", "BRL", "CAD", "CLP", "CNY", "COP", "CZK", "DKK", "EGP",
    "EUR", "GBP", "HKD", "HRK", "HUF", "IDR", "ILS", "INR", "ISK", "JPY", "KRW", "KZT",
    "MXN", "MYR", "NOK", "NZD", "PEN", "PHP", "PLN", "QAR", "RON", "RSD", "RUB", "SAR",
    "SEK", "SGD", "THB", "TRY", "TWD", "UAH", "USD", "VND", "ZAR",
};

bool IsLetterByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// A word stands alone: no letter touches it on either side. A form that
// ends in "." ends the word itself.
bool WholeWord(std::string_view text, size_t at, size_t length) {
  if (at > 0 && IsLetterByte(text[at - 1])) return false;
  const size_t end = at + length;
  return text[end - 1] == '.' || end >= text.size() || !IsLetterByte(text[end]);
}

// The currencies and codes by their first byte, longest first, so that
// most places of a text are passed over with one look.
struct Candidate {
  std::string_view written;
  bool word;
};
class CurrencyIndex {
 public:
  CurrencyIndex() {
    for (const Currency& currency : kCurrencies) Add({currency.written, currency.word});
    for (const char* code : kCodes) Add({code, true});
    for (auto& list : m_byFirst)
      std::stable_sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) {
        return a.written.size() > b.written.size();
      });
  }
  const std::vector<Candidate>& StartingWith(char c) const {
    return m_byFirst[static_cast<unsigned char>(c)];
  }

 private:
  void Add(Candidate candidate) {
    m_byFirst[static_cast<unsigned char>(candidate.written[0])].push_back(candidate);
  }
  std::vector<Candidate> m_byFirst[256];
};

}  // namespace

size_t CurrencyAt(std::string_view text, size_t at) {
  static const CurrencyIndex index;
  for (const Candidate& candidate : index.StartingWith(text[at])) {
    const size_t length = candidate.written.size();
    if (text.compare(at, length, candidate.written) != 0) continue;
    if (!candidate.word || WholeWord(text, at, length)) return length;
  }
  return 0;
}

CurrencySide SideOfCurrency(std::string_view written) {
  for (const Currency& currency : kCurrencies)
    if (written == currency.written) return currency.side;
  return CurrencySide::kEither;
}

std::string CurrencyCode(std::string_view written) {
  for (const Currency& currency : kCurrencies)
    if (written == currency.written) return currency.code;
  for (const char* code : kCodes)
    if (written == code) return code;
  return std::string();
}
