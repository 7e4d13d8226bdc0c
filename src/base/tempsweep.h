#pragma once

#include <ctime>
#include <set>
#include <string>

// Removes the temporary files that WriteFileAtomic left in `folder` (names
// ending ".tmp<pid>_<n>") when the process that made them is no longer
// running: a process killed in the middle of a save leaves one behind.
// Returns how many were removed.
int SweepStaleTemporaries(const std::string& folder);

// Removes the regular files of `folder` named STEM + `suffix` whose STEM is
// not in `kept` and which were last written before `writtenBefore`: the
// product files of an add that was killed before its task reached
// tasks.xml. The age spares an add that another process has under way.
// Returns how many were removed.
int SweepOrphans(const std::string& folder, const std::string& suffix,
                 const std::set<std::string>& kept, std::time_t writtenBefore);
