// The text helpers every XML reader and writer of the program shares.
#include <cstring>
#include <string>

#include "base/codepage.h"
#include "text/xml.h"
#include "text/xml_entities.h"

namespace {

// A reference may name at most this many characters between "&" and ";".
constexpr size_t kMaxReferenceName = 9;
constexpr uint32_t kMaxCodePoint = 0x10FFFF;

bool ParseNumber(std::string_view digits, int base, uint32_t& value) {
  if (digits.empty()) return false;
  value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    if (value > kMaxCodePoint) return false;
  }
  return true;
}

// The local form of one character; false when it has none.
bool CodePointToLocal(uint32_t code, std::string& out) {
  if (code == 0 || code > kMaxCodePoint || (code >= 0xD800 && code <= 0xDFFF)) return false;
  if (code < 0x80) {
    out.assign(1, static_cast<char>(code));
    return true;
  }
  std::u16string wide;
  if (code >= 0x10000) {
    code -= 0x10000;
    wide += static_cast<char16_t>(0xD800 + (code >> 10));
    wide += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    wide += static_cast<char16_t>(code);
  }
  out = Utf16ToLocal(wide);
  // The converter writes "?" for a character the local code page lacks.
  return !out.empty() && out != "?";
}

bool DecodeReference(std::string_view name, std::string& out) {
  uint32_t code = 0;
  if (!name.empty() && name[0] == '#') {
    std::string_view digits = name.substr(1);
    bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (!ParseNumber(hex ? digits.substr(1) : digits, hex ? 16 : 10, code)) return false;
  } else {
    code = NamedEntityCode(name);
  }
  return CodePointToLocal(code, out);
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  if (text.find_first_of("&<>'\"") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string XmlUnescape(std::string_view text) {
  size_t amp = text.find('&');
  if (amp == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  std::string decoded;
  while (amp != std::string_view::npos) {
    out.append(text.substr(done, amp - done));
    size_t limit = std::min(text.size(), amp + kMaxReferenceName + 2);
    size_t semicolon = text.substr(0, limit).find(';', amp + 1);
    if (semicolon != std::string_view::npos &&
        DecodeReference(text.substr(amp + 1, semicolon - amp - 1), decoded)) {
      out += decoded;
      done = semicolon + 1;
    } else {
      out += '&';
      done = amp + 1;
    }
    amp = text.find('&', done);
  }
  out.append(text.substr(done));
  return out;
}

std::string AnsiToUtf8(const std::string& ansi) { return LocalToUtf8(ansi); }

void AppendXmlElement(std::string& xml, const char* tag, const std::string& value) {
  xml += '<';
  xml += tag;
  xml += '>';
  xml += value;
  xml += "</";
  xml += tag;
  xml += '>';
}
