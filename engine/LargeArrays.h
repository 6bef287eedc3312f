// The big arrays of a long calculation: vectors whose pages are faulted in
// on two threads, and text made in place.
//
// Large (2 MB) pages were used here once. On a virtual machine they cost
// some 0.1 ms a megabyte to touch while the host still backs the memory,
// and some 3 ms a megabyte once it has taken the memory back, which it
// does with memory left free for a few seconds; small pages cost some
// 0.6 ms a megabyte either way. A run started after a pause met the dear
// case, and a calculation of 2000 atoms was a quarter slower with them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <vector>

#include <sys/mman.h>

#include "engine/SearchThreads.h"

namespace pelmora {

// Pages of large buffers that a run is done with, kept for its next large
// buffers: moved there in the page tables, where pages handed back would be
// cleared again by the system at the next buffer's first touch (some
// 0.45 ms a megabyte here, against 0.003 ms to move them) and handing them
// back costs some 0.1 ms a megabyte more. Buffers from kKeptPagesFrom on.
inline constexpr size_t kKeptPagesFrom = size_t{256} << 10;
// Turns the keeping on, for a process where every allocation of
// kKeptPagesFrom bytes or more is a mapping of its own (malloc's mmap
// threshold fixed at most that): placed pages make mappings of their own
// within a buffer, which would otherwise stay behind in the heap when the
// buffer is freed and add up over many runs.
void KeepPagesOfLargeBuffers(bool on = true);
// The whole pages of [data, data + bytes) kept; the range stays mapped, its
// pages empty again, so that it is freed as any other.
void KeepPages(void* data, size_t bytes);
// Kept pages placed under [data, data + bytes) from its start, as far as
// they go; the bytes from data on that are now backed (0 when none). Their
// contents are a former buffer's.
size_t PlaceKeptPages(void* data, size_t bytes);
// The kept pages handed back to the system: at the end of a run.
void ReleaseKeptPages();
size_t KeptPagesBytes();

// The pages of [data, data + bytes) faulted in: the system clears each page
// it hands out, which for megabytes takes longer than filling them. Whole
// pages go in one call where the system offers it (Linux 5.14 and later),
// half as dear as a fault a page.
//
// Each page is then written once from here as well: under a hypervisor
// that shadows the guest's page tables, the first write of the program to
// a page costs some 5 us more however the system filled it, and that cost
// belongs on the threads touching, not on the one filling afterwards (55 MB
// of list: 65 ms on one thread otherwise).
inline void TouchPages(void* data, size_t bytes) {
  constexpr uintptr_t kPage = 4096;
  auto* const first = static_cast<volatile unsigned char*>(data);
  if (bytes == 0) return;
#ifdef MADV_POPULATE_WRITE
  // A megabyte a call: the system holds the process's map while it fills a
  // range, and another thread that maps or frees memory meanwhile waits.
  constexpr uintptr_t kSlice = uintptr_t{1} << 20;
  uintptr_t at = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kPage - 1);
  while (at < end && madvise(reinterpret_cast<void*>(at), std::min(kSlice, end - at), MADV_POPULATE_WRITE) == 0)
    at += std::min(kSlice, end - at);
#endif
  for (size_t at = 0; at < bytes; at += kPage) first[at] = 0;
  first[bytes - 1] = 0;
}

// The same on two threads, for tens of megabytes: pieces taken as the
// threads come free, so that one slowed by the system does not hold up the
// other with fixed halves.
inline void TouchPagesOnTwoThreads(void* data, size_t bytes) {
  constexpr size_t kPiece = size_t{2} << 20;
  search::EachOnThreads(2, (bytes + kPiece - 1) / kPiece, [&](size_t i) {
    TouchPages(static_cast<char*>(data) + i * kPiece, std::min(kPiece, bytes - i * kPiece));
  });
}

// Large memory made ready for writing: kept pages where there are some,
// the rest faulted in (from 2 MB on two threads).
inline void ReadyPages(void* data, size_t bytes) {
  constexpr size_t kTouchedOnTwoThreads = size_t{2} << 20;
  const size_t backed = bytes >= kKeptPagesFrom ? PlaceKeptPages(data, bytes) : 0;
  char* const rest = static_cast<char*>(data) + backed;
  if (bytes - backed >= kTouchedOnTwoThreads)
    TouchPagesOnTwoThreads(rest, bytes - backed);
  else if (bytes > backed)
    TouchPages(rest, bytes - backed);
}

// A vector of n copies of value; a large one's pages readied before the
// copies are made on this one.
template <class T>
std::vector<T> LargeVector(size_t n, const T& value = T()) {
  std::vector<T> v;
  v.reserve(n);
  if (n * sizeof(T) >= kKeptPagesFrom) ReadyPages(v.data(), n * sizeof(T));
  v.resize(n, value);
  return v;
}

// A vector emptied, its large buffer's pages kept for the next one.
template <class T>
void FreeKeepingPages(std::vector<T>& v) {
  static_assert(std::is_trivially_destructible_v<T>);
  KeepPages(v.data(), v.capacity() * sizeof(T));
  std::vector<T>().swap(v);
}

// Text made in place, for the blocks of a long list: rows are formatted
// straight into it, without a string's checks and copies.
class LargeText {
 public:
  LargeText() = default;
  LargeText(const LargeText&) = delete;
  LargeText& operator=(const LargeText&) = delete;
  ~LargeText() { std::free(data_); }
  // Room for n more bytes at end(); false when memory ran out.
  bool Room(size_t n) {
    if (capacity_ - size_ >= n) return true;
    const size_t cap = std::max(size_ + n, 2 * capacity_);
    char* grown = static_cast<char*>(std::realloc(data_, cap));
    if (!grown) return false;
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
