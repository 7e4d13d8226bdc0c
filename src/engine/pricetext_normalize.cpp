// Brings the many ways of writing digits, blanks and dashes down to one, so
// that the price grammar needs to know only ASCII.
#include <string>

#include "engine/pricetext_internal.h"

namespace {

// The code point of the UTF-8 character at `at` and its length; a broken
// byte counts as one character of its own.
char32_t Decode(std::string_view text, size_t at, size_t& length) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (at + length > text.size() || length == 1) {
    length = 1;
    return lead;
  }
  char32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      length = 1;
      return lead;
    }
    code = code << 6 | (next & 0x3F);
  }
  return code;
}

// Code points that stand for an ASCII mark of the grammar; kDrop marks
// invisible ones (direction marks, zero-width spaces, soft hyphens).
constexpr char kDrop = 1;
struct Mapped {
  char32_t from;
  char to;
};
constexpr Mapped kMapped[] = {

    {U'\u00A0', ' '},   {U'\u1680', ' '},   {U'\u202F', ' '},   {U'\u205F', ' '},
    {U'\u3000', ' '},   {U'\u200B', kDrop}, {U'\u200C', kDrop}, {U'\u200D', kDrop},
    {U'\u200E', kDrop}, {U'\u200F', kDrop}, {U'\u061C', kDrop}, {U'\u2060', kDrop},
    {U'\uFEFF', kDrop}, {U'\u00AD', kDrop}, {U'\u2019', '\''},  {U'\u02BC', '\''},
    {U'\u2032', '\''},  {U'\u00B4', '\''},  {U'\u2212', '-'},   {U'\uFE63', '-'},
    {U'\uFF0D', '-'},   {U'\uFF5E', '-'},   {U'\u301C', '-'},   {U'\u066B', '.'},
    {U'\uFF0E', '.'},   {U'\u066C', ','},   {U'\uFF0C', ','},   {U'\u066A', '%'},
    {U'\uFF05', '%'},   {U'\uFF04', '$'},   {U'\uFF1A', ':'},   {U'\uFF08', '('},
    {U'\uFF09', ')'},   {U'\uFF0F', '/'},
};

// What a code point stands for in the grammar: an ASCII character, kDrop,
// or 0 for "keep it as written".
char Replacement(char32_t c) {
  if (c < 0x80) {
    if (c == ' ' || (c >= '\t' && c <= '\r')) return ' ';
    return c == '~' ? '-' : c == '`' ? '\'' : static_cast<char>(c);
  }
  for (char32_t zero : {U'\u0660', U'\u06F0', U'\u0966', U'\uFF10'})
    if (c >= zero && c <= zero + 9) return static_cast<char>('0' + (c - zero));
  if (c >= U'\u2000' && c <= U'\u200A') return ' ';
  if (c >= U'\u2010' && c <= U'\u2015') return '-';
  for (const Mapped& mapped : kMapped)
    if (mapped.from == c) return mapped.to;
  return 0;
}

}  // namespace

std::string NormalizePriceText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    size_t length = 1;
    const char32_t c = Decode(utf8, at, length);
    const char ascii = Replacement(c);
    if (ascii == ' ') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else if (ascii != kDrop && ascii != 0) {
      out += ascii;
    } else if (ascii == 0) {
      out.append(utf8.substr(at, length));
    }
    at += length;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}
