#pragma once

#include <string>

// Removes the temporary files that WriteFileAtomic left in `folder` (names
// ending ".tmp<pid>_<n>") when the process that made them is no longer
// running: a process killed in the middle of a save leaves one behind.
// Returns how many were removed.
int SweepStaleTemporaries(const std::string& folder);
