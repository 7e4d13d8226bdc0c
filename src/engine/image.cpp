#include "engine/image.h"

#include <strings.h>

#include <cstring>

#include "base/files.h"
#include "engine/image_codec.h"

ImageFormat ImageFormatFromType(const std::string& type) {
  const char* t = type.c_str();
  if (!strcasecmp(t, "png")) return ImageFormat::kPng;
  if (!strcasecmp(t, "jpg") || !strcasecmp(t, "jpeg")) return ImageFormat::kJpeg;
  if (!strcasecmp(t, "gif")) return ImageFormat::kGif;
  return ImageFormat::kUnknown;
}

ImageFormat DetectImageFormat(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  auto startsWith = [&](const char* magic, size_t length) {
    return bytes && size >= length && std::memcmp(bytes, magic, length) == 0;
  };
  if (startsWith("\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
  if (startsWith("\xff\xd8\xff", 3)) return ImageFormat::kJpeg;
  if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) return ImageFormat::kGif;
  return ImageFormat::kUnknown;
}

bool CImage::Load(const std::string& path, ImageFormat format) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    Clear();
    return false;
  }
  return LoadFromMemory(bytes, format);
}

bool CImage::LoadFromMemory(const void* data, size_t size, ImageFormat format) {
  Clear();
  ImageFormat found = DetectImageFormat(data, size);
  if (found == ImageFormat::kUnknown) return false;
  if (format != ImageFormat::kUnknown && format != found) return false;
  DecodedImage decoded;
  if (!DecodeImageBytes(static_cast<const uint8_t*>(data), size, found, decoded)) return false;
  m_width = decoded.width;
  m_height = decoded.height;
  m_format = found;
  m_frames = std::move(decoded.frames);
  m_delays = std::move(decoded.delays);
  return true;
}

void CImage::Clear() {
  m_width = 0;
  m_height = 0;
  m_format = ImageFormat::kUnknown;
  m_frame = 0;
  m_frames.clear();
  m_delays.clear();
}

bool CImage::SetFrame(int index) {
  if (index < 0 || index >= FrameCount()) return false;
  m_frame = index;
  return true;
}

int CImage::FrameDelay(int index) const {
  if (index < 0 || index >= FrameCount()) return 0;
  return m_delays[index];
}

ImageColor CImage::GetPixelColor(int x, int y) const {
  if (!IsValid() || !Contains(x, y)) return ImageColor();
  size_t row = static_cast<size_t>(m_height - 1 - y);
  const uint8_t* p = Pixels() + (row * m_width + x) * 4;
  return ImageColor{p[0], p[1], p[2], p[3]};
}

const uint8_t* CImage::Pixels() const { return IsValid() ? m_frames[m_frame].data() : nullptr; }

bool CImage::Resample(int width, int height) {
  if (!IsValid() || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
      static_cast<size_t>(width) * height * 4 * m_frames.size() > kMaxTotalBytes) {
    return false;
  }
  std::vector<std::vector<uint8_t>> scaled(m_frames.size());
  for (size_t i = 0; i < m_frames.size(); ++i) {
    scaled[i].resize(static_cast<size_t>(width) * height * 4);
    if (!ResizeRgba(m_frames[i].data(), m_width, m_height, scaled[i].data(), width, height)) {
      return false;
    }
  }
  m_frames = std::move(scaled);
  m_width = width;
  m_height = height;
  return true;
}

bool CImage::Encode(std::string& bytes) const {
  if (!IsValid()) {
    bytes.clear();
    return false;
  }
  ImageFormat format = m_format == ImageFormat::kJpeg ? ImageFormat::kJpeg : ImageFormat::kPng;
  return EncodeImageBytes(Pixels(), m_width, m_height, format, bytes);
}

bool CImage::Save(const std::string& path) const {
  std::string bytes;
  return Encode(bytes) && WriteFileAtomic(path, bytes);
}
