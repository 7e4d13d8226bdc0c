#include "skin/gifwriter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <random>

#include "engine/image.h"
#include "skin/gui_application.h"

namespace {

GifPicture Picture(int width, int height, int colours, int frames = 1) {
  GifPicture p;
  p.width = width;
  p.height = height;
  for (int i = 0; i < colours; ++i) {
    p.palette.push_back(GifColor{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>((i * 37) & 0xff)});
  }
  for (int f = 0; f < frames; ++f) p.frames.push_back(GifFrame{{}, 10 * (f + 1)});
  return p;
}

// Noise defeats the dictionary, so codes widen to 12 bits and the table
// fills and is cleared; runs make long strings; a gradient sits between.
enum class Fill { kNoise, kRuns, kGradient };

void Fill(GifPicture& p, enum Fill kind, unsigned seed) {
  std::mt19937 random(seed);
  int colours = static_cast<int>(p.palette.size());
  for (GifFrame& frame : p.frames) {
    frame.indexes.resize(static_cast<size_t>(p.width) * p.height);
    for (size_t i = 0; i < frame.indexes.size(); ++i) {
      int value = kind == Fill::kNoise  ? static_cast<int>(random() % colours)
                  : kind == Fill::kRuns ? static_cast<int>((i / 97) % colours)
                                        : static_cast<int>((i % p.width) * colours / p.width);
      frame.indexes[i] = static_cast<uint8_t>(value);
    }
  }
}

// Decodes with both readers the program uses and compares every pixel.
void ExpectDecodesExactly(const GifPicture& p, const std::string& what) {
  std::string bytes = EncodeGif(p);
  ASSERT_FALSE(bytes.empty()) << what;
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(bytes, ImageFormat::kGif)) << what;
  ASSERT_EQ(image.FrameCount(), static_cast<int>(p.frames.size())) << what;
  ASSERT_EQ(image.Width(), p.width);
  ASSERT_EQ(image.Height(), p.height);

  TestGuiApplication();
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "gif");
  for (size_t f = 0; f < p.frames.size(); ++f) {
    ASSERT_TRUE(image.SetFrame(static_cast<int>(f)));
    QImage frame = reader.read();
    ASSERT_FALSE(frame.isNull()) << what << " frame " << f << ": "
                                 << reader.errorString().toStdString();
    int mismatches = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        uint8_t index = p.frames[f].indexes[static_cast<size_t>(y) * p.width + x];
        const GifColor& want = p.palette[index];
        ImageColor got = image.GetPixelColor(x, p.height - 1 - y);
        QRgb qt = frame.pixel(x, y);
        bool ok = got.r == want.r && got.g == want.g && got.b == want.b && got.a == 255 &&
                  qRed(qt) == want.r && qGreen(qt) == want.g && qBlue(qt) == want.b;
        if (!ok) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << what << " frame " << f;
  }
}

TEST(GifWriterTest, EveryReaderGetsThePixelsBack) {
  struct Case {
    int width, height, colours, frames;
    enum Fill fill;
  };
  const Case cases[] = {
      {1, 1, 1, 1, Fill::kNoise},         {3, 1, 2, 1, Fill::kNoise},
      {7, 5, 3, 1, Fill::kRuns},          {64, 64, 256, 1, Fill::kNoise},
      {200, 150, 4, 1, Fill::kNoise},     {300, 200, 17, 1, Fill::kRuns},
      {129, 77, 200, 1, Fill::kGradient}, {40, 30, 5, 4, Fill::kNoise},
      {512, 300, 2, 1, Fill::kNoise},     {250, 250, 256, 2, Fill::kGradient},
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    GifPicture p = Picture(c.width, c.height, c.colours, c.frames);
    Fill(p, c.fill, seed++);
    ExpectDecodesExactly(p, std::to_string(c.width) + "x" + std::to_string(c.height) + "/" +
                                std::to_string(c.colours));
  }
}

// Widths change at exact table sizes; walk the image size across those
// boundaries for every minimum code size.
TEST(GifWriterTest, CodeWidthBoundaries) {
  for (int colours : {2, 5, 16, 100, 256}) {
    for (int length : {1,   2,   5,   6,   7,    8,    9,    250,  251,  252, 253,
                       254, 255, 256, 257, 4093, 4094, 4095, 4096, 4097, 9000}) {
      GifPicture p = Picture(length, 1, colours);
      Fill(p, Fill::kNoise, static_cast<unsigned>(length * 7 + colours));
      ExpectDecodesExactly(p, std::to_string(colours) + " colours, " + std::to_string(length));
    }
  }
}

TEST(GifWriterTest, AnimationKeepsFramesDelaysAndTransparency) {
  GifPicture p = Picture(6, 4, 3, 5);
  Fill(p, Fill::kNoise, 42);
  p.transparentIndex = 2;
  std::string bytes = EncodeGif(p);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(bytes));
  ASSERT_EQ(image.FrameCount(), 5);
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(image.FrameDelay(f), 100 * (f + 1));
    image.SetFrame(f);
    for (int i = 0; i < 24; ++i) {
      bool clear = p.frames[f].indexes[i] == 2;
      EXPECT_EQ(image.GetPixelColor(i % 6, 3 - i / 6).a, clear ? 0 : 255) << f << "/" << i;
    }
  }
  TestGuiApplication();
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "gif");
  EXPECT_TRUE(reader.supportsAnimation());
  EXPECT_EQ(reader.imageCount(), 5);
  EXPECT_EQ(reader.loopCount(), -1);  // forever
}

TEST(GifWriterTest, RefusesInconsistentPictures) {
  GifPicture good = Picture(4, 4, 2);
  Fill(good, Fill::kNoise, 3);
  ASSERT_FALSE(EncodeGif(good).empty());

  GifPicture noFrames = good;
  noFrames.frames.clear();
  GifPicture shortFrame = good;
  shortFrame.frames[0].indexes.pop_back();
  GifPicture badIndex = good;
  badIndex.frames[0].indexes[5] = 2;
  GifPicture noPalette = good;
  noPalette.palette.clear();
  GifPicture hugePalette = good;
  hugePalette.palette.resize(257);
  GifPicture badTransparent = good;
  badTransparent.transparentIndex = 2;
  GifPicture zeroWidth = good;
  zeroWidth.width = 0;
  for (const GifPicture* p :
       {&noFrames, &shortFrame, &badIndex, &noPalette, &hugePalette, &badTransparent, &zeroWidth}) {
    EXPECT_TRUE(EncodeGif(*p).empty());
  }
}

TEST(GifWriterTest, RepeatedStringsCompress) {
  std::vector<uint8_t> flat(10000, 1);
  // A run grows its string by one pixel per code: about sqrt(2n) codes.
  EXPECT_LT(LzwCompress(flat, 2).size(), 300u);
}

}  // namespace
