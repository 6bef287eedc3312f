// The reflection search: find, sort, group and rate every reflection in the
// experiment's 2-theta range.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "engine/Intensities.h"
#include "engine/Komorka.h"
#include "engine/StructureFactorKernel.h"
#include "io/NumberFormat.h"

namespace pelmora {
namespace {

constexpr int kMinIndexLimit = 15;
// Below this many records (or groups) one thread sorts, groups and rates
// them: a second one would not pay for its start.
constexpr size_t kParallelRecords = 20000;

double RoundDown4(double x) {
  const double p = std::pow(10.0, 4);
  return std::floor(x * p) / p;
}

// 1 when f2 printed with "%.4f" reads back above zero. Only values near the
// rounding edge need the printf itself.
int NonZeroF2(double f2) {
  if (!(f2 == f2)) return 0;
  if (f2 > 6e-5) return 1;
  if (f2 < 4e-5) return 0;
  return parseDoubleOr(cformat("%.4f", f2), 0.0) > 0.0 ? 1 : 0;
}

// Posts progress positions without flooding the watcher: a position is sent
// only when it moves forward.
class PositionPoster {
 public:
  explicit PositionPoster(CalcProgress& p) : progress_(p) {}
  void Post(int pos) {
    int last = last_.load(std::memory_order_relaxed);
    while (pos > last) {
      if (last_.compare_exchange_weak(last, pos)) {
        progress_.SetPosition(pos);
        return;
      }
    }
  }

 private:
  CalcProgress& progress_;
  std::atomic<int> last_{-1};
};

// One index triple in range, as the search finds it: no more than sorting
// and grouping need, so that a large cell's records stay small.
struct Found {
  double theta, d, reF, imF, f2;
  std::int32_t h, k, l;
};

// The list order of ReflectionBefore, on found records.
inline bool FoundBefore(const Found& a, const Found& b) {
  if (a.theta != b.theta) return a.theta < b.theta;
  if (a.h != b.h) return a.h > b.h;
  if (a.k != b.k) return a.k > b.k;
  return a.l > b.l;
}

// Reflections of one group share the angle and |F|^2 to four decimals and
// the indices up to sign and order.
struct GroupKey {
  double theta, f2;
  int i0, i1, i2;  // sorted absolute indices
  bool operator==(const GroupKey& o) const {
    return theta == o.theta && f2 == o.f2 && i0 == o.i0 && i1 == o.i1 && i2 == o.i2;
  }
  static GroupKey Of(const Found& r) {
    int v[3] = {std::abs(r.h), std::abs(r.k), std::abs(r.l)};
    std::sort(v, v + 3);
    return {RoundDown4(r.theta), RoundDown4(r.f2), v[0], v[1], v[2]};
  }
  std::uint64_t Hash() const {
    std::uint64_t t, f;
    std::memcpy(&t, &theta, 8);
    std::memcpy(&f, &f2, 8);
    std::uint64_t h = t * 0x9E3779B97F4A7C15ull;
    h ^= f + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= (static_cast<std::uint64_t>(i0) << 40 | static_cast<std::uint64_t>(i1) << 20 |
          static_cast<std::uint64_t>(i2)) +
         0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h ^ (h >> 29);
  }
};

// Group index by key: open addressing over a power-of-two table, one
// allocation for the whole list instead of one node per group.
class GroupIndex {
 public:
  explicit GroupIndex(size_t n) {
    size_t cap = 16;
    while (cap < 2 * n) cap <<= 1;
    mask_ = cap - 1;
    slots_.assign(cap, 0);
    keys_.reserve(n);
  }
  // The group of the key, made as number keys_.size() when new.
  size_t Find(const GroupKey& key, bool& made) {
    for (size_t i = key.Hash() & mask_;; i = (i + 1) & mask_) {
      const std::uint32_t slot = slots_[i];
      if (slot == 0) {
        keys_.push_back(key);
        slots_[i] = static_cast<std::uint32_t>(keys_.size());
        made = true;
        return keys_.size() - 1;
      }
      if (keys_[slot - 1] == key) {
        made = false;
        return slot - 1;
      }
    }
  }

