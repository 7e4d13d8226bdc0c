#pragma once

#include <string>

// Percent-encoding of every value put into a link: ASCII letters and digits
// are kept, white space becomes "%20", every other byte (each byte of a
// Chinese character, and "-", "_", ".", "~" too) becomes "%" and two
// upper-case hexadecimal digits.
std::string UrlEncode(const std::string& text);

// A link as it may be sent: blanks, control bytes, bytes above 127 and the
// characters a link may not hold (" < > \\ ^ ` { | }) percent-encoded; every
// other byte, "%" included, stays. A "$goodsid" holding a blank no longer
// breaks the request.
std::string EncodeLinkForSending(const std::string& link);
