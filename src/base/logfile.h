#pragma once

#include <cstdint>
#include <string>

// Appends one line (a line feed is added) to a log that several processes
// write, such as notify.log: the line goes in with one write at the end of
// the file, so lines of different writers never overwrite each other. Once
// the log is larger than `limitBytes` it is started again, under its lock
// (path + ".lock"), so that no line written meanwhile is cut away; a writer
// that can't get the lock appends without starting again. A new log is
// readable by its owner only. False when nothing could be written.
bool AppendLogLine(const std::string& path, const std::string& line, int64_t limitBytes);
