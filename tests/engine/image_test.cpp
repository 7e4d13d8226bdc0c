#include "engine/image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/files.h"
#include "support/drawn_images.h"
#include "support/tempdir.h"

namespace {

const ImageColor kRed{255, 0, 0, 255};
const ImageColor kGreen{0, 255, 0, 255};
const ImageColor kBlue{0, 0, 255, 255};
const ImageColor kWhite{255, 255, 255, 255};
const ImageColor kHalfGrey{128, 128, 128, 100};

// 5 x 3: top-left red, top-right green, bottom-left blue, bottom-right a
// half-transparent grey, white elsewhere.
DrawnImage Corners() {
  DrawnImage image(5, 3, kWhite);
  image.Set(0, 0, kRed);
  image.Set(4, 0, kGreen);
  image.Set(0, 2, kBlue);
  image.Set(4, 2, kHalfGrey);
  return image;
}

bool Near(ImageColor a, ImageColor b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

TEST(ImageFormats, TypesAndSignatures) {
  EXPECT_EQ(ImageFormatFromType("png"), ImageFormat::kPng);
  EXPECT_EQ(ImageFormatFromType("JPG"), ImageFormat::kJpeg);
  EXPECT_EQ(ImageFormatFromType("jpeg"), ImageFormat::kJpeg);
  EXPECT_EQ(ImageFormatFromType("Gif"), ImageFormat::kGif);
  EXPECT_EQ(ImageFormatFromType("bmp"), ImageFormat::kUnknown);
  EXPECT_EQ(ImageFormatFromType(""), ImageFormat::kUnknown);

  DrawnImage image = Corners();
  std::string png = EncodePng(image), jpeg = EncodeJpeg(image), gif = EncodeGif(image);
  EXPECT_EQ(DetectImageFormat(png.data(), png.size()), ImageFormat::kPng);
  EXPECT_EQ(DetectImageFormat(jpeg.data(), jpeg.size()), ImageFormat::kJpeg);
  EXPECT_EQ(DetectImageFormat(gif.data(), gif.size()), ImageFormat::kGif);
  EXPECT_EQ(DetectImageFormat("GIF8", 4), ImageFormat::kUnknown);
  EXPECT_EQ(DetectImageFormat(nullptr, 0), ImageFormat::kUnknown);
}

TEST(ImageLoad, PngRowsCountFromTheBottom) {
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodePng(Corners())));
  EXPECT_TRUE(image.IsValid());
  EXPECT_EQ(image.Format(), ImageFormat::kPng);
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 3);
  EXPECT_EQ(image.FrameCount(), 1);
  EXPECT_EQ(image.GetPixelColor(0, 0), kBlue);
  EXPECT_EQ(image.GetPixelColor(4, 0), kHalfGrey);
  EXPECT_EQ(image.GetPixelColor(0, 2), kRed);
  EXPECT_EQ(image.GetPixelColor(4, 2), kGreen);
  EXPECT_EQ(image.GetPixelColor(2, 1), kWhite);
  // Pixels() keeps the file's order: the top row first.
  EXPECT_EQ(image.Pixels()[0], 255);
  EXPECT_EQ(image.Pixels()[1], 0);
}

TEST(ImageLoad, OutsideThePictureIsTransparentBlack) {
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodePng(Corners())));
  for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {5, 0}, {0, 3}}) {
    EXPECT_FALSE(image.Contains(x, y));
    EXPECT_EQ(image.GetPixelColor(x, y), ImageColor()) << x << "," << y;
  }
  CImage empty;
  EXPECT_EQ(empty.GetPixelColor(0, 0), ImageColor());
  EXPECT_EQ(empty.Pixels(), nullptr);
}

TEST(ImageLoad, FromFileAndRequestedFormat) {
  TempDir dir;
  dir.Write("a.png", EncodePng(Corners()));
  CImage image;
  ASSERT_TRUE(image.Load(dir.File("a.png"), ImageFormat::kPng));
  EXPECT_EQ(image.GetPixelColor(0, 2), kRed);
  // A decoder chosen by the caller refuses content of another format.
  EXPECT_FALSE(image.Load(dir.File("a.png"), ImageFormat::kGif));
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.Width(), 0);
  EXPECT_FALSE(image.Load(dir.File("missing.png")));
  EXPECT_FALSE(image.Load(dir.Path()));
}

TEST(ImageLoad, JpegIsCloseToTheDrawing) {
  DrawnImage drawn(16, 16, kWhite);
  for (int y = 8; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) drawn.Set(x, y, kBlue);
  }
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodeJpeg(drawn, 100), ImageFormat::kJpeg));
  EXPECT_EQ(image.Format(), ImageFormat::kJpeg);
  EXPECT_TRUE(Near(image.GetPixelColor(2, 2), kBlue, 12));
  EXPECT_TRUE(Near(image.GetPixelColor(2, 13), kWhite, 12));
  EXPECT_EQ(image.GetPixelColor(2, 13).a, 255);
}

