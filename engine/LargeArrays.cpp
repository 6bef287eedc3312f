#include "engine/LargeArrays.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <utility>

namespace pelmora {
namespace {

constexpr uintptr_t kPage = 4096;

uintptr_t PageUp(const void* p) {
  return (reinterpret_cast<uintptr_t>(p) + kPage - 1) & ~(kPage - 1);
}
uintptr_t PageDown(const void* p) {
  return reinterpret_cast<uintptr_t>(p) & ~(kPage - 1);
}

struct KeptPages {
  std::mutex mutex;
  std::vector<std::pair<uintptr_t, size_t>> ranges;  // address, bytes
  // Where placed pages begin and end: the system moves pages of one mapping
  // at a time, and each placing makes a mapping of its own.
  std::set<uintptr_t> cuts;
};

std::atomic<bool> keeping{false};

KeptPages& Kept() {
  static KeptPages* const kept = new KeptPages;  // used by threads that may outlive statics
  return *kept;
}

// The pages of [at, end) to the kept ones, a mapping at a time: where the
// range turns out to span several (placed pages that were not recorded),
// in halves.
void KeepRange(KeptPages& kept, uintptr_t at, uintptr_t end) {
  // The pages leave; the range stays mapped, empty, for whoever frees it.
  void* const moved =
      mremap(reinterpret_cast<void*>(at), end - at, end - at, MREMAP_MAYMOVE | MREMAP_DONTUNMAP, nullptr);
  if (moved != MAP_FAILED) {
    kept.ranges.emplace_back(reinterpret_cast<uintptr_t>(moved), end - at);
  } else if (errno == EFAULT && end - at > kPage) {
    const uintptr_t half = at + (end - at) / 2 / kPage * kPage;
    KeepRange(kept, at, half);
    KeepRange(kept, half, end);
  }
}

}  // namespace

void KeepPagesOfLargeBuffers(bool on) {
  keeping = on;
}

void KeepPages(void* data, size_t bytes) {
  if (bytes < kKeptPagesFrom || !keeping.load(std::memory_order_relaxed)) return;
  const uintptr_t first = PageUp(data), end = PageDown(static_cast<char*>(data) + bytes);
  if (end <= first) return;
  // Only pages that were touched: a page never touched would be placed
  // empty and faulted in one at a time where it lands.
  std::vector<unsigned char> resident((end - first) / kPage);
  if (mincore(reinterpret_cast<void*>(first), end - first, resident.data()) != 0) return;
  KeptPages& kept = Kept();
  const std::lock_guard<std::mutex> lock(kept.mutex);
  for (size_t i = 0; i < resident.size();) {
    if (!(resident[i] & 1)) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < resident.size() && (resident[j] & 1)) ++j;
    uintptr_t at = first + i * kPage;
    const uintptr_t stop = first + j * kPage;
    for (auto cut = kept.cuts.upper_bound(at); cut != kept.cuts.end() && *cut < stop; ++cut) {
      KeepRange(kept, at, *cut);
      at = *cut;
    }
    KeepRange(kept, at, stop);
    i = j;
  }
}

size_t PlaceKeptPages(void* data, size_t bytes) {
  if (!keeping.load(std::memory_order_relaxed)) return 0;
  const uintptr_t first = PageUp(data), end = PageDown(static_cast<char*>(data) + bytes);
  if (end <= first) return 0;
  KeptPages& kept = Kept();
  const std::lock_guard<std::mutex> lock(kept.mutex);
  uintptr_t at = first;
  while (at < end && !kept.ranges.empty()) {
    auto& [from, length] = kept.ranges.back();
    const size_t take = std::min<size_t>(length, end - at);
    // The system unmaps the place first: should the move fail after that,
    // the place must be mapped again, empty, before anything writes there.
    if (mremap(reinterpret_cast<void*>(from + length - take), take, take, MREMAP_MAYMOVE | MREMAP_FIXED,
               reinterpret_cast<void*>(at)) == MAP_FAILED) {
      if (mmap(reinterpret_cast<void*>(at), take, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
               0) == MAP_FAILED) {
        std::fputs("pelmora: memory could not be mapped again after a failed move\n", stderr);
        std::abort();
      }
      break;
    }
    kept.cuts.insert(at);
    kept.cuts.insert(at + take);
    at += take;
    if (take == length)
      kept.ranges.pop_back();
    else
      length -= take;
  }
  if (at == first) return 0;
  // The part of a page before the first whole one; the caller touches what follows.
  static_cast<volatile char*>(data)[0] = 0;
  return at - reinterpret_cast<uintptr_t>(data);
}

void ReleaseKeptPages() {
  std::vector<std::pair<uintptr_t, size_t>> ranges;
  {
    KeptPages& kept = Kept();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    ranges.swap(kept.ranges);
    kept.cuts.clear();
  }
  for (const auto& [from, length] : ranges) munmap(reinterpret_cast<void*>(from), length);
}

size_t KeptPagesBytes() {
  KeptPages& kept = Kept();
  const std::lock_guard<std::mutex> lock(kept.mutex);
  size_t n = 0;
  for (const auto& r : kept.ranges) n += r.second;
  return n;
}

}  // namespace pelmora
