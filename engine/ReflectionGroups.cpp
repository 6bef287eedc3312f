#include "engine/ReflectionGroups.h"

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

// The reflection records of a line's groups, in list order: the parts'
// sorted entries merged, in pieces on the threads.
std::vector<Reflection> MakeGroups(const LineGroups& found, double lambda) {
  std::vector<Reflection> groups = LargeVector<Reflection>(found.size());
  const int chunks = Chunks(groups.size());
  const auto& order = found.order;
  std::vector<size_t> sizes;
  for (const auto& o : order) sizes.push_back(o.size());
  const auto cuts = CutSorted(sizes, chunks, [&order](size_t pivotList, size_t q, size_t p, size_t i) {
    return FoundBefore(order[p][i]->first, order[pivotList][q]->first);
  });
  const size_t np = order.size();
#pragma omp parallel for schedule(static, 1) num_threads(chunks) if (chunks > 1)
  for (int c = 0; c < chunks; ++c) {
    std::vector<size_t> head = cuts[static_cast<size_t>(c)];
    const std::vector<size_t>& end = cuts[static_cast<size_t>(c) + 1];
    size_t g = 0;
    for (size_t p = 0; p < np; ++p) g += head[p];
    for (;; ++g) {
      const GroupTable::Entry* e = nullptr;
      size_t from = 0;
      for (size_t p = 0; p < np; ++p)
        if (head[p] < end[p] && (!e || FoundBefore(order[p][head[p]]->first, e->first))) {
          e = order[p][head[p]];
          from = p;
        }
      if (!e) break;
      ++head[from];
      const Found& f = e->first;
      Reflection& r = groups[g];
      r.h = f.h;
      r.k = f.k;
      r.l = f.l;
      r.d = f.d;
      r.multiplicity = e->count;
      r.sinTheta = lambda / (2.0 * f.d);
      r.theta = f.theta;
      r.reF = f.reF;
      r.imF = f.imF;
      r.f2 = f.f2 / e->count;
      r.nonZero = NonZeroF2(r.f2);
    }
  }
  return groups;
}

// Both lines in one list by angle; equal angles keep the first line first.
// Each group list is already in that order, so a merge does it.
std::vector<Reflection> MergeLines(const std::vector<Reflection>& g1, const std::vector<Reflection>& g2) {
  std::vector<Reflection> all = LargeVector<Reflection>(g1.size() + g2.size());
  const int chunks = Chunks(all.size());
  const std::vector<const std::vector<Reflection>*> lists = {&g1, &g2};
  // An item of the second line goes first only when strictly before; a
  // first-line pivot closes its piece.
  const auto cuts = CutSorted({g1.size(), g2.size()}, chunks, [&lists](size_t pivotList, size_t q, size_t p, size_t i) {
    const Reflection& pivot = (*lists[pivotList])[q];
    const Reflection& x = (*lists[p])[i];
    return p == 0 ? !ReflectionBefore(pivot, x) : ReflectionBefore(x, pivot);
  });
#pragma omp parallel for schedule(static, 1) num_threads(chunks) if (chunks > 1)
  for (int c = 0; c < chunks; ++c) {
    size_t i = cuts[static_cast<size_t>(c)][0], j = cuts[static_cast<size_t>(c)][1];
    const size_t iEnd = cuts[static_cast<size_t>(c) + 1][0], jEnd = cuts[static_cast<size_t>(c) + 1][1];
    for (size_t n = i + j; i < iEnd || j < jEnd; ++n) {
      const bool second = i == iEnd || (j < jEnd && ReflectionBefore(g2[j], g1[i]));
      Reflection& r = all[n];
      r = second ? g2[j++] : g1[i++];
      r.fwhm = -1.0;
      r.line = second ? 2 : 1;
    }
  }
  return all;
}

// The integrated intensity of every group; each is rated on its own, so a

}  // namespace pelmora::search
