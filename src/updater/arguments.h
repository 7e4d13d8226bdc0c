#pragma once

#include <string>
#include <vector>

// The command line of `update`: program name, installed program version,
// installed shop-rule version and the address of update.ini, as the main
// program passes them.
struct UpdaterArguments {
  std::string programName;  // also the section of update.ini
  std::string version;
  std::string siteVersion;
  std::string infoUrl;
};

// The start checks in their order. 0 when the update may run (and `out` is
// filled); otherwise the string id of the message to show before ending:
// no network, fewer than four arguments, or an address that is not http.
unsigned CheckStart(const std::vector<std::string>& arguments, bool online, UpdaterArguments& out);

// True for "http://host[:port][/path]" with a host and, if given, a port of
// 1 to 65535; the scheme is compared without regard to case.
bool IsHttpAddress(const std::string& url);

// The address of a file of the update folder: the update.ini address with its
// last "update.ini" replaced by `relative` (the address itself when it names
// no update.ini).
std::string UpdateFolderFile(const std::string& infoUrl, const std::string& relative);

// A version text read as a decimal number the way atof reads it (leading
// blanks, sign, digits, one point, exponent), whatever the locale; 0 when it
// starts with no number.
double DecimalValue(const std::string& text);
