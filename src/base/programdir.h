#pragma once

#include <string>

// The folder every file of the program lives in, with a trailing "/": the
// folder of the running executable, or the folder named by VANTREL_HOME.
std::string ProgramDirectory();

// ProgramDirectory() + relative, with any "\" in relative turned into "/" so
// that names written the Windows way still resolve.
std::string ProgramFile(const std::string& relative);
