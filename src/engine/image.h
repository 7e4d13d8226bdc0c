#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The picture formats the program reads. Saving keeps the format a picture was
// read in, except that a GIF is written as PNG (readers go by the content).
enum class ImageFormat { kUnknown, kPng, kJpeg, kGif };

// "png", "jpg"/"jpeg" and "gif" without regard to case; kUnknown otherwise.
ImageFormat ImageFormatFromType(const std::string& type);
// The format the bytes start like, or kUnknown.
ImageFormat DetectImageFormat(const void* data, size_t size);

struct ImageColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 0;
  bool operator==(const ImageColor&) const = default;
};

// A decoded picture: one frame, or every frame of an animated GIF. Rows are
// addressed from the bottom edge (row 0 is the bottom row), as the price-image
// reader and the product pictures expect; Pixels() gives the raw rows top-down
// for drawing.
class CImage {
 public:
  // Pictures larger than this are refused before they are decoded, so that a
  // hostile header cannot make us allocate gigabytes.
  static constexpr int kMaxSide = 16384;
  static constexpr size_t kMaxFrameBytes = 100u << 20;
  // Frames of an animation beyond this total are dropped.
  static constexpr size_t kMaxTotalBytes = 256u << 20;

  // `format` kUnknown takes whatever the content is; any other format refuses
  // content of a different one. On failure the picture is empty (not valid).
  bool Load(const std::string& path, ImageFormat format = ImageFormat::kUnknown);
  bool LoadFromMemory(const void* data, size_t size, ImageFormat format = ImageFormat::kUnknown);
  bool LoadFromMemory(const std::string& bytes, ImageFormat format = ImageFormat::kUnknown) {
    return LoadFromMemory(bytes.data(), bytes.size(), format);
  }
  void Clear();

  bool IsValid() const { return !m_frames.empty(); }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  ImageFormat Format() const { return m_format; }

  int FrameCount() const { return static_cast<int>(m_frames.size()); }
  int Frame() const { return m_frame; }
  bool SetFrame(int index);
  // Display time of a frame in milliseconds (0 for still pictures).
  int FrameDelay(int index) const;

  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
  // The colour at column x, row y counted from the bottom, of the current
  // frame; transparent black outside the picture.
  ImageColor GetPixelColor(int x, int y) const;
  // RGBA bytes of the current frame, Width() * 4 per row, top row first.
  const uint8_t* Pixels() const;

  // Scales every frame to width x height (both at least 1).
  bool Resample(int width, int height);

  // The file bytes Save writes: PNG for PNG and GIF pictures, JPEG for JPEG.
  bool Encode(std::string& bytes) const;
  bool Save(const std::string& path) const;

 private:
  int m_width = 0;
  int m_height = 0;
  ImageFormat m_format = ImageFormat::kUnknown;
  int m_frame = 0;
  std::vector<std::vector<uint8_t>> m_frames;
  std::vector<int> m_delays;
};