TEST(ImageLoad, GifColoursAreExact) {
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodeGif(Corners())));
  EXPECT_EQ(image.Format(), ImageFormat::kGif);
  EXPECT_EQ(image.FrameCount(), 1);
  EXPECT_EQ(image.GetPixelColor(0, 0), kBlue);
  EXPECT_EQ(image.GetPixelColor(0, 2), kRed);
  EXPECT_EQ(image.GetPixelColor(4, 0), (ImageColor{128, 128, 128, 255}));
}

TEST(ImageLoad, AnimatedGifKeepsEveryFrame) {
  DrawnImage red(3, 2, kRed), green(3, 2, kGreen), blue(3, 2, kBlue);
  std::string gif = EncodeGif({{&red, 5}, {&green, 20}, {&blue, 7}});
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(gif));
  ASSERT_EQ(image.FrameCount(), 3);
  EXPECT_EQ(image.FrameDelay(0), 50);
  EXPECT_EQ(image.FrameDelay(1), 200);
  EXPECT_EQ(image.FrameDelay(2), 70);
  EXPECT_EQ(image.FrameDelay(3), 0);
  EXPECT_EQ(image.GetPixelColor(1, 1), kRed);
  ASSERT_TRUE(image.SetFrame(2));
  EXPECT_EQ(image.GetPixelColor(1, 1), kBlue);
  EXPECT_FALSE(image.SetFrame(3));
  EXPECT_FALSE(image.SetFrame(-1));
  EXPECT_EQ(image.Frame(), 2);
}

// A frame that asks for the picture before it to come back, followed by a
// frame with transparent pixels: those show the frame two back. (The stock
// frame loop of the decoder read this from before its buffer.)
TEST(ImageLoad, RestorePreviousDisposalShowsTheFrameTwoBack) {
  const ImageColor kHole{1, 2, 3, 255};
  DrawnImage red(4, 4, kRed), green(4, 4, kGreen), holes(4, 4, kBlue);
  holes.Set(1, 1, kHole);
  holes.Set(2, 3, kHole);
  std::vector<GifFrame> frames = {{&red, 10, 1}, {&green, 10, 3}, {&holes, 10, 1, kHole}};
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodeGif(frames)));
  ASSERT_EQ(image.FrameCount(), 3);
  image.SetFrame(2);
  EXPECT_EQ(image.GetPixelColor(1, 2), kRed);  // (1,1) from the top
  EXPECT_EQ(image.GetPixelColor(2, 0), kRed);
  EXPECT_EQ(image.GetPixelColor(0, 0), kBlue);
}

TEST(ImageResample, ToProductPictureSize) {
  DrawnImage drawn(40, 30, kWhite);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 20; ++x) drawn.Set(x, y, kRed);
  }
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodePng(drawn)));
  ASSERT_TRUE(image.Resample(105, 105));
  EXPECT_EQ(image.Width(), 105);
  EXPECT_EQ(image.Height(), 105);
  EXPECT_TRUE(Near(image.GetPixelColor(5, 50), kRed, 2));
  EXPECT_TRUE(Near(image.GetPixelColor(100, 50), kWhite, 2));
  ASSERT_TRUE(image.Resample(4, 2));
  EXPECT_TRUE(Near(image.GetPixelColor(0, 0), kRed, 2));
  EXPECT_TRUE(Near(image.GetPixelColor(3, 1), kWhite, 2));
}

TEST(ImageResample, EveryFrameAndBadSizes) {
  DrawnImage red(6, 6, kRed), blue(6, 6, kBlue);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodeGif({{&red}, {&blue}})));
  ASSERT_TRUE(image.Resample(3, 9));
  image.SetFrame(1);
  EXPECT_TRUE(Near(image.GetPixelColor(1, 8), kBlue, 2));
  EXPECT_FALSE(image.Resample(0, 5));
  EXPECT_FALSE(image.Resample(5, -1));
  EXPECT_FALSE(image.Resample(CImage::kMaxSide + 1, 1));
  EXPECT_EQ(image.Width(), 3);
  CImage empty;
  EXPECT_FALSE(empty.Resample(10, 10));
}

