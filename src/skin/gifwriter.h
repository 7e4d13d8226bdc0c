#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small GIF89a writer: palette pictures, one or many frames, LZW-coded.
// Used for the digit templates and the updater's busy animation.

struct GifColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const GifColor&) const = default;
};

struct GifFrame {
  std::vector<uint8_t> indexes;  // width * height palette indexes, top row first
  int delayCentiseconds = 0;
};

struct GifPicture {
  int width = 0;
  int height = 0;
  std::vector<GifColor> palette;  // 1 to 256 colours
  int transparentIndex = -1;      // -1: no transparent colour
  std::vector<GifFrame> frames;   // more than one: an endlessly looping animation
};

// The file's bytes; empty when the picture is inconsistent (no frames, a
// frame of the wrong size, an index outside the palette).
std::string EncodeGif(const GifPicture& picture);

// The LZW code stream of GIF image data for the given minimum code size
// (2 to 8), before it is cut into sub-blocks.
std::string LzwCompress(const std::vector<uint8_t>& indexes, int minCodeSize);
