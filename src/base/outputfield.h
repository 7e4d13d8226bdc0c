#pragma once

#include <string>

// Values printed on the tab-separated lines of the command line come from
// pages and files. Escaped, a value stays one column of one line and sends no
// control sequence to a terminal: "\" becomes "\\", TAB "\t", CR "\r", LF
// "\n", every other control character (0x00-0x1F, 0x7F) "\xHH" and a C1
// control in UTF-8 (U+0080-U+009F) "\u00HH". Other text stays as it is.
inline constexpr const char* kOutputFieldHelp =
    "Values on tab-separated lines are escaped: \\ as \\\\, TAB as \\t, CR as \\r,\n"
    "LF as \\n, other control characters as \\xHH (C1 controls as \\u00HH).\n";

std::string EscapeOutputField(const std::string& utf8);
// The same for a whole text shown on a terminal: TAB, CR and LF stay, so that
// its lines and columns do.
std::string TerminalSafeText(const std::string& utf8);
// EscapeOutputField of a text in the local code page.
std::string LocalOutputField(const std::string& local);
