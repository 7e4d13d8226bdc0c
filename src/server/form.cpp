#include "server/form.h"

#include "base/codepage.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasControl(const std::string& value) {
  for (unsigned char c : value)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

}  // namespace

std::string PercentDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ParseForm(const std::string& text, FormValues& values) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(start, end - start);
    const size_t equals = pair.find('=');
    if (!pair.empty()) {
      std::string name = PercentDecode(pair.substr(0, equals));
      std::string value =
          equals == std::string::npos ? std::string() : PercentDecode(pair.substr(equals + 1));
      values.emplace(std::move(name), std::move(value));
    }
    start = end + 1;
  }
}

std::string FormValue(const FormValues& values, const std::string& name) {
  auto found = values.find(name);
  return found == values.end() ? std::string() : found->second;
}

bool IsCleanText(const std::string& value, size_t maxBytes, bool allowEmpty) {
  if (value.empty()) return allowEmpty;
  return value.size() <= maxBytes && IsValidUtf8(value) && !HasControl(value);
}

bool IsEmailAddress(const std::string& value) {
  if (!IsCleanText(value, kMaxEmailBytes) || value.find(' ') != std::string::npos) return false;
  const size_t at = value.find('@');
  if (at == 0 || at == std::string::npos) return false;
  const size_t dot = value.find('.', at + 2);
  return dot != std::string::npos && dot + 1 < value.size();
}

bool IsEncodedPassword(const std::string& value) {
  if (value.empty() || value.size() > 200) return false;
  for (char c : value) {
    bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '+' || c == '/' || c == '=';
    if (!base64) return false;
  }
  return true;
}

bool IsProductLink(const std::string& value) {
  if (!IsCleanText(value, 2048)) return false;
  return value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0;
}
