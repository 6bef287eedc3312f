#include "engine/ReflectionGroups.h"

#include <algorithm>
#include <bit>

#include "engine/LargeArrays.h"
#include "engine/SearchThreads.h"
#include "io/NumberFormat.h"

namespace pelmora::search {
namespace {

// 1 when f2 printed with "%.4f" reads back above zero. Only values near the
// rounding edge need the printf itself.
int NonZeroF2(double f2) {
  if (!(f2 == f2)) return 0;
  if (f2 > 6e-5) return 1;
  if (f2 < 4e-5) return 0;
  return parseDoubleOr(cformat("%.4f", f2), 0.0) > 0.0 ? 1 : 0;
}

// Cuts sorted lists of the given sizes into `chunks` consecutive pieces of
// the order they make together: cuts[c][p] is where piece c starts in list
// p. The pieces start at quantiles of the longest list; before(L, q, p, i)
// tells whether item i of list p goes before item q of list L.
template <class Before>
std::vector<std::vector<size_t>> CutSorted(const std::vector<size_t>& sizes, int chunks, Before before) {
  const size_t np = sizes.size();
  const size_t longest = static_cast<size_t>(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
  std::vector<std::vector<size_t>> cuts(static_cast<size_t>(chunks) + 1, std::vector<size_t>(np, 0));
  cuts.back() = sizes;
  for (int c = 1; c < chunks; ++c) {
    const size_t q = sizes[longest] * static_cast<size_t>(c) / static_cast<size_t>(chunks);
    for (size_t p = 0; p < np; ++p) {
      size_t lo = 0, hi = sizes[p];
      while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (before(longest, q, p, mid)) lo = mid + 1;
        else hi = mid;
      }
      cuts[static_cast<size_t>(c)][p] = lo;
    }
  }
  return cuts;
}

// How many pieces a list of n records is made or merged in.
int Chunks(size_t n) { return n >= kParallelRecords ? MaxThreads() : 1; }

}  // namespace

// One pass into buckets of some four keys each, spread evenly between the
// smallest and the largest angle, then each bucket sorted on its own: the
// keys are scattered once, where a radix sort of 64-bit angles scatters
// them five or six times.
void SortAngleKeys(std::vector<AngleKey>& keys) {
  const auto before = [](const AngleKey& a, const AngleKey& b) { return a.bits != b.bits ? a.bits < b.bits : a.n < b.n; };
  const size_t size = keys.size();
  if (size < 256) {
    std::sort(keys.begin(), keys.end(), before);
    return;
  }
  std::uint64_t lo = keys[0].bits, hi = keys[0].bits;
  for (const AngleKey& k : keys) {
    lo = std::min(lo, k.bits);
    hi = std::max(hi, k.bits);
  }
  const int bucketBits = std::bit_width(size / 4);
  const int spanBits = std::bit_width(hi - lo);
  const int shift = spanBits > bucketBits ? spanBits - bucketBits : 0;
  const size_t buckets = static_cast<size_t>((hi - lo) >> shift) + 1;
  std::vector<size_t> start(buckets + 1, 0);
  for (const AngleKey& k : keys) ++start[static_cast<size_t>((k.bits - lo) >> shift) + 1];
  for (size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  std::vector<AngleKey> sorted = LargeVector<AngleKey>(size);
  {
    std::vector<size_t> at(start.begin(), start.end() - 1);
    for (const AngleKey& k : keys) sorted[at[static_cast<size_t>((k.bits - lo) >> shift)]++] = k;
  }
  for (size_t b = 0; b < buckets; ++b) {
    AngleKey* const first = sorted.data() + start[b];
    AngleKey* const last = sorted.data() + start[b + 1];
    if (last - first < 16) {
      // Insertion sort: most buckets hold a few keys.
      for (AngleKey* i = first + 1; i < last; ++i) {
        const AngleKey k = *i;
        AngleKey* j = i;
        for (; j > first && before(k, j[-1]); --j) *j = j[-1];
        *j = k;
      }
    } else {
      std::sort(first, last, before);
    }
  }
  keys.swap(sorted);
  FreeKeepingPages(sorted);
}

// The list of both lines: the sorted entries of every part of each line
// merged, in pieces on the threads, straight into the reflection records
// (no per-line copies: a large cell's list is the largest thing a run
// holds). Equal angles and indices keep the first line first.
std::vector<Reflection> MakeList(const LineGroups& line1, const LineGroups& line2, double lambda1, double lambda2) {
  struct Part {
    const std::vector<const GroupTable::Entry*>* entries;
    std::uint8_t line;
  };
  std::vector<Part> parts;
  for (const auto& o : line1.order) parts.push_back({&o, 1});
  for (const auto& o : line2.order) parts.push_back({&o, 2});
  // A strict order over the parts' items: list order, then the line.
  const auto before = [&parts](size_t p, size_t i, size_t q, size_t j) {
    const Found& a = (*parts[p].entries)[i]->first;
    const Found& b = (*parts[q].entries)[j]->first;
    if (FoundBefore(a, b)) return true;
    return !FoundBefore(b, a) && parts[p].line < parts[q].line;
  };
  std::vector<Reflection> list = LargeVector<Reflection>(line1.size() + line2.size());
  const int chunks = Chunks(list.size());
  std::vector<size_t> sizes;
  for (const Part& p : parts) sizes.push_back(p.entries->size());
  const auto cuts = CutSorted(sizes, chunks, [&before](size_t pivotList, size_t q, size_t p, size_t i) {
    return before(p, i, pivotList, q);
  });
  const size_t np = parts.size();
  OnThreads(chunks, [&](int c) {
    std::vector<size_t> head = cuts[static_cast<size_t>(c)];
    const std::vector<size_t>& end = cuts[static_cast<size_t>(c) + 1];
    size_t g = 0;
    for (size_t p = 0; p < np; ++p) g += head[p];
    for (;; ++g) {
      size_t from = np;
      for (size_t p = 0; p < np; ++p)
        if (head[p] < end[p] && (from == np || before(p, head[p], from, head[from]))) from = p;
      if (from == np) break;
      const std::vector<const GroupTable::Entry*>& entries = *parts[from].entries;
      // The entries lie in the order they were found: fetched ahead, since
      // each is a miss otherwise.
      constexpr size_t kAhead = 8;
      if (head[from] + kAhead < entries.size()) __builtin_prefetch(entries[head[from] + kAhead]);
      const GroupTable::Entry* e = entries[head[from]++];
      const Found& f = e->first;
      Reflection& r = list[g];
      r.h = f.h;
      r.k = f.k;
      r.l = f.l;
      r.d = f.d;
      r.multiplicity = e->count;
      r.sinTheta = (parts[from].line == 1 ? lambda1 : lambda2) / (2.0 * f.d);
      r.theta = f.theta;
      r.reF = f.reF;
      r.imF = f.imF;
      r.f2 = f.f2 / e->count;
      r.nonZero = NonZeroF2(r.f2);
      r.fwhm = -1.0;
      r.line = parts[from].line;
    }
  });
  return list;
}

// The integrated intensity of every group; each is rated on its own, so a

}  // namespace pelmora::search