 private:
  size_t mask_ = 0;
  std::vector<std::uint32_t> slots_;  // group number + 1; 0 = free
  std::vector<GroupKey> keys_;
};

// The cell and experiment values that one search reads, with the records
// each h value finds. Each h fills its own lists, joined in h order
// afterwards, so that the outcome does not depend on the number of threads.
class IndexSearch {
 public:
  IndexSearch(const CKomorka& doc, bool second, const std::array<int, 3>& limits)
      : doc_(doc),
        second_(second),
        H_(limits[0]),
        K_(limits[1]),
        L_(limits[2]),
        kernel_(doc.cellAtoms, H_, K_, L_, doc.SiteDefaultB()),
        V2_(doc.CellVolume() * doc.CellVolume()),
        found1_(2 * H_ + 1),
        found2_(2 * H_ + 1) {}

  // Searches every h over the threads; false when cancelled.
  bool Run(PositionPoster& poster, const std::atomic<bool>& cancel);
  // The records of one wavelength in angle order; the per-h lists are freed.
  std::vector<Found> TakeSorted(int line);

 private:
  // One candidate l of a row: its spacing and the Bragg angles in range.
  struct Candidate {
    int l;
    double d, t1, t2;
    bool in1, in2;
  };
  void SearchH(int h, StructureFactorKernel::Scratch& scratch);
  void CollectRow(int h, int k, std::vector<Candidate>& row) const;
  // theta of a wavelength, and whether its 2-theta lies in the range.
  bool InRange(double lambda, double d, double& theta) const;

