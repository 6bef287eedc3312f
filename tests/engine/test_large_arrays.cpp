// Pages that large buffers hand on: their contents move with them, the
// buffers they leave stay usable, and a buffer made of several moved
// pieces hands all of them on again.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstring>

#include "engine/LargeArrays.h"

using namespace pelmora;

namespace {

constexpr size_t kPage = 4096;

// A mapping of its own, as the program's large buffers are.
struct Mapped {
  explicit Mapped(size_t pages) : bytes(pages * kPage) {
    data =
        static_cast<unsigned char*>(mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  }
  ~Mapped() { munmap(data, bytes); }
  unsigned char* data;
  size_t bytes;
};

struct Keeping {
  Keeping() { KeepPagesOfLargeBuffers(true); }
  ~Keeping() {
    ReleaseKeptPages();
    KeepPagesOfLargeBuffers(false);
  }
};

}  // namespace

TEST(LargeArrays, KeptPagesCarryTheirContentsAndLeaveUsableBuffers) {
  const Keeping keeping;
  ReleaseKeptPages();
  Mapped a(100), b(70), c(200);
  ASSERT_NE(a.data, MAP_FAILED);
  ASSERT_NE(b.data, MAP_FAILED);
  ASSERT_NE(c.data, MAP_FAILED);
  for (size_t i = 0; i < a.bytes; ++i) a.data[i] = static_cast<unsigned char>(1 + i / kPage);
  for (size_t i = 0; i < b.bytes; ++i) b.data[i] = static_cast<unsigned char>(201 + i / kPage % 50);

  // From a buffer that does not start on a page, only its whole pages go;
  // what is left reads as empty and takes writes.
  KeepPages(a.data + 10, a.bytes - 10);
  EXPECT_EQ(KeptPagesBytes(), 99 * kPage);
  EXPECT_EQ(a.data[5], 1);
  EXPECT_EQ(a.data[kPage], 0);
  a.data[50 * kPage] = 7;
  EXPECT_EQ(a.data[50 * kPage], 7);
  KeepPages(b.data, b.bytes);
  ASSERT_EQ(KeptPagesBytes(), 169 * kPage);
  // Too small to keep.
  KeepPages(b.data, kKeptPagesFrom - 1);
  EXPECT_EQ(KeptPagesBytes(), 169 * kPage);

  // The last kept first: all of b's pages, then the end of a's.
  const size_t backed = PlaceKeptPages(c.data + 100, 150 * kPage);
  ASSERT_EQ(backed, 150 * kPage - 100);
  EXPECT_EQ(KeptPagesBytes(), 20 * kPage);
  for (size_t p = 1; p < 150; ++p) {
    const unsigned char want = static_cast<unsigned char>(p <= 70 ? 201 + (p - 1) % 50 : p - 49);
    ASSERT_EQ(c.data[p * kPage], want) << p;
    ASSERT_EQ(c.data[p * kPage + kPage - 1], want) << p;
  }
  std::memset(c.data, 3, c.bytes);

  // c now spans mappings of its own: handed on again, whole, both while the
  // places are known and once they are forgotten.
  KeepPages(c.data, 120 * kPage);
  EXPECT_EQ(KeptPagesBytes(), 140 * kPage);
  ReleaseKeptPages();
  EXPECT_EQ(KeptPagesBytes(), 0u);
  std::memset(c.data, 4, c.bytes);
  KeepPages(c.data + 120 * kPage, 80 * kPage);
  EXPECT_EQ(KeptPagesBytes(), 80 * kPage);
  for (size_t p = 0; p < 200; ++p) ASSERT_EQ(c.data[p * kPage], p < 120 ? 4 : 0) << p;

  // Of a buffer partly written, only the written pages.
  Mapped d(100);
  ASSERT_NE(d.data, MAP_FAILED);
  std::memset(d.data, 5, 30 * kPage);
  std::memset(d.data + 60 * kPage, 5, 10 * kPage);
  KeepPages(d.data, d.bytes);
  EXPECT_EQ(KeptPagesBytes(), 120 * kPage);

  // Off, nothing moves.
  KeepPagesOfLargeBuffers(false);
  std::memset(a.data, 9, a.bytes);
  KeepPages(a.data, a.bytes);
  EXPECT_EQ(PlaceKeptPages(b.data, b.bytes), 0u);
  EXPECT_EQ(KeptPagesBytes(), 120 * kPage);
  EXPECT_EQ(a.data[a.bytes - 1], 9);
}
