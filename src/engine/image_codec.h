#pragma once

// The codec layer under CImage: the only code that talks to stb.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/image.h"

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> frames;  // RGBA, top row first
  std::vector<int> delays;                   // milliseconds, one per frame
};

// Decodes PNG, JPEG or GIF (every frame) after checking the size in the
// header against CImage's limits.
bool DecodeImageBytes(const uint8_t* data, size_t size, ImageFormat format, DecodedImage& out);

// PNG or JPEG file bytes of an RGBA picture.
bool EncodeImageBytes(const uint8_t* rgba, int width, int height, ImageFormat format,
                      std::string& out);

bool ResizeRgba(const uint8_t* in, int width, int height, uint8_t* out, int newWidth,
                int newHeight);
