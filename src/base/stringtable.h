#pragma once

#include <string>

// Ids of the program's string table, named after what they say.
enum StringId : unsigned {
#define VANTREL_STRING(name, number, text) name = number,
#include "base/strings.inc"
#undef VANTREL_STRING
};

// The text of a string-table entry in the local code page; empty for an id
// the table does not hold.
std::string LoadString(unsigned id);

// The same text in UTF-8, for the windows and the command line.
std::string LoadStringUtf8(unsigned id);
