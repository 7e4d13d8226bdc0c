#include "support/drawn_images.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <stb_image_write.h>

DrawnImage::DrawnImage(int width, int height, ImageColor fill)
    : m_width(width), m_height(height), m_rgba(static_cast<size_t>(width) * height * 4) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) Set(x, y, fill);
  }
}

void DrawnImage::Set(int x, int y, ImageColor c) {
  uint8_t* p = &m_rgba[(static_cast<size_t>(y) * m_width + x) * 4];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
  p[3] = c.a;
}

ImageColor DrawnImage::Get(int x, int y) const {
  const uint8_t* p = &m_rgba[(static_cast<size_t>(y) * m_width + x) * 4];
  return ImageColor{p[0], p[1], p[2], p[3]};
}

const Font& TestFont() {
  static const Font font = {
      {'0',
       {"#######", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#",
        "#.....#", "#.....#", "#######"}},
      {'1',
       {"...#...", "..##...", ".#.#...", "...#...", "...#...", "...#...", "...#...", "...#...",
        "...#...", "...#...", ".#####."}},
      {'2',
       {".#####.", "#.....#", "......#", "......#", ".....#.", "....#..", "...#...", "..#....",
        ".#.....", "#......", "#######"}},
      {'3',
       {"######.", "......#", "......#", "......#", "..####.", "......#", "......#", "......#",
        "......#", "......#", "######."}},
      {'4',
       {"....##.", "...#.#.", "..#..#.", ".#...#.", "#....#.", "#######", ".....#.", ".....#.",
        ".....#.", ".....#.", ".....#."}},
      {'5',
       {"#######", "#......", "#......", "#......", "######.", "......#", "......#", "......#",
        "......#", "#.....#", ".#####."}},
      {'6',
       {"..####.", ".#.....", "#......", "#......", "######.", "#.....#", "#.....#", "#.....#",
        "#.....#", "#.....#", ".#####."}},
      {'7',
       {"#######", "......#", ".....#.", ".....#.", "....#..", "....#..", "...#...", "...#...",
        "..#....", "..#....", "..#...."}},
      {'8',
       {"#######", "#.....#", "#.....#", "#.....#", "#...###", "#.....#", "#.....#", "#.....#",
        "#.....#", "#.....#", "#######"}},
      {'9',
       {".#####.", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", ".######", "......#",
        "......#", ".....#.", ".####.."}},
      {'.', {"..", "..", "..", "..", "..", "..", "..", "..", "..", "##", "##"}},
      {'Y',
       {"#.....#", ".#...#.", "..#.#..", "...#...", "#######", "...#...", "#######", "...#...",
        "...#...", "...#...", "...#..."}},
      {'T',
       {".####..", "#....#.", ".....#.", ".....#.", "...##..", ".....#.", "......#", "......#",
        "......#", "#.....#", ".#####."}},
  };
  return font;
}

DrawnImage DrawGlyphs(const std::vector<Glyph>& glyphs, const TextStyle& style) {
  int width = style.left + style.right;
  int glyphHeight = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    width += static_cast<int>(glyphs[i][0].size()) + (i ? style.gap : 0);
    glyphHeight = std::max(glyphHeight, static_cast<int>(glyphs[i].size()));
  }
  int height = style.top + glyphHeight + style.bottom;
  DrawnImage image(std::max(width, 1), std::max(height, 1), style.paper);
  int x0 = style.left;
  for (const Glyph& glyph : glyphs) {
    int y0 = height - style.bottom - static_cast<int>(glyph.size());
    for (size_t row = 0; row < glyph.size(); ++row) {
      for (size_t col = 0; col < glyph[row].size(); ++col) {
        if (glyph[row][col] == '#') image.Set(x0 + col, y0 + row, style.ink);
      }
    }
    x0 += static_cast<int>(glyph[0].size()) + style.gap;
  }
  return image;
}

DrawnImage DrawText(const std::string& text, const TextStyle& style, const Font& font) {
  std::vector<Glyph> glyphs;
  for (char c : text) glyphs.push_back(font.at(c));
  return DrawGlyphs(glyphs, style);
}

