// Decodes arbitrary bytes as a picture (PNG, JPEG, GIF with its frames) and
// runs what the program does with one: read pixels, resample, encode.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CImage image;
  if (!image.LoadFromMemory(data, size)) return 0;
  for (int frame = 0; frame < image.FrameCount(); ++frame) {
    image.SetFrame(frame);
    image.GetPixelColor(image.Width() - 1, 0);
    image.GetPixelColor(0, image.Height() - 1);
  }
  if (static_cast<size_t>(image.Width()) * image.Height() <= 1u << 20) {
    std::string bytes;
    image.Encode(bytes);
    image.Resample(17, 9);
  }
  return 0;
}
