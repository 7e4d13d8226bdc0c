#pragma once

#include <string>

// Moves a file that exists but could not be read out of the way, to
// path + ".bad-YYYYMMDD-HHMMSS" (local time), with "-2", "-3" ... when that
// name is taken: a name is never reused, so an older copy is never lost.
// Returns the new name, or "" when the file could not be moved.
std::string MoveAside(const std::string& path);
