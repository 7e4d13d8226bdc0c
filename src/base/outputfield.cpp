#include "base/outputfield.h"

#include <cstdio>

#include "base/codepage.h"

namespace {

std::string Escape(const std::string& utf8, bool keepLayout) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(utf8[i]);
    char hex[8];
    if (keepLayout && (byte == '\t' || byte == '\r' || byte == '\n')) {
      out += utf8[i];
    } else if (byte == '\\' && !keepLayout) {
      out += "\\\\";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned char>(utf8[++i]));
      out += hex;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

}  // namespace

std::string EscapeOutputField(const std::string& utf8) { return Escape(utf8, false); }

std::string TerminalSafeText(const std::string& utf8) { return Escape(utf8, true); }

std::string LocalOutputField(const std::string& local) {
  return EscapeOutputField(LocalToUtf8(local));
}
