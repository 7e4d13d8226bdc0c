// The block decoder must give, byte for byte, what the one-byte-at-a-time
// loop gives. The loop is kept here as the reference and both run over a
// corpus of valid, truncated, corrupt, concatenated and highly compressible
// streams.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/inflate.h"

namespace {

enum class Header { kAuto, kZlib };

// One byte of input and one byte of output space per call; the output is
// whatever reached the buffer, also when the loop failed.
std::string ByteLoop(const std::string& data, Header header, size_t capacity) {
  std::string buffer(capacity, '\0');
  z_stream z{};
  int init = header == Header::kAuto ? inflateInit2(&z, 47) : inflateInit(&z);
  if (init != Z_OK) return std::string();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.next_out = reinterpret_cast<Bytef*>(buffer.data());
  while (z.total_out < capacity && z.total_in < data.size()) {
    z.avail_in = 1;
    z.avail_out = 1;
    int result = inflate(&z, Z_NO_FLUSH);
    if (result != Z_OK) break;  // the stream's end or an error
  }
  buffer.resize(z.total_out);
  inflateEnd(&z);
  return buffer;
}

std::string Compress(const std::string& text, int windowBits, int level, int strategy) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy), Z_OK);
  std::string out(deflateBound(&z, text.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Html(size_t size, std::mt19937& random) {
  static const char* words[] = {"<div class=\"price\">",
                                "</div>",
                                "<span>",
                                "</span>",
                                "\xe4\xbb\xb7\xe6\xa0\xbc",
                                "199.00",
                                "\n",
                                "<a href=\"/item/",
                                "\">",
                                "</a>",
                                "stock",
                                " "};
  std::string text;
  while (text.size() < size) {
    text += words[random() % 12];
    if (random() % 4 == 0) text += std::to_string(random() % 100000);
  }
  text.resize(size);
  return text;
}

std::string Noise(size_t size, std::mt19937& random) {
  std::string text(size, '\0');
  for (char& c : text) c = static_cast<char>(random());
  return text;
}

struct Stream {
  std::string name;
  std::string bytes;
};

// Valid streams of every block kind, in gzip, zlib and raw framing.
std::vector<Stream> ValidStreams() {
  std::mt19937 random(7);
  std::vector<std::pair<std::string, std::string>> texts = {
      {"html", Html(6000, random)},
      {"noise", Noise(3000, random)},
      {"zeros", std::string(50000, '\0')},  // inflates to far more than 20 times
      {"tiny", "a"},
      {"empty", ""},
      {"mixed", Html(2000, random) + Noise(700, random) + std::string(3000, 'x')},
  };
  struct Kind {
    const char* name;
    int level;
    int strategy;
  };
  const Kind kinds[] = {{"default", 6, Z_DEFAULT_STRATEGY},
                        {"stored", 0, Z_DEFAULT_STRATEGY},
                        {"fixed", 9, Z_FIXED},
                        {"huffman", 1, Z_HUFFMAN_ONLY},
                        {"rle", 6, Z_RLE}};
  const std::pair<const char*, int> framings[] = {{"gzip", 31}, {"zlib", 15}, {"raw", -15}};
  std::vector<Stream> streams;
  for (const auto& [textName, text] : texts)
    for (const Kind& kind : kinds)
      for (const auto& [framing, bits] : framings)
        streams.push_back({textName + "/" + kind.name + "/" + framing,
                           Compress(text, bits, kind.level, kind.strategy)});
  return streams;
}

void ExpectSame(const std::string& name, const std::string& data, size_t limit = SIZE_MAX) {
  size_t capacity = InflateCapacity(data.size(), limit);
  ASSERT_EQ(Gunzip(data, limit), ByteLoop(data, Header::kAuto, capacity)) << name << " (gunzip)";
  ASSERT_EQ(InflateBody(data, limit), ByteLoop(data, Header::kZlib, capacity))
      << name << " (inflate)";
}

TEST(InflateEqualityTest, ValidStreams) {
  for (const Stream& s : ValidStreams()) ExpectSame(s.name, s.bytes);
}

TEST(InflateEqualityTest, EveryTruncation) {
  for (const Stream& s : ValidStreams()) {
    size_t step = s.bytes.size() > 300 ? s.bytes.size() / 100 + 1 : 1;
    for (size_t cut = 0; cut < s.bytes.size(); cut += step) {
      ExpectSame(s.name + " cut at " + std::to_string(cut), s.bytes.substr(0, cut));
    }
  }
}

TEST(InflateEqualityTest, TruncationNearTheEndOfLargeStreams) {
  std::mt19937 random(11);
  std::string text = Html(120000, random) + Noise(70000, random);
  for (int level : {0, 1, 6}) {
    std::string gzip = Compress(text, 31, level, Z_DEFAULT_STRATEGY);
    for (size_t back = 1; back < 200; back += 11) {
      ExpectSame("level " + std::to_string(level) + " minus " + std::to_string(back),
                 gzip.substr(0, gzip.size() - back));
    }
  }
}

TEST(InflateEqualityTest, CorruptStreams) {
  std::mt19937 random(3);
  for (const Stream& s : ValidStreams()) {
    if (s.bytes.size() < 4) continue;
    for (int n = 0; n < 40; ++n) {
      std::string broken = s.bytes;
      size_t at = random() % broken.size();
      broken[at] = static_cast<char>(broken[at] ^ (1 << (random() % 8)));
      if (n % 3 == 0) broken[random() % broken.size()] = static_cast<char>(random());
      ExpectSame(s.name + " corrupt at " + std::to_string(at), broken);
    }
  }
}

TEST(InflateEqualityTest, ConcatenatedAndTrailingBytes) {
  std::mt19937 random(5);
  std::string one = Compress(Html(4000, random), 31, 6, Z_DEFAULT_STRATEGY);
  std::string two = Compress(Html(3000, random), 31, 6, Z_DEFAULT_STRATEGY);
  ExpectSame("two members", one + two);
  ExpectSame("garbage after", one + "garbage");
  ExpectSame("zeros after", one + std::string(100, '\0'));
  ExpectSame("member and half", one + two.substr(0, two.size() / 2));
}

TEST(InflateEqualityTest, HighlyCompressibleIsCutAtTwentyTimes) {
  std::string zeros = Compress(std::string(1 << 20, 'a'), 31, 9, Z_DEFAULT_STRATEGY);
  std::string decoded = Gunzip(zeros);
  EXPECT_EQ(decoded.size(), zeros.size() * 20);
  EXPECT_EQ(decoded, ByteLoop(zeros, Header::kAuto, zeros.size() * 20));
}

TEST(InflateEqualityTest, LimitBelowTwentyTimes) {
  std::mt19937 random(9);
  std::string gzip = Compress(Html(100000, random), 31, 6, Z_DEFAULT_STRATEGY);
  for (size_t limit : {size_t{0}, size_t{1}, size_t{1000}, size_t{99999}, size_t{100000}}) {
    ExpectSame("limit " + std::to_string(limit), gzip, limit);
    EXPECT_EQ(Gunzip(gzip, limit).size(), std::min<size_t>(limit, 100000));
  }
}

TEST(InflateEqualityTest, RandomBytes) {
  std::mt19937 random(13);
  for (int n = 0; n < 300; ++n) {
    std::string noise = Noise(random() % 200, random);
    if (n % 2 == 0 && noise.size() >= 2) {
      noise[0] = '\x1f';  // a gzip magic makes the decoder read further
      noise[1] = '\x8b';
      if (noise.size() > 2) noise[2] = 8;
    }
    ExpectSame("noise " + std::to_string(n), noise);
  }
}

}  // namespace
