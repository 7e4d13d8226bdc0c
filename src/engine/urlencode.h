#pragma once

#include <string>

// Percent-encoding of every value put into a link: ASCII letters and digits
// are kept, white space becomes "%20", every other byte (each byte of a
// Chinese character, and "-", "_", ".", "~" too) becomes "%" and two
// upper-case hexadecimal digits.
std::string UrlEncode(const std::string& text);