  const CKomorka& doc_;
  const bool second_;
  const int H_, K_, L_;
  const StructureFactorKernel kernel_;
  const double V2_;
  std::vector<std::vector<Found>> found1_, found2_;
};

bool IndexSearch::InRange(double lambda, double d, double& theta) const {
  const double s = lambda / (2.0 * d);
  if (!(s <= 1.0)) return false;
  theta = std::asin(s);
  const double tt = TwoThetaDegrees(theta);
  return doc_.angleMin <= tt && tt <= doc_.angleMax;
}

void IndexSearch::CollectRow(int h, int k, std::vector<Candidate>& row) const {
  row.clear();
  for (int l = -L_; l <= L_; ++l) {
    if (h == 0 && k == 0 && l == 0) continue;
    Candidate c{l, std::sqrt(V2_ / doc_.MetricSum(h, k, l)), 0.0, 0.0, false, false};
    c.in1 = InRange(doc_.lambda1, c.d, c.t1);
    if (second_) c.in2 = InRange(doc_.lambda2, c.d, c.t2);
    if (c.in1 || c.in2) row.push_back(c);
  }
}

void IndexSearch::SearchH(int h, StructureFactorKernel::Scratch& scratch) {
  const int ns = kernel_.speciesCount();
  std::vector<Candidate> row;
  std::vector<int> ls;
  std::vector<double> sums, lengths;
  for (int k = -K_; k <= K_; ++k) {
    CollectRow(h, k, row);
    if (row.empty()) continue;
    ls.resize(row.size());
    for (size_t j = 0; j < row.size(); ++j) ls[j] = row[j].l;
    sums.resize(row.size() * ns * 2);
    kernel_.PhaseSums(h, k, ls.data(), static_cast<int>(ls.size()), sums.data(), scratch);
    for (size_t j = 0; j < row.size(); ++j) {
      const Candidate& c = row[j];
      for (int line = 1; line <= 2; ++line) {
        if (!(line == 1 ? c.in1 : c.in2)) continue;
        const double lambda = line == 1 ? doc_.lambda1 : doc_.lambda2;
        Found r{line == 1 ? c.t1 : c.t2, c.d, 0.0, 0.0, 0.0, h, k, c.l};
        const double sq = std::sin(r.theta) / lambda;
        const double* ff = nullptr;
        if (doc_.radiation == 0) {
          ff = kernel_.CachedFormFactors(sq * sq, scratch);
        } else if (kernel_.weighted()) {
          lengths.resize(static_cast<size_t>(ns));
          kernel_.NeutronLengths(sq * sq, lengths.data());
          ff = lengths.data();
        }
        kernel_.Combine(&sums[j * ns * 2], doc_.radiation, ff, r.reF, r.imF);
        r.f2 = r.reF * r.reF + r.imF * r.imF;
        (line == 1 ? found1_ : found2_)[h + H_].push_back(r);
      }
    }
  }
}

bool IndexSearch::Run(PositionPoster& poster, const std::atomic<bool>& cancel) {
  const int nh = 2 * H_ + 1;
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stopped{false};
  const auto worker = [&]() {
    StructureFactorKernel::Scratch scratch;
    for (;;) {
      const int i = next.fetch_add(1);
      if (i >= nh || stopped.load(std::memory_order_relaxed)) return;
      poster.Post(static_cast<int>(done.load() * 250.0 / nh));
      if (cancel) {
        stopped = true;
        return;
      }
      SearchH(i - H_, scratch);
      done.fetch_add(1);
    }
  };
  // Small structures finish before a second thread would get going.
  const double work = static_cast<double>(nh) * (2 * K_ + 1) * (2 * L_ + 1) * (1.0 + doc_.cellAtoms.size());
  const unsigned hw = work < 4.0e6 ? 1u : std::max(1u, std::thread::hardware_concurrency());
  const unsigned nThreads = std::min<unsigned>(hw, static_cast<unsigned>(nh));
  {
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < nThreads; ++t) pool.emplace_back(worker);
    worker();
  }
  return !stopped;
}

// A record's place in the angle order: the bits of its angle, which order
// as the (positive) numbers do.
struct AngleKey {
  std::uint64_t bits;
  const Found* found;
};

// Sorts keys by angle, stably: least significant digit first, skipping the
// digits that every key shares (most of the exponent's).
void RadixSortByAngle(AngleKey* keys, size_t n, AngleKey* buffer) {
  constexpr int kDigitBits = 11;
  constexpr std::uint64_t kMask = (1u << kDigitBits) - 1;
  std::vector<size_t> start(kMask + 1);
  AngleKey* from = keys;
  AngleKey* to = buffer;
  for (int shift = 0; shift < 64 && n > 0; shift += kDigitBits) {
    std::fill(start.begin(), start.end(), 0);
    for (size_t i = 0; i < n; ++i) ++start[(from[i].bits >> shift) & kMask];
    if (start[(from[0].bits >> shift) & kMask] == n) continue;
    size_t sum = 0;
    for (size_t& c : start) sum += std::exchange(c, sum);
    for (size_t i = 0; i < n; ++i) to[start[(from[i].bits >> shift) & kMask]++] = from[i];
    std::swap(from, to);
  }
  if (from != keys) std::copy(from, from + n, keys);
}

std::vector<Found> IndexSearch::TakeSorted(int line) {
  std::vector<std::vector<Found>>& perH = line == 1 ? found1_ : found2_;
  size_t n = 0;
  for (const auto& v : perH) n += v.size();
  std::vector<AngleKey> keys(n), buffer(n);
  std::vector<Found> all(n);
  // The records of one part, by angle: a stable sort of keys gathered from
  // the last record back. The search makes each h's list in ascending k and
  // l, so records of equal angle come in the list's own order (larger h, k,
  // l first) and stay so. Each record is then copied once into its place;
  // should the order not hold after all, the part is sorted outright.
  const auto sortPart = [&](size_t from, size_t to, auto&& take) {
    AngleKey* k = keys.data() + from;
    for (auto v = perH.rbegin(); v != perH.rend(); ++v)
      for (auto f = v->rbegin(); f != v->rend(); ++f)
        if (take(*f)) {
          k->found = &*f;
          std::memcpy(&k->bits, &f->theta, sizeof k->bits);
          ++k;
        }
    RadixSortByAngle(keys.data() + from, to - from, buffer.data() + from);
    for (size_t i = from; i < to; ++i) all[i] = *keys[i].found;
    for (size_t i = from + 1; i < to; ++i)
      if (!FoundBefore(all[i - 1], all[i])) {
        std::sort(all.begin() + static_cast<std::ptrdiff_t>(from), all.begin() + static_cast<std::ptrdiff_t>(to),
                  [](const Found& a, const Found& b) { return FoundBefore(a, b); });
        break;
      }
  };
  // The order is total (no two records share h, k and l), so the list is
  // the one any sort gives. A large list goes in two parts, the records
  // below a pivot angle and the rest, each on a thread of its own.
  if (n < kParallelRecords) {
    sortPart(0, n, [](const Found&) { return true; });
  } else {
    std::vector<double> sample;
    for (const auto& v : perH)
      for (size_t i = 0; i < v.size(); i += 64) sample.push_back(v[i].theta);
    std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
    const double pivot = sample[sample.size() / 2];
    size_t low = 0;
    for (const auto& v : perH)
      for (const Found& f : v) low += f.theta < pivot;
    std::jthread upper([&] { sortPart(low, n, [pivot](const Found& f) { return !(f.theta < pivot); }); });
    sortPart(0, low, [pivot](const Found& f) { return f.theta < pivot; });
  }
  for (auto& v : perH) std::vector<Found>().swap(v);
  return all;
}

// Counts records through the grouping phase's share of the progress range.
struct GroupingProgress {
  PositionPoster& poster;
  const std::atomic<bool>& cancel;
  double step;
  long counter = 0;
};

// The groups of the records [begin, end) of a sorted list, a stretch that
// starts and ends between runs (below): the first record and the size of
// each group, in list order. False when cancelled.
bool FindGroups(const std::vector<Found>& list, size_t begin, size_t end, bool postFirst, GroupingProgress gp,
                std::vector<std::uint32_t>& first, std::vector<std::int32_t>& size) {
  constexpr size_t kShortRun = 48;
  std::vector<GroupKey> runKeys;
  for (size_t i = begin; i < end;) {
    const double rounded = RoundDown4(list[i].theta);
    size_t runEnd = i + 1;
    while (runEnd < end && RoundDown4(list[runEnd].theta) == rounded) ++runEnd;
    const size_t runFirst = first.size();
    std::optional<GroupIndex> index;
    if (runEnd - i > kShortRun) index.emplace(runEnd - i);
    runKeys.clear();
    for (; i < runEnd; ++i) {
      if (i > begin || postFirst) {
        gp.poster.Post(static_cast<int>(gp.counter * gp.step + 500));
        if (gp.cancel) return false;
      }
      ++gp.counter;
      const GroupKey key = GroupKey::Of(list[i]);
      bool made = false;
      size_t g = 0;
      if (index) {
        g = index->Find(key, made);
      } else {
        while (g < runKeys.size() && !(runKeys[g] == key)) ++g;
        made = g == runKeys.size();
        if (made) runKeys.push_back(key);
      }
      if (made) {
        first.push_back(static_cast<std::uint32_t>(i));
        size.push_back(1);
      } else {
        ++size[runFirst + g];
      }
    }
  }
  return true;
}

// Groups a sorted list. A record can only match the one group with its
// exact key (a second group with that key could never have been made), and
// the key's rounded angle never decreases along the list: the records of one
// rounded angle form a run, and each run is grouped on its own, a short one
// by comparing with its few groups, a long one through a hash index. So a
// long list is grouped in two halves at once, split between runs. Groups
// keep their first record's values and come out in list order. False when
// cancelled.
bool GroupFound(const std::vector<Found>& list, double lambda, bool firstList, GroupingProgress& gp,
                std::vector<Reflection>& groups) {
  const size_t n = list.size();
  size_t mid = n >= kParallelRecords ? n / 2 : n;
  while (mid < n && RoundDown4(list[mid].theta) == RoundDown4(list[mid - 1].theta)) ++mid;
  std::vector<std::uint32_t> first, first2;
  std::vector<std::int32_t> size, size2;
  bool done1 = true, done2 = true;
  {
    GroupingProgress gp2 = gp;
    gp2.counter += static_cast<long>(mid);
    std::jthread second;
    if (mid < n) second = std::jthread([&] { done2 = FindGroups(list, mid, n, true, gp2, first2, size2); });
    done1 = FindGroups(list, 0, mid, !firstList, gp, first, size);
  }
  gp.counter += static_cast<long>(n);
  if (!done1 || !done2) return false;
  first.insert(first.end(), first2.begin(), first2.end());
  size.insert(size.end(), size2.begin(), size2.end());
  groups.resize(first.size());
  const auto fill = [&](size_t from, size_t to) {
    for (size_t g = from; g < to; ++g) {
      const Found& f = list[first[g]];
      Reflection& r = groups[g];
      r.h = f.h;
      r.k = f.k;
      r.l = f.l;
      r.d = f.d;
      r.multiplicity = size[g];
      r.sinTheta = lambda / (2.0 * f.d);
      r.theta = f.theta;
      r.reF = f.reF;
      r.imF = f.imF;
      r.f2 = f.f2;
      r.nonZero = NonZeroF2(f.f2);
    }
  };
  const size_t groupMid = mid < n ? first.size() - first2.size() : first.size();
  std::jthread second;
  if (groupMid < first.size()) second = std::jthread(fill, groupMid, first.size());
  fill(0, groupMid);
  return true;
}

// Both lines in one list by angle; equal angles keep the first line first.
// Each group list is already in that order, so a merge does it.
std::vector<Reflection> MergeLines(const std::vector<Reflection>& g1, const std::vector<Reflection>& g2) {
  std::vector<Reflection> all;
  all.reserve(g1.size() + g2.size());
  size_t i = 0, j = 0;
  while (i < g1.size() || j < g2.size()) {
    const bool second = i == g1.size() || (j < g2.size() && ReflectionBefore(g2[j], g1[i]));
    Reflection r = second ? g2[j++] : g1[i++];
    r.fwhm = -1.0;
    r.line = second ? 2 : 1;
    all.push_back(r);
  }
  return all;
}

// The integrated intensity of every group; each is rated on its own, so a
// long list goes in two halves at once. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups1, std::vector<Reflection>& groups2,
                PositionPoster& poster) {
  const size_t n1 = groups1.size(), n2 = groups2.size();
  const double step = 250.0 / static_cast<double>(n1 + n2);
  const CKomorka::LineFactors factors1 = doc.LineIntensityFactors(1), factors2 = doc.LineIntensityFactors(2);
  // Groups [from, to) of each line; the progress counts the first line's
  // groups, then the second's.
  const auto rate = [&](size_t from1, size_t to1, size_t from2, size_t to2) {
    for (size_t i = from1; i < to1; ++i) {
      poster.Post(static_cast<int>(static_cast<double>(i) * step + 750));
      if (doc.cancelRequested) return false;
      groups1[i].intensity = doc.GroupIntensity(groups1[i], 1, factors1);
    }
    for (size_t i = from2; i < to2; ++i) {
      poster.Post(static_cast<int>(static_cast<double>(n1 + i) * step + 750));
      if (doc.cancelRequested) return false;
      groups2[i].intensity = doc.GroupIntensity(groups2[i], 2, factors2);
    }
    return true;
  };
  if (n1 + n2 < kParallelRecords) return rate(0, n1, 0, n2);
  bool done2 = true;
  {
    std::jthread second([&] { done2 = rate(n1 / 2, n1, n2 / 2, n2); });
    if (!rate(0, n1 / 2, 0, n2 / 2)) return false;
  }
  return done2;
}

}  // namespace

