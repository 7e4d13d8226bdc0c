#pragma once

// Pictures drawn by the tests themselves: price images, digit templates and
// small animations, encoded as PNG, JPEG or GIF.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/image.h"

// RGBA pixels, rows top-down as in the files.
class DrawnImage {
 public:
  DrawnImage(int width, int height, ImageColor fill);
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Row y counted from the top.
  void Set(int x, int y, ImageColor color);
  ImageColor Get(int x, int y) const;
  const uint8_t* Rgba() const { return m_rgba.data(); }

 private:
  int m_width;
  int m_height;
  std::vector<uint8_t> m_rgba;
};

// Rows of '#' (ink) and '.' (paper), top row first, all of one length.
using Glyph = std::vector<std::string>;
using Font = std::map<char, Glyph>;

// Digits '0'..'9' (7 x 11; "8" is "0" with a two-pixel stub at columns 4 and
// 5 of the seventh row from the bottom), '.' (2 wide), 'Y' (a currency
// sign) and 'T' (a second drawing of "3").
const Font& TestFont();

struct TextStyle {
  ImageColor ink{204, 0, 0, 255};
  ImageColor paper{255, 255, 255, 255};
  int gap = 2;     // blank columns between glyphs
  int left = 1;    // blank columns before the first glyph
  int right = 1;   // blank columns after the last glyph
  int top = 1;     // blank rows above the glyphs
  int bottom = 1;  // blank rows below the glyphs
};

// The characters of `text` side by side, bottom-aligned.
DrawnImage DrawText(const std::string& text, const TextStyle& style = {},
                    const Font& font = TestFont());
DrawnImage DrawGlyphs(const std::vector<Glyph>& glyphs, const TextStyle& style = {});
// A digit template as the reader expects it: the glyph from its first inked
// column, with the same rows above and below as DrawText's price images.
DrawnImage DrawTemplate(const Glyph& glyph, const TextStyle& style = {});

std::string EncodePng(const DrawnImage& image);
std::string EncodeJpeg(const DrawnImage& image, int quality = 95);

struct GifFrame {
  const DrawnImage* image;
  int delayCentiseconds = 10;
  int disposal = 1;  // 1 keep, 2 background, 3 restore the previous picture
  // Pixels of this colour are written transparent; alpha 0 disables it.
  ImageColor transparent{};
};
// Every frame covers the whole picture; at most 127 colours over all frames.
std::string EncodeGif(const std::vector<GifFrame>& frames);
std::string EncodeGif(const DrawnImage& image);

// Writes a picture in the format of `type` ("png", "gif" or "jpg").
void WriteImage(const std::string& path, const DrawnImage& image, const std::string& type);
