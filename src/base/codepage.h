#pragma once

#include <string>

// The program's own strings are in the local code page, which is GB18030
// whatever the system locale says: a superset of GBK (code page 936) that
// holds all of Unicode, so text from the web survives while every GBK file,
// rule and pattern keeps its bytes. This is the one place that converts
// between it, UTF-8 and UTF-16. A byte sequence that is invalid in the source
// becomes "?"; so does a character the target cannot hold.

inline constexpr const char* kLocalCodePage = "GB18030";

std::string LocalToUtf8(const std::string& local);
std::string Utf8ToLocal(const std::string& utf8);
std::u16string LocalToUtf16(const std::string& local);
std::string Utf16ToLocal(const std::u16string& utf16);
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// Converts bytes between two encodings named as iconv names them. False when
// iconv knows one of the names not; `out` is then left empty.
bool ConvertEncoding(const std::string& in, const char* from, const char* to, std::string& out);

// GBK text in the local code page. The two differ in one byte: GBK's single
// byte 0x80 is "€", which GB18030 spells with two. Older files and pages in
// GBK keep their "€" this way; everything else stays byte for byte.
std::string GbkToLocal(const std::string& gbk);

// The number of bytes (1, 2 or 4) of the local character that starts at
// `at`; 1 for a byte that starts no character. GB18030's four-byte forms
// hold ASCII digits as their second and fourth bytes.
size_t LocalCharLength(const char* text, size_t length, size_t at);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& bytes);
