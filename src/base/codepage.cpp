#include "base/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace {

// iconv descriptors are expensive to open and not thread-safe, so each thread
// keeps its own, one per pair of encodings.
iconv_t DescriptorFor(const char* from, const char* to) {
  struct Closer {
    std::map<std::pair<std::string, std::string>, iconv_t> open;
    ~Closer() {
      for (auto& [names, cd] : open)
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  thread_local Closer cache;
  auto key = std::make_pair(std::string(from), std::string(to));
  auto it = cache.open.find(key);
  if (it == cache.open.end()) it = cache.open.emplace(key, iconv_open(to, from)).first;
  if (it->second != reinterpret_cast<iconv_t>(-1))
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);
  return it->second;
}

bool IsUtf16(const char* name) { return std::strncmp(name, "UTF-16", 6) == 0; }
bool IsUtf8(const char* name) { return std::strcmp(name, "UTF-8") == 0; }

// How many input bytes make up the undecodable character at `p`, so that it
// is replaced by one "?" rather than one per byte.
size_t BadCharacterLength(const char* from, const unsigned char* p, size_t left) {
  if (IsUtf16(from)) {
    if (left < 2) return left;
    bool bigEndian = std::strcmp(from, "UTF-16BE") == 0;
    auto unitAt = [&](size_t i) {
      return bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    };
    // A pair is skipped whole; a lone surrogate takes no neighbour with it.
    const bool pair = unitAt(0) >= 0xD800 && unitAt(0) <= 0xDBFF && left >= 4 &&
                      unitAt(2) >= 0xDC00 && unitAt(2) <= 0xDFFF;
    return pair ? 4 : 2;
  }
  if (IsUtf8(from)) {
    size_t n = p[0] >= 0xF0 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC0 ? 2 : 1;
    size_t i = 1;
    while (i < n && i < left && (p[i] & 0xC0) == 0x80) ++i;
    return i;
  }
  return 1;
}

std::string QuestionMark(const char* to) {
  if (std::strcmp(to, "UTF-16LE") == 0) return std::string("?\0", 2);
  if (std::strcmp(to, "UTF-16BE") == 0) return std::string("\0?", 2);
  return "?";
}

}  // namespace

bool ConvertEncoding(const std::string& in, const char* from, const char* to, std::string& out) {
  out.clear();
  iconv_t cd = DescriptorFor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.reserve(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[8192];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof(buffer);
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, sizeof(buffer) - dstLeft);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: a character that cannot be read or written here.
    size_t skip = BadCharacterLength(from, reinterpret_cast<unsigned char*>(src), srcLeft);
    src += skip;
    srcLeft -= skip;
    out += QuestionMark(to);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* dst = buffer;
  size_t dstLeft = sizeof(buffer);
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, sizeof(buffer) - dstLeft);
  return true;
}

namespace {

std::string Convert(const std::string& in, const char* from, const char* to) {
  std::string out;
  ConvertEncoding(in, from, to, out);
  return out;
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::u16string Utf16Text(const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
  return text;
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Local text as GB18030 converters read it: a "€" stored by a GBK version of
// the program as the single byte 0x80 reads as "€" still.
std::string Readable(const std::string& local) {
  return local.find('\x80') == std::string::npos ? local : GbkToLocal(local);
}

bool IsHighByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsDigitByte(unsigned char c) { return c >= 0x30 && c <= 0x39; }

}  // namespace

size_t LocalCharLength(const char* text, size_t length, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (at >= length || !IsHighByte(p[at]) || at + 1 >= length) return 1;
  if (!IsDigitByte(p[at + 1])) return 2;
  const bool four = at + 3 < length && IsHighByte(p[at + 2]) && IsDigitByte(p[at + 3]);
  return four ? 4 : 1;
}

std::string GbkToLocal(const std::string& gbk) {
  std::string local;
  local.reserve(gbk.size() + 8);
  for (size_t i = 0; i < gbk.size();) {
    if (gbk[i] == '\x80') {
      local += "\xA2\xE3";
      ++i;
      continue;
    }
    const size_t length = LocalCharLength(gbk.data(), gbk.size(), i);
    local.append(gbk, i, length);
    i += length;
  }
  return local;
}

std::string LocalToUtf8(const std::string& local) {
  return IsAscii(local) ? local : Convert(Readable(local), kLocalCodePage, "UTF-8");
}

std::string Utf8ToLocal(const std::string& utf8) {
  return IsAscii(utf8) ? utf8 : Convert(utf8, "UTF-8", kLocalCodePage);
}

std::u16string LocalToUtf16(const std::string& local) {
  return Utf16Text(Convert(Readable(local), kLocalCodePage, "UTF-16LE"));
}

std::string Utf16ToLocal(const std::u16string& utf16) {
  return Convert(Utf16Bytes(utf16), "UTF-16LE", kLocalCodePage);
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  return Utf16Text(Convert(utf8, "UTF-8", "UTF-16LE"));
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  return Convert(Utf16Bytes(utf16), "UTF-16LE", "UTF-8");
}

bool IsValidUtf8(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned min;
    if (c >= 0xC2 && c <= 0xDF)
      len = 2, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
      len = 3, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
      len = 4, min = 0x10000;
    else
      return false;
    if (i + len > n) return false;
    unsigned cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}
