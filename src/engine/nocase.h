#pragma once

#include <string>

// Comparison without regard to case as the local code page has it: ASCII
// letters fold, the two bytes of a double-byte character are compared as
// they are (a trail byte may look like a letter).
std::string FoldCase(const std::string& text);
bool EqualNoCase(const std::string& a, const std::string& b);
