#include "updater/arguments.h"

#include <strings.h>

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "base/stringtable.h"

unsigned CheckStart(const std::vector<std::string>& arguments, bool online, UpdaterArguments& out) {
  if (!online) return IDS_NO_NETWORK;
  if (arguments.size() < 4) return IDS_UPD_BAD_ARGUMENTS;
  if (!IsHttpAddress(arguments[3])) return IDS_UPD_URL_NOT_HTTP;
  out = UpdaterArguments{arguments[0], arguments[1], arguments[2], arguments[3]};
  return 0;
}

bool IsHttpAddress(const std::string& url) {
  static const std::string kScheme = "http://";
  if (url.size() <= kScheme.size() || strncasecmp(url.c_str(), kScheme.c_str(), kScheme.size()))
    return false;
  size_t hostEnd = url.find_first_of("/?#", kScheme.size());
  std::string authority = url.substr(kScheme.size(), hostEnd - kScheme.size());
  if (authority.find('@') != std::string::npos) return false;
  size_t colon = authority.rfind(':');
  std::string host = authority.substr(0, colon);
  if (host.empty()) return false;
  for (char c : host)
    if (std::isspace(static_cast<unsigned char>(c))) return false;
  if (colon == std::string::npos) return true;
  std::string port = authority.substr(colon + 1);
  if (port.empty() || port.size() > 5) return false;
  for (char c : port)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  int number = std::atoi(port.c_str());
  return number >= 1 && number <= 65535;
}

std::string UpdateFolderFile(const std::string& infoUrl, const std::string& relative) {
  static const std::string kInfoName = "update.ini";
  size_t at = infoUrl.rfind(kInfoName);
  if (at == std::string::npos) return infoUrl;
  return infoUrl.substr(0, at) + relative + infoUrl.substr(at + kInfoName.size());
}

double DecimalValue(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  bool negative = false;
  if (start < text.size() && (text[start] == '+' || text[start] == '-')) {
    negative = text[start] == '-';
    ++start;
  }
  double value = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  // from_chars does not take a number that begins with its point, atof does.
  std::string padded;
  if (first != last && *first == '.') {
    padded = "0" + std::string(first, last);
    first = padded.data();
    last = padded.data() + padded.size();
  }
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc()) return 0;
  return negative ? -value : value;
}
