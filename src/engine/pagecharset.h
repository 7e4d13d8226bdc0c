#pragma once

#include <string>

// A page read in its own character set, found the way a browser finds it:
// a byte-order mark, the charset of the reply's Content-Type, a UTF-16 body
// told by its zero bytes, a <meta> charset in the page's head, UTF-8 when the
// bytes are valid UTF-8, else GBK. Pages of shops without rules are read this
// way; shops with rules name their pages' character set in Encode.

struct PageText {
  std::string text;     // in the local code page, cut at a zero byte
  std::string charset;  // what it was read as: "utf-8", "gb18030", "utf-16le", "windows-1252" ...
  std::string source;   // "bom", "header", "utf-16 check", "meta", "utf-8 check" or "default"
  // When a page could not be read (text empty, bytes not): why, in the
  // local code page. A page that names a charset this program does not know
  // and whose bytes are not UTF-8 is refused rather than read as mojibake.
  std::string refused;
};

PageText DecodePage(const std::string& bytes, const std::string& contentType);
