#include "skin/gifwriter.h"

#include <unordered_map>

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeWidth = 12;

// Codes are packed from the least significant bit up, as GIF readers expect.
class BitWriter {
 public:
  void Put(int code, int width) {
    m_bits |= static_cast<uint32_t>(code) << m_count;
    m_count += width;
    while (m_count >= 8) {
      m_out += static_cast<char>(m_bits & 0xff);
      m_bits >>= 8;
      m_count -= 8;
    }
  }
  std::string Finish() {
    if (m_count > 0) m_out += static_cast<char>(m_bits & 0xff);
    m_bits = 0;
    m_count = 0;
    return std::move(m_out);
  }

 private:
  std::string m_out;
  uint32_t m_bits = 0;
  int m_count = 0;
};

void Put16(std::string& out, int value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

// Smallest n (at least 2, as the format requires) with 2^n >= colours.
int PaletteBits(size_t colours) {
  int bits = 2;
  while ((size_t{1} << bits) < colours) ++bits;
  return bits;
}

bool IsConsistent(const GifPicture& p) {
  if (p.width <= 0 || p.height <= 0 || p.width > 0xffff || p.height > 0xffff) return false;
  if (p.palette.empty() || p.palette.size() > 256 || p.frames.empty()) return false;
  if (p.transparentIndex >= static_cast<int>(p.palette.size())) return false;
  size_t pixels = static_cast<size_t>(p.width) * p.height;
  for (const GifFrame& frame : p.frames) {
    if (frame.indexes.size() != pixels) return false;
    for (uint8_t index : frame.indexes) {
      if (index >= p.palette.size()) return false;
    }
  }
  return true;
}

void PutSubBlocks(std::string& out, const std::string& data) {
  for (size_t pos = 0; pos < data.size(); pos += 255) {
    size_t length = std::min<size_t>(255, data.size() - pos);
    out += static_cast<char>(length);
    out.append(data, pos, length);
  }
  out += '\0';
}

}  // namespace

std::string LzwCompress(const std::vector<uint8_t>& indexes, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  int width = minCodeSize + 1;
  int next = clear + 2;
  // (prefix code << 8 | next index) -> code of that string.
  std::unordered_map<uint32_t, uint16_t> table;
  BitWriter bits;
  bits.Put(clear, width);
  // A reader adds its table entry one code later than the writer; widths
  // grow when the reader's table reaches the next power of two.
  auto grow = [&] {
    if (next > (1 << width) && width < kMaxCodeWidth) ++width;
  };
  if (!indexes.empty()) {
    int prefix = indexes[0];
    for (size_t i = 1; i < indexes.size(); ++i) {
      uint32_t key = (static_cast<uint32_t>(prefix) << 8) | indexes[i];
      auto found = table.find(key);
      if (found != table.end()) {
        prefix = found->second;
        continue;
      }
      bits.Put(prefix, width);
      if (next < kMaxCodes) {
        table.emplace(key, static_cast<uint16_t>(next++));
        grow();
      } else {
        bits.Put(clear, width);
        table.clear();
        width = minCodeSize + 1;
        next = clear + 2;
      }
      prefix = indexes[i];
    }
    bits.Put(prefix, width);
    // The reader adds one more entry on that last code before it reads the
    // end code.
    if (next < kMaxCodes) {
      ++next;
      grow();
    }
  }
  bits.Put(end, width);
  return bits.Finish();
}

std::string EncodeGif(const GifPicture& picture) {
  if (!IsConsistent(picture)) return "";
  const int bits = PaletteBits(picture.palette.size());
  std::string out = "GIF89a";
  Put16(out, picture.width);
  Put16(out, picture.height);
  out += static_cast<char>(0x80 | ((bits - 1) << 4) | (bits - 1));  // global table
  out += '\0';                                                      // background index
  out += '\0';                                                      // square pixels
  for (size_t i = 0; i < (size_t{1} << bits); ++i) {
    GifColor c = i < picture.palette.size() ? picture.palette[i] : GifColor{};
    out += static_cast<char>(c.r);
    out += static_cast<char>(c.g);
    out += static_cast<char>(c.b);
  }
  bool animated = picture.frames.size() > 1;
  if (animated) out += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0", 19);
  bool transparent = picture.transparentIndex >= 0;
  for (const GifFrame& frame : picture.frames) {
    if (animated || transparent) {
      out += "\x21\xf9\x04";
      // Disposal 2 (back to background) so that a transparent frame never
      // shows the one before it.
      out += static_cast<char>((animated ? 2 << 2 : 0) | (transparent ? 1 : 0));
      Put16(out, frame.delayCentiseconds);
      out += static_cast<char>(transparent ? picture.transparentIndex : 0);
      out += '\0';
    }
    out += '\x2c';
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, picture.width);
    Put16(out, picture.height);
    out += '\0';  // no local table, not interlaced
    out += static_cast<char>(bits);
    PutSubBlocks(out, LzwCompress(frame.indexes, bits));
  }
  out += '\x3b';
  return out;
}
