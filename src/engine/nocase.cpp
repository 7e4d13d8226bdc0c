#include "engine/nocase.h"

namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

char FoldAscii(unsigned char c) {
  return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(c) && i + 1 < folded.size())
      ++i;  // keep the pair
    else
      folded[i] = FoldAscii(c);
  }
  return folded;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x) && i + 1 < a.size()) {
      // A double-byte character in both, compared byte for byte.
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(x) != FoldAscii(y)) {
      return false;
    }
  }
  return true;
}
