#include "engine/urlencode.h"

#include <string_view>

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else if (c == ' ' || (c >= '\t' && c <= '\r')) {
      out += "%20";
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string EncodeLinkForSending(const std::string& link) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kNotInLinks = "\"<>\\^`{|}";
  std::string sent;
  sent.reserve(link.size());
  for (char c : link) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || kNotInLinks.find(c) != std::string_view::npos) {
      sent += '%';
      sent += kHex[byte >> 4];
      sent += kHex[byte & 15];
    } else {
      sent += c;
    }
  }
  return sent;
}
