#pragma once

#include <string>

// Points a program directory's config.ini (section "Hosts") at a server:
// every address of the program's own services below `base` (which ends in
// "/"). The other keys and sections of the file stay as they are.
bool PointProgramAt(const std::string& base, const std::string& configFile);
