#pragma once

#include <map>
#include <string>

// Values of a request's query and form body, percent-decoded ("+" stays a
// plus: the program encodes blanks as %20). The first occurrence of a name
// wins; a body value wins over a query value of the same name.
using FormValues = std::map<std::string, std::string>;

std::string PercentDecode(const std::string& text);
// Adds the pairs of "a=1&b=2" to `values` (names already there are kept).
void ParseForm(const std::string& text, FormValues& values);
std::string FormValue(const FormValues& values, const std::string& name);

// What a value may be before the server stores or uses it: well-formed UTF-8
// without control characters, at most `maxBytes` long, and not empty unless
// allowed.
bool IsCleanText(const std::string& value, size_t maxBytes, bool allowEmpty = false);
// An e-mail address as the program's forms accept it: something, "@",
// something, ".", something; no blanks.
bool IsEmailAddress(const std::string& value);
// The encoded password: Base64 text, at most 200 characters.
bool IsEncodedPassword(const std::string& value);
// A product link: http:// or https://, clean text of at most 2048 bytes.
bool IsProductLink(const std::string& value);

// Limits of the values the server takes.
inline constexpr size_t kMaxEmailBytes = 254;
inline constexpr size_t kMaxNicknameBytes = 64;
inline constexpr size_t kMaxNameBytes = 1024;
// A request body larger than this is refused before it is read.
inline constexpr size_t kMaxRequestBodyBytes = 256 * 1024;