std::array<int, 3> CKomorka::SearchLimits() const {
  // |h| = |a . g| <= a |g| = a / d, so a / d_min bounds h; likewise k and l.
  std::array<int, 3> lim = {kMinIndexLimit, kMinIndexLimit, kMinIndexLimit};
  const double invDmin = InverseDMin();
  if (!(invDmin > 0.0)) return lim;
  const double len[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    const double bound = std::ceil(std::fabs(len[i]) * invDmin) + 1.0;
    if (std::isfinite(bound) && bound > lim[i]) lim[i] = static_cast<int>(std::min(bound, 1.0e6));
  }
  return lim;
}

int CKomorka::CalculateReflections(CalcProgress& progress) {
  RefreshCellMetric();
  progress.SetRange(0, 1000);
  progress.SetPosition(0);
  PositionPoster poster(progress);
  const auto phase = [&](const char* status, int position) {
    if (!cancelRequested) progress.SetStatus(status);
    poster.Post(position);
  };
  poster.Post(0);
  if (!cancelRequested) progress.SetStatus("Wyszukiwanie refleksów");

  const bool second = HasSecondLine();
  std::vector<Found> list1, list2;
  {
    IndexSearch search(*this, second, SearchLimits());
    if (!search.Run(poster, cancelRequested)) return -1;
    phase("Sortowanie refleksów", 250);
    list1 = search.TakeSorted(1);
    list2 = search.TakeSorted(2);
  }

  phase("Grupowanie refleksów", 500);
  if (list1.empty()) return -1;
  const double nRecords = static_cast<double>(list1.size() + (second ? list2.size() : 0));
  GroupingProgress gp{poster, cancelRequested, 250.0 / nRecords};
  std::vector<Reflection> groups1, groups2;
  if (!GroupFound(list1, lambda1, true, gp, groups1)) return -1;
  std::vector<Found>().swap(list1);
  if (second && !GroupFound(list2, lambda2, false, gp, groups2)) return -1;
  std::vector<Found>().swap(list2);

  phase("Obliczanie natężenia", 750);
  if (!RateGroups(*this, groups1, groups2, poster)) return -1;

  // The results are installed in one step.
  double maxI = 0.0;
  for (const Reflection& g : groups1)
    if (g.intensity > maxI) maxI = g.intensity;
  reflectionsAll = MergeLines(groups1, groups2);
  maxIntensity = maxI;
  reflections1 = std::move(groups1);
  reflections2 = std::move(groups2);
  return 0;
}

}  // namespace pelmora
