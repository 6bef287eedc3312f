// Large pages under big arrays: their first touch then costs a few hundred
// page faults rather than one per 4 KB, which on a virtual machine took
// longer than filling the array.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace pelmora {

inline constexpr size_t kLargePageBytes = size_t{2} << 20;

// Advice for the large pages inside [data, data + bytes), taken to the
// small pages that hold its ends: those belong to the same allocation, and
// when they reach a large-page boundary (an allocation the system placed on
// one) the large pages at the ends are wholly its own too.
inline void AdviseLargePages(const void* data, size_t bytes) {
#ifdef __linux__
  constexpr std::uintptr_t kHuge = kLargePageBytes, kPage = 4096;
  if (bytes < 2 * kHuge) return;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = at & ~(kPage - 1), last = (at + bytes + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t begin = (first + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = last & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// Advice for memory that is itself whole large pages, on a large-page
// boundary.
inline void AdviseWholeLargePages(void* data, size_t bytes) {
#ifdef __linux__
  madvise(data, bytes, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// Room for n elements or a few more: as many as fill whole large pages but
// for a few bytes, which glibc's own header then rounds up to a mapping of
// whole large pages. Linux places such a mapping on a large-page boundary,
// so the advice covers it from its first byte, where a mapping of any other
// length may begin up to 2 MB short of a boundary, in small pages.
template <class T>
size_t LargeCapacity(size_t n) {
  constexpr size_t kSlack = 64;
  const size_t bytes = n * sizeof(T);
  if (bytes < 2 * kLargePageBytes || sizeof(T) > 1024) return n;
  const size_t whole = (bytes + kSlack + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
  return std::max(n, (whole - kSlack) / sizeof(T));
}

// The pages of [data, data + bytes) faulted in, the second half on a thread
// of its own: the system clears each page it hands out, which for tens of
// megabytes took longer than filling them.
inline void TouchPagesOnTwoThreads(void* data, size_t bytes) {
  constexpr size_t kPage = 4096;
  auto* const first = static_cast<volatile unsigned char*>(data);
  const auto touch = [first](size_t from, size_t to) {
    for (size_t at = from; at < to; at += kPage) first[at] = 0;
  };
  const size_t half = bytes / 2 / kPage * kPage;
  std::jthread second([&] { touch(half, bytes); });
  touch(0, half);
}

// A vector of n copies of value, its memory advised before it is touched,
// and a large one's pages faulted in on two threads before the copies are
// made on this one.
template <class T>
std::vector<T> LargeVector(size_t n, const T& value = T()) {
  constexpr size_t kTouchedOnTwoThreads = size_t{16} << 20;
  std::vector<T> v;
  v.reserve(LargeCapacity<T>(n));
  AdviseLargePages(v.data(), v.capacity() * sizeof(T));
  if (n * sizeof(T) >= kTouchedOnTwoThreads) TouchPagesOnTwoThreads(v.data(), n * sizeof(T));
  v.resize(n, value);
  return v;
}

// Text made in place on large pages from its first byte (2 MB aligned and
// advised), for the blocks of a long list: a few faults where 4 KB pages
// would take hundreds.
class LargeText {
 public:
  LargeText() = default;
  LargeText(const LargeText&) = delete;
  LargeText& operator=(const LargeText&) = delete;
  ~LargeText() { std::free(data_); }
  // Room for n more bytes at end(); false when memory ran out.
  bool Room(size_t n) {
    if (capacity_ - size_ >= n) return true;
    constexpr size_t kHuge = kLargePageBytes;
    const size_t want = std::max(size_ + n, 2 * capacity_);
    const size_t cap = (want + kHuge - 1) / kHuge * kHuge;
    char* grown = static_cast<char*>(std::aligned_alloc(kHuge, cap));
    if (!grown) return false;
    AdviseLargePages(grown, cap);
    if (size_ > 0) std::memcpy(grown, data_, size_);
    std::free(data_);
    data_ = grown;
    capacity_ = cap;
    return true;
  }
  char* end() { return data_ + size_; }
  void SetEnd(const char* p) { size_ = static_cast<size_t>(p - data_); }
  void Clear() { size_ = 0; }
  std::string_view View() const { return {data_, size_}; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace pelmora
