#pragma once

#include <string>
#include <vector>

// Starts a program with the given arguments (argv[1] on), without a shell, in
// a session of its own and with stdin on /dev/null. A background thread
// reaps it, so no zombie stays behind however long we run. `program` without
// a "/" is looked up in PATH. True when the program was started.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments);
