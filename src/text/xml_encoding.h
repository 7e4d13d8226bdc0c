#pragma once

#include <span>
#include <string>
#include <string_view>

// Encoding names as they appear in XML declarations and HTML meta elements,
// mapped to Windows code page numbers, and code pages mapped to the names
// iconv knows them by.

inline constexpr int kAnsiCodePage = 936;
inline constexpr int kUtf8CodePage = 65001;
inline constexpr int kUtf16LECodePage = 1200;
inline constexpr int kUtf16BECodePage = 1201;
inline constexpr int kUtf32CodePage = 65005;

struct EncodingName {
  const char* name;  // lower case
  int codePage;
};

struct IconvCodePage {
  int codePage;
  const char* iconvName;  // nullptr when iconv has no converter for it
};

std::span<const EncodingName> EncodingNames();
std::span<const IconvCodePage> IconvCodePages();

// The code page of an encoding name (any case), 0 when unknown. Names of 100
// characters or more are unknown; every name that begins with "UTF-32" is
// 65005.
int EncodingCodePage(std::string_view name);
// nullptr when the code page is unknown or iconv cannot convert it.
const char* CodePageIconvName(int codePage);

// What the encoding detection found and did.
struct XmlDecodeResult {
  std::string text;  // in the local code page
  int docFlags = 0;  // XmlDocument::DocFlags
};

// Turns the bytes of a file into a local-code-page text: byte-order marks,
// the declared encoding (XML declaration or HTML meta element, first 1024
// bytes only), UTF-8 detection, zero characters removed. Notes go to `log`.
XmlDecodeResult DecodeXmlBytes(std::string_view bytes, std::string& log);

// The encoding declared in the first bytes of a document, "" when none.
std::string DeclaredEncoding(std::string_view head);

// The charset a Content-Type value names ("text/html; charset=gbk" gives
// "gbk"), without quotes; "" when it names none.
std::string CharsetOfContentType(std::string_view contentType);
// The charset the head of an HTML page declares in a meta element, either
// <meta charset="..."> or <meta http-equiv="Content-Type" content="...">;
// "" when none before the end of the head.
std::string HtmlCharsetDeclaration(std::string_view head);
