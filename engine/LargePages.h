// Large pages under big arrays: their first touch then costs a few hundred
// page faults rather than one per 4 KB, which on a virtual machine took
// longer than filling the array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace pelmora {

inline void AdviseLargePages(const void* data, size_t bytes) {
#ifdef __linux__
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < 2 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// A vector of n copies of value, its memory advised before it is touched.
template <class T>
std::vector<T> LargeVector(size_t n, const T& value = T()) {
  std::vector<T> v;
  v.reserve(n);
  AdviseLargePages(v.data(), n * sizeof(T));
  v.resize(n, value);
  return v;
}

}  // namespace pelmora
