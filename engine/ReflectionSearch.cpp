// The reflection search: find, sort, group and rate every reflection in the
// experiment's 2-theta range.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <thread>

#include "engine/Intensities.h"
#include "engine/Komorka.h"
#include "engine/StructureFactorKernel.h"
#include "engine/NumberFormat.h"

namespace pelmora {
namespace {

constexpr int kMinIndexLimit = 15;

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
bool FoundBefore(const Found& a, const Found& b) {
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
        kernel_(doc.cellAtoms, H_, K_, L_),
        V2_(doc.CellVolume() * doc.CellVolume()),
        found1_(2 * H_ + 1),
        found2_(2 * H_ + 1) {}

  // Searches every h over the threads; false when cancelled.
  bool Run(PositionPoster& poster, const std::atomic<bool>& cancel);
  // The records of one wavelength in h order; the per-h lists are freed.
  std::vector<Found> Take(int line);

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
  std::vector<double> sums;
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
        kernel_.Combine(&sums[j * ns * 2], doc_.radiation, sq * sq, r.reF, r.imF);
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

std::vector<Found> IndexSearch::Take(int line) {
  std::vector<std::vector<Found>>& perH = line == 1 ? found1_ : found2_;
  size_t n = 0;
  for (const auto& v : perH) n += v.size();
  std::vector<Found> all;
  all.reserve(n);
  for (auto& v : perH) {
    all.insert(all.end(), v.begin(), v.end());
    std::vector<Found>().swap(v);
  }
  return all;
}

// Counts records through the grouping phase's share of the progress range.
struct GroupingProgress {
  PositionPoster& poster;
  const std::atomic<bool>& cancel;
  double step;
  long counter = 0;
};

// Groups a sorted list: a record can only match the one group with its exact
// key (a second group with that key could never have been made), so a hash
// on the key gives the groups of a first-match scan in linear time. Groups
// keep their first record's values and come out in list order. False when
// cancelled.
bool GroupFound(const std::vector<Found>& list, double lambda, bool firstList, GroupingProgress& gp,
                std::vector<Reflection>& groups) {
  GroupIndex index(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0 || !firstList) {
      gp.poster.Post(static_cast<int>(gp.counter * gp.step + 500));
      if (gp.cancel) return false;
    }
    ++gp.counter;
    const Found& f = list[i];
    bool made = false;
    const size_t g = index.Find(GroupKey::Of(f), made);
    if (!made) {
      ++groups[g].multiplicity;
      continue;
    }
    Reflection r;
    r.h = f.h;
    r.k = f.k;
    r.l = f.l;
    r.d = f.d;
    r.multiplicity = 1;
    r.sinTheta = lambda / (2.0 * f.d);
    r.theta = f.theta;
    r.reF = f.reF;
    r.imF = f.imF;
    r.f2 = f.f2;
    r.nonZero = NonZeroF2(f.f2);
    groups.push_back(r);
  }
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

// The integrated intensity of every group, both lines in turn. False when
// cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups1, std::vector<Reflection>& groups2,
                PositionPoster& poster) {
  const double step = 250.0 / static_cast<double>(groups1.size() + groups2.size());
  long counter = 0;
  for (int line = 1; line <= 2; ++line) {
    for (Reflection& g : line == 1 ? groups1 : groups2) {
      poster.Post(static_cast<int>(counter * step + 750));
      if (doc.cancelRequested) return false;
      ++counter;
      g.intensity = doc.GroupIntensity(g, line);
    }
  }
  return true;
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
    list1 = search.Take(1);
    list2 = search.Take(2);
  }

  phase("Sortowanie refleksów", 250);
  std::sort(list1.begin(), list1.end(), FoundBefore);
  std::sort(list2.begin(), list2.end(), FoundBefore);

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
