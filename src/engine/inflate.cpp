#include "engine/inflate.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

// How the block decoder reproduces the byte-at-a-time loop.
//
// zlib's decoder alternates between taking input bytes ("pulls") and writing
// output bytes ("writes"); which pulls and writes happen, and in what order,
// depends only on the stream. Before it pulls byte k it has written D(k),
// everything decodable from bytes 0..k-1, which is exactly what a block
// decoder fed those k bytes produces. The byte loop gives each call one pull
// and one write, and it stops after the call that pulls the last byte, or
// when the output is full, or at the stream's end or an error. So it agrees
// with the block decoder except for the last byte: of the output decodable
// only with it, the loop keeps one byte if that call still had its write
// unused, and none otherwise. Whether it had depends on the writes between
// the pulls before it: w(k) = D(k+1) - D(k) writes follow pull k; the write
// is free after pull k+1 when w(k) == 0, used when w(k) >= 2, and as after
// pull k when w(k) == 1 (the first pull starts a call, so its write is free).

namespace {

constexpr size_t kFirstTail = 256;

enum class Stop { kNeedInput, kEnd, kError, kFull };

// Decodes into one growing buffer, or, counting only, into a small scratch
// buffer that is overwritten each time: the checks of the last byte need
// how much was produced, never what, and must not hold a second copy of a
// body that may be as large as the capacity.
enum class Output { kKeep, kCount };

class Inflater {
 public:
  Inflater(int windowBits, size_t capacity, Output output = Output::kKeep)
      : m_capacity(capacity), m_output(output) {
    m_ok = (windowBits ? inflateInit2(&m_z, windowBits) : inflateInit(&m_z)) == Z_OK;
  }
  ~Inflater() {
    if (m_ok) inflateEnd(&m_z);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Ok() const { return m_ok; }
  size_t Produced() const { return m_produced; }

  // Decodes `size` more input bytes with as much output space as the
  // capacity leaves, until the input is used up or the decoder stops.
  Stop Feed(const unsigned char* data, size_t size) {
    for (;;) {
      if (m_produced >= m_capacity) return Stop::kFull;
      size_t chunk = std::min<size_t>(size, UINT_MAX);
      m_z.next_in = const_cast<unsigned char*>(data);
      m_z.avail_in = static_cast<uInt>(chunk);
      char* out = OutputSpace();
      const size_t space = m_output == Output::kKeep
                               ? m_out.size() - m_produced
                               : std::min(kScratchBytes, m_capacity - m_produced);
      m_z.next_out = reinterpret_cast<unsigned char*>(out);
      m_z.avail_out = static_cast<uInt>(std::min<size_t>(space, UINT_MAX));
      int result = inflate(&m_z, Z_NO_FLUSH);
      size_t used = chunk - m_z.avail_in;
      data += used;
      size -= used;
      m_produced += static_cast<size_t>(reinterpret_cast<char*>(m_z.next_out) - out);
      if (result == Z_STREAM_END) return Stop::kEnd;
      if (result == Z_BUF_ERROR && m_z.avail_in == 0 && size == 0) return Stop::kNeedInput;
      if (result != Z_OK) return Stop::kError;
      // Stopped with output space left and nothing to read: it waits for input.
      if (m_z.avail_in == 0 && size == 0 && m_z.avail_out > 0) return Stop::kNeedInput;
    }
  }

  std::string Take(size_t length) {
    m_out.resize(std::min(length, m_produced));
    return std::move(m_out);
  }

 private:
  static constexpr size_t kScratchBytes = 64 * 1024;

  // Where the next output goes.
  char* OutputSpace() {
    if (m_output == Output::kCount) {
      if (m_out.empty()) m_out.resize(kScratchBytes);
      return m_out.data();
    }
    GrowOutput();
    return m_out.data() + m_produced;
  }

  // Pages inflate to a few times their compressed size; starting near that
  // saves growing (and zero-filling) the buffer step by step.
  void GrowOutput() {
    if (m_out.size() > m_produced) return;
    size_t grown =
        m_out.empty() ? std::max<size_t>(m_capacity / 20 * 8, 64 * 1024) : m_out.size() * 2;
    // A buffer of exactly the new size: string growth would reserve up to
    // twice that, and a body cut at the capacity would hold 2.4 times it.
    std::string larger(std::min(grown, m_capacity), '\0');
    std::copy_n(m_out.data(), m_produced, larger.data());
    m_out.swap(larger);
  }

  z_stream m_z{};
  bool m_ok = false;
  size_t m_capacity;
  Output m_output;
  size_t m_produced = 0;
  std::string m_out;
};

const unsigned char* Bytes(std::string_view data) {
  return reinterpret_cast<const unsigned char*>(data.data());
}

// Whether the call of the byte loop that pulls the last byte still has its
// write, worked out from the writes between the pulls of the last `tail`
// bytes; false when the tail is too short to tell.
bool LastWriteFree(std::string_view data, int windowBits, size_t capacity, size_t tail,
                   bool& decided) {
  size_t last = data.size() - 1;
  size_t start = last - std::min(tail, last);
  Inflater inflater(windowBits, capacity, Output::kCount);
  decided = false;
  if (!inflater.Ok() || inflater.Feed(Bytes(data), start) != Stop::kNeedInput) return false;
  // The writes after the latest pull (of the tail) that did not write
  // exactly one byte decide; pulls writing one byte pass the question on.
  bool seen = false;
  size_t latestWrites = 0;
  size_t produced = inflater.Produced();
  for (size_t k = start; k < last; ++k) {
    if (inflater.Feed(Bytes(data) + k, 1) != Stop::kNeedInput) return false;
    const size_t writes = inflater.Produced() - produced;
    produced = inflater.Produced();
    if (writes != 1) {
      seen = true;
      latestWrites = writes;
    }
  }
  if (seen) {
    decided = true;
    return latestWrites == 0;
  }
  decided = start == 0;
  return true;
}

std::string Decode(std::string_view data, int windowBits, size_t limit) {
  size_t capacity = InflateCapacity(data.size(), limit);
  if (data.empty() || capacity == 0) return std::string();
  Inflater inflater(windowBits, capacity);
  if (!inflater.Ok()) return std::string();
  size_t last = data.size() - 1;
  if (inflater.Feed(Bytes(data), last) != Stop::kNeedInput) {
    return inflater.Take(SIZE_MAX);  // ended, broke or filled before the last byte
  }
  size_t beforeLast = inflater.Produced();
  inflater.Feed(Bytes(data) + last, 1);
  if (inflater.Produced() == beforeLast) return inflater.Take(beforeLast);
  bool decided = false;
  bool free = false;
  for (size_t tail = kFirstTail; !decided; tail *= 4) {
    free = LastWriteFree(data, windowBits, capacity, tail, decided);
    if (!decided && tail >= last) break;  // cannot happen for a deterministic decoder
  }
  return inflater.Take(beforeLast + (free ? 1 : 0));
}

}  // namespace

size_t InflateCapacity(size_t inputLength, size_t limit) {
  size_t twenty = inputLength > SIZE_MAX / 20 ? SIZE_MAX : inputLength * 20;
  return std::min(twenty, limit);
}

std::string Gunzip(std::string_view data, size_t limit) { return Decode(data, 15 + 32, limit); }

std::string InflateBody(std::string_view data, size_t limit) { return Decode(data, 0, limit); }

bool GzipEndsWhole(std::string_view data) {
  Inflater inflater(15 + 32, SIZE_MAX, Output::kCount);
  return inflater.Ok() && !data.empty() && inflater.Feed(Bytes(data), data.size()) == Stop::kEnd;
}
