#pragma once

#include <string>

// The vantrelctl of this build (VANTREL_PROGRAM_DIR names its folder).
std::string VantrelctlPath();

// Runs a shell command line; returns what it wrote to standard output and
// sets `status` to its exit status (-1 when it did not exit normally).
std::string RunShell(const std::string& command, int& status);

// Runs the vantrelctl of this build with `arguments` (shell words), its
// output discarded; its exit status (-1 when it did not exit normally).
int RunVantrelctl(const std::string& arguments);
