// The one translation unit that holds the stb implementations.
#include "engine/image_codec.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// stb copies zero bytes from or to a null pointer in a few places (an empty
// first IDAT chunk, for one), which is undefined behaviour; inside stb every
// memcpy goes through this guard. The C headers stb uses are included above,
// so the macro touches only stb's own code.
static void* GuardedMemcpy(void* to, const void* from, size_t size) {
  return size ? std::memcpy(to, from, size) : to;
}
#define memcpy GuardedMemcpy

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>
#undef memcpy

static_assert(STBI_MAX_DIMENSIONS == CImage::kMaxSide);

namespace {

constexpr int kJpegQuality = 90;

bool SizeAllowed(int width, int height) {
  if (width <= 0 || height <= 0 || width > CImage::kMaxSide || height > CImage::kMaxSide) {
    return false;
  }
  return static_cast<size_t>(width) * static_cast<size_t>(height) * 4 <= CImage::kMaxFrameBytes;
}

// What decoding a GIF may cost, in canvas bytes over all its frames: every
// frame fills the whole canvas however small its own rectangle, so a file of
// a hundred bytes could otherwise ask for seconds of work. LZW codes at most
// about 2,700 pixels (11,000 canvas bytes) per byte of a frame that covers
// the canvas, so 16,384 per byte of file spares every honest picture.
size_t GifWorkBudget(size_t fileBytes) {
  constexpr size_t kFloor = 16u << 20;
  constexpr size_t kPerFileByte = 16384;
  const size_t scaled = fileBytes > CImage::kMaxTotalBytes / kPerFileByte
                            ? CImage::kMaxTotalBytes
                            : fileBytes * kPerFileByte;
  return std::min(CImage::kMaxTotalBytes, std::max(kFloor, scaled));
}

// stb's own frame loop hands the decoder a pointer two frames *before* its
// buffer for "restore to previous" disposal, which reads outside the heap
// block; this loop passes the frame two back instead and stops before the
// frame that would pass the budget (a canvas above it decodes nothing).
bool DecodeGifFrames(const uint8_t* data, int size, int width, int height, DecodedImage& out) {
  stbi__context context;
  stbi__start_mem(&context, data, size);
  if (!stbi__gif_test(&context)) return false;
  stbi__gif gif;
  std::memset(&gif, 0, sizeof(gif));
  const size_t budget = GifWorkBudget(static_cast<size_t>(size));
  const size_t canvas = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  size_t total = 0;
  for (;;) {
    if (total + canvas > budget) break;
    stbi_uc* twoBack = out.frames.size() >= 2 ? out.frames[out.frames.size() - 2].data() : nullptr;
    int comp = 0;
    stbi_uc* frame = stbi__gif_load_next(&context, &gif, &comp, 4, twoBack);
    if (!frame || frame == reinterpret_cast<stbi_uc*>(&context)) break;
    size_t bytes = static_cast<size_t>(gif.w) * static_cast<size_t>(gif.h) * 4;
    if (total + bytes > budget) break;
    total += bytes;
    out.frames.emplace_back(frame, frame + bytes);
    out.delays.push_back(gif.delay);
  }
  STBI_FREE(gif.out);
  STBI_FREE(gif.history);
  STBI_FREE(gif.background);
  out.width = gif.w;
  out.height = gif.h;
  return !out.frames.empty();
}

bool DecodeStill(const uint8_t* data, int size, DecodedImage& out) {
  int width = 0;
  int height = 0;
  int comp = 0;
  stbi_uc* pixels = stbi_load_from_memory(data, size, &width, &height, &comp, 4);
  if (!pixels) return false;
  size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  out.width = width;
  out.height = height;
  out.frames.emplace_back(pixels, pixels + bytes);
  out.delays.push_back(0);
  stbi_image_free(pixels);
  return true;
}

// The JPEG decoder trusts the symbol counts of a Huffman table and writes
// past its 256-entry arrays when they add up to more. Every place where a
// table definition could start is checked the way the decoder would read it.
bool JpegTablesSafe(const uint8_t* data, size_t size) {
  auto byteAt = [&](size_t pos) -> int { return pos < size ? data[pos] : 0; };
  for (size_t marker = 0; marker + 1 < size; ++marker) {
    if (data[marker] != 0xff || data[marker + 1] != 0xc4) continue;
    size_t pos = marker + 2;
    long remaining = (byteAt(pos) << 8 | byteAt(pos + 1)) - 2;
    pos += 2;
    while (remaining > 0 && pos < size) {
      int table = byteAt(pos);
      if ((table >> 4) > 1 || (table & 15) > 3) break;  // the decoder stops here
      long symbols = 0;
      for (int i = 1; i <= 16; ++i) symbols += byteAt(pos + i);
      if (symbols > 256) return false;
      pos += 17 + symbols;
      remaining -= 17 + symbols;
    }
  }
  return true;
}

void AppendBytes(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
}

}  // namespace

bool DecodeImageBytes(const uint8_t* data, size_t size, ImageFormat format, DecodedImage& out) {
  out = DecodedImage();
  if (!data || size == 0 || size > static_cast<size_t>(INT_MAX)) return false;
  int length = static_cast<int>(size);
  int width = 0;
  int height = 0;
  int comp = 0;
  if (format == ImageFormat::kJpeg && !JpegTablesSafe(data, size)) return false;
  if (!stbi_info_from_memory(data, length, &width, &height, &comp)) return false;
  if (!SizeAllowed(width, height)) return false;
  bool decoded = format == ImageFormat::kGif ? DecodeGifFrames(data, length, width, height, out)
                                             : DecodeStill(data, length, out);
  if (!decoded || !SizeAllowed(out.width, out.height)) {
    out = DecodedImage();
    return false;
  }
  return true;
}

bool EncodeImageBytes(const uint8_t* rgba, int width, int height, ImageFormat format,
                      std::string& out) {
  out.clear();
  if (!rgba || !SizeAllowed(width, height)) return false;
  int ok = format == ImageFormat::kJpeg
               ? stbi_write_jpg_to_func(AppendBytes, &out, width, height, 4, rgba, kJpegQuality)
               : stbi_write_png_to_func(AppendBytes, &out, width, height, 4, rgba, width * 4);
  if (!ok) out.clear();
  return ok != 0;
}

bool ResizeRgba(const uint8_t* in, int width, int height, uint8_t* out, int newWidth,
                int newHeight) {
  return stbir_resize_uint8_generic(in, width, height, 0, out, newWidth, newHeight, 0, 4, 3, 0,
                                    STBIR_EDGE_CLAMP, STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_LINEAR,
                                    nullptr) != 0;
}