TEST(ImageSave, KeepsTheFormatAndWritesGifAsPng) {
  TempDir dir;
  struct Case {
    std::string bytes;
    ImageFormat saved;
  };
  DrawnImage drawn = Corners();
  std::vector<Case> cases = {{EncodePng(drawn), ImageFormat::kPng},
                             {EncodeGif(drawn), ImageFormat::kPng},
                             {EncodeJpeg(drawn), ImageFormat::kJpeg}};
  for (const Case& c : cases) {
    CImage image;
    ASSERT_TRUE(image.LoadFromMemory(c.bytes));
    ASSERT_TRUE(image.Save(dir.File("out")));
    std::string written = dir.Read("out");
    EXPECT_EQ(DetectImageFormat(written.data(), written.size()), c.saved);
    CImage again;
    ASSERT_TRUE(again.Load(dir.File("out")));
    EXPECT_EQ(again.Width(), 5);
    EXPECT_EQ(again.Height(), 3);
    if (c.saved == ImageFormat::kPng) {
      EXPECT_EQ(again.GetPixelColor(0, 2), image.GetPixelColor(0, 2));
      EXPECT_EQ(again.GetPixelColor(4, 0), image.GetPixelColor(4, 0));
    }
  }
  CImage empty;
  EXPECT_FALSE(empty.Save(dir.File("empty.png")));
  EXPECT_FALSE(FileExists(dir.File("empty.png")));
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(EncodePng(drawn)));
  EXPECT_FALSE(image.Save(dir.File("no/such/folder/x.png")));
}

// A PNG header claiming the given size, with a valid checksum, and nothing
// after it.
std::string PngHeader(uint32_t width, uint32_t height) {
  std::string png = EncodePng(DrawnImage(1, 1, kWhite));
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  return png;
}

TEST(ImageHostile, OversizedHeadersAreRefusedBeforeDecoding) {
  CImage image;
  EXPECT_FALSE(image.LoadFromMemory(PngHeader(CImage::kMaxSide + 1, 1)));
  EXPECT_FALSE(image.LoadFromMemory(PngHeader(1, 0x7fffffff)));
  // 16384 x 16384 is within the side limit but 1 GB of pixels.
  std::string gif = EncodeGif(DrawnImage(1, 1, kWhite));
  gif[6] = gif[8] = 0x00;
  gif[7] = gif[9] = 0x40;
  EXPECT_FALSE(image.LoadFromMemory(gif));
  EXPECT_FALSE(image.LoadFromMemory("", 0));
  EXPECT_FALSE(image.LoadFromMemory(nullptr, 10));
}

// Tiny frames on a 5000 x 5000 canvas: a few hundred bytes that asked for
// hundreds of megabytes of canvas copies.
TEST(ImageHostile, GifWorkIsBoundedByItsSize) {
  const DrawnImage dot(1, 1, kWhite);
  std::string gif = EncodeGif({{&dot}, {&dot}, {&dot}});
  ASSERT_LT(gif.size(), 1000u);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(gif));
  gif[6] = gif[8] = static_cast<char>(5000 & 0xff);
  gif[7] = gif[9] = static_cast<char>(5000 >> 8);
  EXPECT_FALSE(image.LoadFromMemory(gif));
}

// A Huffman table that claims more than 256 symbols made the decoder write
// past its tables.
TEST(ImageHostile, OverfullJpegHuffmanTableIsRefused) {
  std::string jpeg = EncodeJpeg(DrawText("42"));
  size_t table = jpeg.find("\xff\xc4");
  ASSERT_NE(table, std::string::npos);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(jpeg));
  for (int i = 0; i < 16; ++i) jpeg[table + 5 + i] = static_cast<char>(0x20);
  EXPECT_FALSE(image.LoadFromMemory(jpeg));
  EXPECT_FALSE(image.IsValid());
}

// Truncations and bit flips of each format either fail or give a picture
// within limits; none may crash (the sanitizer build checks memory too).
TEST(ImageHostile, DamagedFilesNeverCrash) {
  DrawnImage drawn = DrawText("1299.00");
  DrawnImage other(drawn.Width(), drawn.Height(), kGreen);
  std::vector<std::string> samples = {EncodePng(drawn), EncodeJpeg(drawn),
                                      EncodeGif({{&drawn, 10, 3}, {&other, 10, 3}, {&drawn}})};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  int loaded = 0;
  for (const std::string& sample : samples) {
    for (size_t length = 0; length < sample.size(); length += 1 + length / 16) {
      CImage image;
      loaded += image.LoadFromMemory(sample.data(), length);
    }
    for (int round = 0; round < 300; ++round) {
      std::string bytes = sample;
      for (int flips = 1 + next() % 4; flips > 0; --flips) {
        bytes[6 + next() % (bytes.size() - 6)] ^= static_cast<char>(1 << (next() % 8));
      }
      CImage image;
      if (image.LoadFromMemory(bytes)) {
        ++loaded;
        EXPECT_LE(image.Width(), CImage::kMaxSide);
        EXPECT_GT(image.Height(), 0);
        image.GetPixelColor(image.Width() - 1, image.Height() - 1);
      }
    }
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
