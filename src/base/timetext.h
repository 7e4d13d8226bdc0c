#pragma once

#include <ctime>
#include <string>

// Local time as "%d-%02d-%02d %02d:%02d:%02d": the stamp of tasks, history
// points and comparison records.
std::string FormatTimeText(std::time_t when);
std::string FormatNowText();

// Reads a text written by FormatTimeText back into seconds since 1970;
// false when the text is not of that form.
bool ParseTimeText(const std::string& text, std::time_t& when);

// The current time in seconds since 1970, as a decimal text (the "?t=" value).
std::string NowStamp();
