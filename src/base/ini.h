#pragma once

#include <string>

// INI files read and written by the rules of the Windows profile functions:
// section and key names compare without regard to ASCII case; a missing file,
// section or key gives the default; values are trimmed of blanks and of one
// pair of enclosing quotes; a write creates the file, section and key as
// needed and keeps every other line as it was. Writes are atomic, and a new
// file is readable by its owner only (config.ini holds the account).
//
// Every file is parsed once and read again only when it changed (its
// FileStamp): config.ini is asked for each setting and host of every pass.

std::string IniGetString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue);

// The default when the key is missing; otherwise the leading decimal number of
// the value, 0 when there is none (an empty value gives 0).
int IniGetInt(const std::string& file, const std::string& section, const std::string& key,
              int defaultValue);

// How many times an INI file was read from the disk, for tests and
// benchmarks that count them.
unsigned long IniFileReads();

// False when the text holds a CR, LF or NUL: written into a line it would end
// the line early and could add sections or keys of its own.
bool IniTextWritable(const std::string& text);

// Refuses (false, file untouched) a section, key or value that is not
// IniTextWritable.
bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
// Removes the key's line; true when the file is as wanted afterwards.
bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key);
// Removes the section header and every line of the section.
bool IniDeleteSection(const std::string& file, const std::string& section);
