#include "server/replies.h"

#include <cstdio>

#include "base/codepage.h"

namespace {

void AppendEscape(std::string& out, unsigned int unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", unit & 0xffff);
  out += buffer;
}

}  // namespace

std::string JsonText(const std::string& utf8) {
  std::string out;
  for (char16_t unit : Utf8ToUtf16(utf8)) {
    if (unit >= 0x20 && unit < 0x7f && unit != '"' && unit != '\\') {
      out += static_cast<char>(unit);
    } else {
      AppendEscape(out, unit);
    }
  }
  return out;
}

std::string JsonLink(const std::string& link) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : link) {
    if (c > 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string HistoryReply(const std::vector<PricePoint>& points) {
  std::string out = "[";
  for (const PricePoint& point : points) {
    if (out.size() > 1) out += ',';
    out += "{\"t\":\"" + std::to_string(point.time) + "\",\"p\":\"" + JsonText(point.price) + "\"}";
  }
  return out + "]";
}

std::string ComparisonReply(const std::vector<Offer>& offers) {
  std::string out = "[";
  for (const Offer& offer : offers) {
    if (out.size() > 1) out += ',';
    out += "{\"title\":\"" + JsonText(offer.title) + "\",\"price\":\"" + JsonText(offer.price) +
           "\",\"url\":\"" + JsonLink(offer.url) + "\",\"site\":\"" + JsonText(offer.site) + "\"}";
  }
  return out + "]";
}
