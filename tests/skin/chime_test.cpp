#include "skin/chime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

uint32_t Read32(const std::string& b, size_t at) {
  return uint32_t{static_cast<uint8_t>(b[at])} | uint32_t{static_cast<uint8_t>(b[at + 1])} << 8 |
         uint32_t{static_cast<uint8_t>(b[at + 2])} << 16 |
         uint32_t{static_cast<uint8_t>(b[at + 3])} << 24;
}
uint16_t Read16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// Strength of one frequency over a stretch of the sound (Goertzel).
double Level(const std::vector<int16_t>& s, double fromSeconds, double toSeconds, double hz) {
  size_t from = static_cast<size_t>(fromSeconds * kChimeSampleRate);
  size_t to = std::min(s.size(), static_cast<size_t>(toSeconds * kChimeSampleRate));
  double k = 2 * std::cos(2 * 3.14159265358979 * hz / kChimeSampleRate);
  double a = 0, b = 0;
  for (size_t i = from; i < to; ++i) {
    double c = s[i] + k * a - b;
    b = a;
    a = c;
  }
  return std::sqrt(a * a + b * b - k * a * b) / static_cast<double>(to - from);
}

TEST(ChimeTest, WavHeaderDescribesTheSamples) {
  std::vector<int16_t> samples = {0, 1, -1, 32767, -32768};
  std::string wav = EncodeWav(samples, 22050);
  ASSERT_EQ(wav.size(), 44u + 10u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Read32(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Read32(wav, 16), 16u);
  EXPECT_EQ(Read16(wav, 20), 1u);  // PCM
  EXPECT_EQ(Read16(wav, 22), 1u);  // mono
  EXPECT_EQ(Read32(wav, 24), 22050u);
  EXPECT_EQ(Read32(wav, 28), 44100u);
  EXPECT_EQ(Read16(wav, 32), 2u);
  EXPECT_EQ(Read16(wav, 34), 16u);
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(Read32(wav, 40), 10u);
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(static_cast<int16_t>(Read16(wav, 44 + 2 * i)), samples[i]);
  }
}

TEST(ChimeTest, ShortAudibleAndClickFree) {
  std::vector<int16_t> s = ChimeSamples();
  double seconds = static_cast<double>(s.size()) / kChimeSampleRate;
  EXPECT_GT(seconds, 0.4);
  EXPECT_LT(seconds, 1.5);
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 32767 * 0.3);   // clearly audible
  EXPECT_LT(peak, 32767 * 0.98);  // never clipped
  // Starts and ends at silence, so no click at either end.
  EXPECT_LT(std::abs(s.front()), 50);
  EXPECT_LT(std::abs(s.back()), 50);
  for (size_t i = 1; i < s.size(); ++i) {
    ASSERT_LT(std::abs(s[i] - s[i - 1]), 12000) << "jump at " << i;
  }
}

TEST(ChimeTest, TwoTonesOneAfterTheOther) {
  std::vector<int16_t> s = ChimeSamples();
  const double low = 1318.51, high = 1760.0;
  // First only the low note sounds, later the high one leads.
  EXPECT_GT(Level(s, 0.02, 0.15, low), 10 * Level(s, 0.02, 0.15, high));
  EXPECT_GT(Level(s, 0.3, 0.6, high), 2 * Level(s, 0.3, 0.6, low));
  EXPECT_GT(Level(s, 0.3, 0.6, high), 100);
}

TEST(ChimeTest, TheSameEveryTime) { EXPECT_EQ(ChimeSamples(), ChimeSamples()); }

}  // namespace
