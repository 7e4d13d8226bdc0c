#pragma once

#include <string>

#include "base/codepage.h"

// A command-line argument in the program's local code page: arguments come
// in UTF-8 from a terminal; anything that is not UTF-8 is taken as it is.
inline std::string ArgumentToLocal(const std::string& argument) {
  return IsValidUtf8(argument) ? Utf8ToLocal(argument) : argument;
}