DrawnImage DrawTemplate(const Glyph& glyph, const TextStyle& style) {
  // The reader lays a template on a glyph's first inked column.
  size_t first = 0;
  auto inked = [&glyph](size_t col) {
    for (const std::string& row : glyph) {
      if (row[col] == '#') return true;
    }
    return false;
  };
  while (first + 1 < glyph[0].size() && !inked(first)) ++first;
  Glyph trimmed;
  for (const std::string& row : glyph) trimmed.push_back(row.substr(first));
  TextStyle tight = style;
  tight.left = 0;
  tight.right = 0;
  return DrawGlyphs({trimmed}, tight);
}

namespace {

void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
}

void Put16(std::string& out, int value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

uint32_t Key(ImageColor c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

// LZW with 7-bit literals only: every code is one byte wide, and a clear code
// every 100 codes keeps the decoder from widening its codes.
void PutPixels(std::string& out, const std::vector<uint8_t>& indexes) {
  constexpr int kClear = 128;
  constexpr int kEnd = 129;
  std::string codes;
  for (size_t i = 0; i < indexes.size(); ++i) {
    if (i % 100 == 0) codes += static_cast<char>(kClear);
    codes += static_cast<char>(indexes[i]);
  }
  codes += static_cast<char>(kEnd);
  out += static_cast<char>(7);  // minimum code size
  for (size_t pos = 0; pos < codes.size(); pos += 255) {
    std::string block = codes.substr(pos, 255);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
}

}  // namespace

std::string EncodePng(const DrawnImage& image) {
  std::string out;
  if (!stbi_write_png_to_func(Append, &out, image.Width(), image.Height(), 4, image.Rgba(),
                              image.Width() * 4)) {
    throw std::runtime_error("PNG encoding failed");
  }
  return out;
}

std::string EncodeJpeg(const DrawnImage& image, int quality) {
  std::string out;
  if (!stbi_write_jpg_to_func(Append, &out, image.Width(), image.Height(), 4, image.Rgba(),
                              quality)) {
    throw std::runtime_error("JPEG encoding failed");
  }
  return out;
}

std::string EncodeGif(const std::vector<GifFrame>& frames) {
  // One palette of 128 entries for all frames; the last entry is reserved
  // for transparency.
  constexpr int kTransparentIndex = 127;
  std::map<uint32_t, uint8_t> palette;
  std::string table(128 * 3, '\0');
  for (const GifFrame& frame : frames) {
    for (int y = 0; y < frame.image->Height(); ++y) {
      for (int x = 0; x < frame.image->Width(); ++x) {
        ImageColor c = frame.image->Get(x, y);
        if (palette.count(Key(c))) continue;
        if (palette.size() >= kTransparentIndex) throw std::runtime_error("too many colours");
        uint8_t index = static_cast<uint8_t>(palette.size());
        palette[Key(c)] = index;
        table[index * 3] = static_cast<char>(c.r);
        table[index * 3 + 1] = static_cast<char>(c.g);
        table[index * 3 + 2] = static_cast<char>(c.b);
      }
    }
  }
  int width = frames.at(0).image->Width();
  int height = frames.at(0).image->Height();
  std::string out = "GIF89a";
  Put16(out, width);
  Put16(out, height);
  out += static_cast<char>(0xf6);  // global table of 2^(6+1) entries
  out += '\0';                     // background colour index
  out += '\0';                     // aspect ratio
  out += table;
  if (frames.size() > 1) {
    out += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0", 19);
  }
  for (const GifFrame& frame : frames) {
    bool transparent = frame.transparent.a != 0;
    out += "\x21\xf9\x04";
    out += static_cast<char>((frame.disposal << 2) | (transparent ? 1 : 0));
    Put16(out, frame.delayCentiseconds);
    out += static_cast<char>(kTransparentIndex);
    out += '\0';
    out += '\x2c';
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, width);
    Put16(out, height);
    out += '\0';  // no local table, not interlaced
    std::vector<uint8_t> indexes;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ImageColor c = frame.image->Get(x, y);
        bool clear = transparent && Key(c) == Key(frame.transparent);
        indexes.push_back(clear ? kTransparentIndex : palette.at(Key(c)));
      }
    }
    PutPixels(out, indexes);
  }
  out += '\x3b';
  return out;
}

std::string EncodeGif(const DrawnImage& image) { return EncodeGif({GifFrame{&image}}); }

void WriteImage(const std::string& path, const DrawnImage& image, const std::string& type) {
  std::string bytes = type == "gif"   ? EncodeGif(image)
                      : type == "jpg" ? EncodeJpeg(image)
                                      : EncodePng(image);
  std::ofstream(path, std::ios::binary) << bytes;
}
