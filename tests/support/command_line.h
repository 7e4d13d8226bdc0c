#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

// The vantrelctl of this build (VANTREL_PROGRAM_DIR names its folder).
std::string VantrelctlPath();

// Runs a shell command line; returns what it wrote to standard output and
// sets `status` to its exit status (-1 when it did not exit normally).
std::string RunShell(const std::string& command, int& status);

// Runs the vantrelctl of this build with `arguments` (shell words), its
// output discarded; its exit status (-1 when it did not exit normally).
int RunVantrelctl(const std::string& arguments);

// Starts argv[0] with `argv` as a child of the test, with `actions` (may be
// null) applied to its files; its process id, or -1.
pid_t SpawnProgram(std::vector<std::string> argv,
                   const posix_spawn_file_actions_t* actions = nullptr);
