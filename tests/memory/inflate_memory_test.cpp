// A body that inflates up to the capacity must not need much more memory
// than the capacity. This test program counts every allocation made with
// new (the buffers of std::string), so it lives in a program of its own.
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "engine/inflate.h"
#include "support/http_server.h"

namespace {

size_t g_current = 0;
size_t g_peak = 0;

// Each block carries its size in front of it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t size) {
  auto* block = static_cast<char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  g_current += size;
  if (g_current > g_peak) g_peak = g_current;
  return block + kHeader;
}

void Release(void* pointer) {
  if (!pointer) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  g_current -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}

// Text of runs of one letter, `period` long: it compresses about that much.
std::string Runs(size_t size, int period) {
  std::string text;
  unsigned seed = 1;
  while (text.size() < size) {
    seed = seed * 1103515245 + 12345;
    text.append(static_cast<size_t>(period), static_cast<char>('a' + (seed >> 16) % 26));
  }
  return text;
}

TEST(InflateMemoryTest, DecodingNeedsNoMoreThanTwiceTheCapacity) {
  const std::string ratio20 = GzipText(Runs(48u << 20, 24));
  const struct {
    const char* what;
    std::string gzip;
    size_t limit;
  } cases[] = {
      // Cut off by the limit well before the stream's end.
      {"full at the limit", GzipText(Runs(96u << 20, 32)), 32u << 20},
      // Cut short where it decodes to nearly twenty times its size: the
      // last byte's output must be worked out again.
      {"cut near twenty times", ratio20.substr(0, ratio20.size() * 3 / 4), SIZE_MAX},
  };
  for (const auto& c : cases) {
    const size_t capacity = InflateCapacity(c.gzip.size(), c.limit);
    const size_t before = g_current;
    g_peak = g_current;
    const std::string out = Gunzip(c.gzip, c.limit);
    EXPECT_GT(out.size(), capacity / 2) << c.what;
    EXPECT_LE(g_peak - before, 2 * capacity)
        << c.what << ": " << (g_peak - before) * 100 / capacity << "% of the capacity";
  }
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { Release(pointer); }
