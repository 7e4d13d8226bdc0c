#pragma once

#include <sys/types.h>

#include <string>

// The running programs of this user, found through /proc.

// The first process of the current user (other than this one) whose
// executable file is named `name`, compared without regard to ASCII case, and
// lies in `folder` (any folder when empty); -1 when there is none. A process
// whose executable was replaced on disk still counts.
pid_t FindRunningProgram(const std::string& name, const std::string& folder = std::string());

// Asks the process to end (SIGTERM) so that it can save its files, and kills
// it (SIGKILL) when it is still there after `graceMilliseconds`. True when the
// process is gone (or only a zombie waiting for its parent) afterwards.
bool EndProgram(pid_t pid, int graceMilliseconds = 5000);
