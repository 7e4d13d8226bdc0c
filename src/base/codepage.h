#pragma once

#include <string>

// The program's own strings are in the local code page, which is GBK (code
// page 936) whatever the system locale says. This is the one place that
// converts between it, UTF-8 and UTF-16. A character the target cannot hold
// becomes "?"; so does a byte sequence that is invalid in the source.

inline constexpr const char* kLocalCodePage = "CP936";

std::string LocalToUtf8(const std::string& local);
std::string Utf8ToLocal(const std::string& utf8);
std::u16string LocalToUtf16(const std::string& local);
std::string Utf16ToLocal(const std::u16string& utf16);
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// Converts bytes between two encodings named as iconv names them. False when
// iconv knows one of the names not; `out` is then left empty.
bool ConvertEncoding(const std::string& in, const char* from, const char* to, std::string& out);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& bytes);
