// The reflection search: find, sort, group and rate every reflection in the
// experiment's 2-theta range.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/Intensities.h"
#include "engine/Komorka.h"
#include "engine/LargePages.h"
#include "engine/StructureFactorKernel.h"
#include "io/NumberFormat.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace pelmora {
namespace {

constexpr int kMinIndexLimit = 15;

// The threads OpenMP offers and the calling thread's number among them; one
// thread where the build has no OpenMP.
int MaxThreads() {
#ifdef _OPENMP
  return std::max(1, omp_get_max_threads());
#else
  return 1;
#endif
}
int ThreadNumber() {
#ifdef _OPENMP
  return omp_get_thread_num();
#else
  return 0;
#endif
}
// Below this many groups one thread rates them: a second one would not pay
// for its start.
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
    // Every bit of the result depends on every input bit: the table takes
    // its slot from the low bits and a tag from the high ones.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
  }
};

// The groups of one wavelength as the search finds them, so that memory
// follows the grouped list rather than the raw reflection count. A record
// joins the one group with its exact key; a group keeps the number of its
// records and its first record in list order (FoundBefore), which is what
// grouping the sorted list would give: sums and minima do not depend on the
// order the records come in, so neither does the outcome on the threads.
// Open addressing over a power-of-two table that grows at half load; the
// entries live in blocks that never move, so growing copies no entry.
class GroupTable {
 public:
  // The key is that of the first record: a group's records share it. One
  // cache line per group, which is where a large search spends its time.
  struct alignas(64) Entry {
    Found first;
    std::int32_t count;
  };

  void Add(const Found& r) {
    const GroupKey key = GroupKey::Of(r);
    Add(key, key.Hash(), r, 1);
  }
  void Add(const GroupKey& key, std::uint64_t hash, const Found& r, std::int32_t count) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    const std::uint64_t tag = hash & kTagMask;
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        if ((size_ & kBlockMask) == 0) blocks_.push_back(std::make_unique_for_overwrite<Entry[]>(kBlockSize));
        At(size_++) = {r, count};
        slots_[i] = tag | size_;
        return;
      }
      if ((slot & kTagMask) != tag) continue;
      Entry& e = At((slot & ~kTagMask) - 1);
      if (GroupKey::Of(e.first) == key) {
        e.count += count;
        if (FoundBefore(r, e.first)) e.first = r;
        return;
      }
    }
  }
  size_t size() const { return size_; }
  // Memory fetches started early: a large search waits mostly on the
  // table, whose slots and entries lie far apart.
  void PrefetchSlot(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask_]);
  }
  void PrefetchEntry(std::uint64_t hash) const {
    if (slots_.empty()) return;
    const std::uint64_t slot = slots_[hash & mask_];
    if (slot != 0 && (slot & kTagMask) == (hash & kTagMask)) __builtin_prefetch(&At((slot & ~kTagMask) - 1));
  }
  // Takes in the other table's groups; the other is emptied. Slots for
  // both at once, and the same fetching ahead as the search's.
  void MergeFrom(GroupTable& other) {
    if (other.size_ > size_) std::swap(*this, other);
    while (2 * (size_ + other.size_) > slots_.size()) Grow();
    constexpr size_t kBatch = 256, kAhead = 16;
    GroupKey keys[kBatch];
    std::uint64_t hashes[kBatch];
    for (size_t n0 = 0; n0 < other.size_; n0 += kBatch) {
      const size_t nb = std::min(kBatch, other.size_ - n0);
      for (size_t j = 0; j < nb; ++j) {
        keys[j] = GroupKey::Of(other.At(n0 + j).first);
        hashes[j] = keys[j].Hash();
        if (j < kAhead) PrefetchSlot(hashes[j]);
      }
      for (size_t j = 0; j < nb; ++j) {
        if (j + kAhead < nb) PrefetchSlot(hashes[j + kAhead]);
        if (j + kAhead / 2 < nb) PrefetchEntry(hashes[j + kAhead / 2]);
        const Entry& e = other.At(n0 + j);
        Add(keys[j], hashes[j], e.first, e.count);
      }
    }
    other = GroupTable();
  }
  // The entries in the order of their first records.
  std::vector<const Entry*> Sorted() const {
    std::vector<const Entry*> out = LargeVector<const Entry*>(size_);
    for (size_t n = 0; n < size_; ++n) out[n] = &At(n);
    std::sort(out.begin(), out.end(), [](const Entry* x, const Entry* y) { return FoundBefore(x->first, y->first); });
    return out;
  }

 private:
  static constexpr size_t kBlockSize = 4096, kBlockMask = kBlockSize - 1;
  // A slot holds the hash's high half and the entry number + 1; 0 = free.
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  Entry& At(size_t n) { return blocks_[n / kBlockSize][n & kBlockMask]; }
  const Entry& At(size_t n) const { return blocks_[n / kBlockSize][n & kBlockMask]; }
  void Grow() {
    const size_t cap = slots_.empty() ? 1024 : 2 * slots_.size();
    slots_ = LargeVector<std::uint64_t>(cap);
    mask_ = cap - 1;
    for (size_t n = 0; n < size_; ++n) {
      const std::uint64_t hash = GroupKey::Of(At(n).first).Hash();
      for (size_t i = hash & mask_;; i = (i + 1) & mask_)
        if (slots_[i] == 0) {
          slots_[i] = (hash & kTagMask) | (n + 1);
          break;
        }
    }
  }

  size_t mask_ = 0, size_ = 0;
  std::vector<std::uint64_t> slots_;
  std::vector<std::unique_ptr<Entry[]>> blocks_;
};

// The groups of one wavelength: tables that split the keys among them, and
// each table's entries in list order.
struct LineGroups {
  std::vector<GroupTable> parts;
  std::vector<std::vector<const GroupTable::Entry*>> order;
  size_t size() const {
    size_t n = 0;
    for (const auto& o : order) n += o.size();
    return n;
  }
};

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

// The cell and experiment values that one search reads, with the groups its
// threads find: each thread fills tables of its own, merged afterwards.
class IndexSearch {
 public:
  IndexSearch(const CKomorka& doc, bool second, const std::array<int, 3>& limits)
      : doc_(doc),
        second_(second),
        H_(limits[0]),
        K_(limits[1]),
        L_(limits[2]),
        kernel_(doc.crystal.cellAtoms, H_, K_, L_, doc.SiteDefaultB()),
        V2_(doc.cell.CellVolume() * doc.cell.CellVolume()) {
    SetRowBounds();
  }

  // Searches every h over the threads; false when cancelled.
  bool Run(PositionPoster& poster, const std::atomic<bool>& cancel);
  // The groups of one wavelength in list order; the tables are freed.
  LineGroups TakeGroups(int line);

 private:
  // One candidate l of a row: its spacing and the Bragg angles in range.
  struct Candidate {
    int l;
    double d, t1, t2;
    bool in1, in2;
  };
  // The groups one thread finds, per wavelength, in tables split by key.
  struct Tables {
    std::vector<GroupTable> line1, line2;
  };
  static GroupTable& TableOf(std::vector<GroupTable>& parts, std::uint64_t hash) {
    return parts[parts.size() == 1 ? 0 : (hash >> 40) % parts.size()];
  }
  // A record on its way to a table, added once a row is done.
  struct Pending {
    GroupTable* table;
    GroupKey key;
    std::uint64_t hash;
    Found r;
    std::int32_t count;
  };
  static void AddAll(const std::vector<Pending>& pending);
  // A thread's work space for the rows of one h, kept from h to h: fresh
  // arrays of this size would come from the system each time and go back
  // to it, at a page fault a page.
  struct RowWork {
    std::vector<Candidate> row, all;
    std::vector<int> ks, starts, ls;
    std::vector<double> sums, lengths;
    std::vector<StructureFactorKernel::Row> rows;
    std::vector<Pending> pending;
  };
  // False when cancelled.
  bool SearchH(int h, StructureFactorKernel::Scratch& scratch, RowWork& work, Tables& found,
               const std::atomic<bool>& cancel);
  void CollectRow(int h, int k, std::vector<Candidate>& row) const;
  // The records of one reflection of a line and of its Friedel mate from
  // the reflection's phase sums.
  void Make(int line, const Candidate& c, int h, int k, const double* sums, StructureFactorKernel::Scratch& scratch,
            std::vector<double>& lengths, Found& r, Found& mate) const;
  // The l a row (h, k) can reach: MetricSum is a quadratic in l, bounded
  // by V^2 / d_min^2 on the sphere of reflections in range.
  void SetRowBounds();
  void RowBounds(int h, int k, int& lo, int& hi) const;
  // theta of a wavelength, and whether its 2-theta lies in the range.
  bool InRange(double lambda, double d, double& theta) const;

  const CKomorka& doc_;
  const bool second_;
  const int H_, K_, L_;
  const StructureFactorKernel kernel_;
  const double V2_;
  bool bounded_ = false;
  double quadL_ = 0.0, linH_ = 0.0, linK_ = 0.0, limit_ = 0.0;  // MetricSum = quadL l^2 + (linH h + linK k) l + ...
  std::vector<Tables> found_;  // one per thread
};

bool IndexSearch::InRange(double lambda, double d, double& theta) const {
  const double s = lambda / (2.0 * d);
  if (!(s <= 1.0)) return false;
  theta = std::asin(s);
  const double tt = TwoThetaDegrees(theta);
  return doc_.experiment.angleMin <= tt && tt <= doc_.experiment.angleMax;
}

void IndexSearch::SetRowBounds() {
  const UnitCell& u = doc_.cell;
  quadL_ = u.a * u.a * u.b * u.b * u.sinGamma * u.sinGamma;
  linH_ = 2.0 * u.a * u.b * u.b * u.c * (u.cosGamma * u.cosAlfa - u.cosBeta);
  linK_ = 2.0 * u.a * u.a * u.b * u.c * (u.cosGamma * u.cosBeta - u.cosAlfa);
  const double invDmin = doc_.experiment.InverseDMin();
  // A generous margin: the bound only spares the exact test below most of
  // the box, it never decides.
  limit_ = V2_ * invDmin * invDmin * (1.0 + 1e-7);
  bounded_ = invDmin > 0.0 && quadL_ > 0.0 && std::isfinite(limit_) && std::isfinite(linH_) && std::isfinite(linK_);
}

void IndexSearch::RowBounds(int h, int k, int& lo, int& hi) const {
  lo = -L_;
  hi = L_;
  if (!bounded_) return;
  // quadL l^2 + lin l + c0 <= limit
  const double lin = linH_ * h + linK_ * k;
  const double c0 = doc_.cell.MetricSum(h, k, 0);
  const double disc = lin * lin - 4.0 * quadL_ * (c0 - limit_);
  if (!std::isfinite(disc)) return;
  if (disc < 0.0) {
    lo = 1;
    hi = 0;
    return;
  }
  const double root = std::sqrt(disc);
  const double l1 = std::floor((-lin - root) / (2.0 * quadL_)) - 1.0;
  const double l2 = std::ceil((-lin + root) / (2.0 * quadL_)) + 1.0;
  if (l1 > -L_) lo = l1 > L_ ? L_ + 1 : static_cast<int>(l1);
  if (l2 < L_) hi = l2 < -L_ ? -L_ - 1 : static_cast<int>(l2);
}

void IndexSearch::CollectRow(int h, int k, std::vector<Candidate>& row) const {
  row.clear();
  int lo, hi;
  RowBounds(h, k, lo, hi);
  // Only the half box whose first nonzero index is positive.
  if (h == 0 && k == 0) lo = std::max(lo, 1);
  for (int l = lo; l <= hi; ++l) {
    Candidate c{l, std::sqrt(V2_ / doc_.cell.MetricSum(h, k, l)), 0.0, 0.0, false, false};
    c.in1 = InRange(doc_.experiment.lambda1, c.d, c.t1);
    if (second_) c.in2 = InRange(doc_.experiment.lambda2, c.d, c.t2);
    if (c.in1 || c.in2) row.push_back(c);
  }
}

void IndexSearch::Make(int line, const Candidate& c, int h, int k, const double* sums,
                       StructureFactorKernel::Scratch& scratch, std::vector<double>& lengths, Found& r,
                       Found& mate) const {
  const double lambda = line == 1 ? doc_.experiment.lambda1 : doc_.experiment.lambda2;
  r = {line == 1 ? c.t1 : c.t2, c.d, 0.0, 0.0, 0.0, h, k, c.l};
  mate = {r.theta, c.d, 0.0, 0.0, 0.0, -h, -k, -c.l};
  const double sq = std::sin(r.theta) / lambda;
  const double* ff = nullptr;
  if (doc_.experiment.radiation == 0) {
    ff = kernel_.CachedFormFactors(sq * sq, scratch);
  } else if (kernel_.weighted()) {
    lengths.resize(static_cast<size_t>(kernel_.speciesCount()));
    kernel_.NeutronLengths(sq * sq, lengths.data());
    ff = lengths.data();
  }
  kernel_.CombineWithMate(sums, doc_.experiment.radiation, ff, r.reF, r.imF, mate.reF, mate.imF);
  r.f2 = r.reF * r.reF + r.imF * r.imF;
  mate.f2 = mate.reF * mate.reF + mate.imF * mate.imF;
}

void IndexSearch::AddAll(const std::vector<Pending>& pending) {
  // Slots some records ahead, entries half as far: by the time a record is
  // added both are in the cache.
  constexpr size_t kAhead = 16;
  const size_t n = pending.size();
  for (size_t j = 0; j < std::min(n, kAhead); ++j) pending[j].table->PrefetchSlot(pending[j].hash);
  for (size_t j = 0; j < std::min(n, kAhead / 2); ++j) pending[j].table->PrefetchEntry(pending[j].hash);
  for (size_t j = 0; j < n; ++j) {
    if (j + kAhead < n) pending[j + kAhead].table->PrefetchSlot(pending[j + kAhead].hash);
    if (j + kAhead / 2 < n) pending[j + kAhead / 2].table->PrefetchEntry(pending[j + kAhead / 2].hash);
    const Pending& p = pending[j];
    p.table->Add(p.key, p.hash, p.r, p.count);
  }
}

bool IndexSearch::SearchH(int h, StructureFactorKernel::Scratch& scratch, RowWork& work, Tables& found,
                          const std::atomic<bool>& cancel) {
  const int ns = kernel_.speciesCount();
  // Every row of this h first, then their sums in one pass over the atoms.
  auto& [row, all, ks, starts, ls, sums, lengths, rows, pending] = work;
  all.clear();
  ks.clear();
  starts.clear();
  rows.clear();
  pending.clear();
  for (int k = h == 0 ? 0 : -K_; k <= K_; ++k) {
    CollectRow(h, k, row);
    if (row.empty()) continue;
    ks.push_back(k);
    starts.push_back(static_cast<int>(all.size()));
    all.insert(all.end(), row.begin(), row.end());
  }
  starts.push_back(static_cast<int>(all.size()));
  if (all.empty()) return !cancel.load(std::memory_order_relaxed);
  ls.resize(all.size());
  for (size_t j = 0; j < all.size(); ++j) ls[j] = all[j].l;
  // The sums and the kernel's lanes take 10 doubles per species and
  // reflection: a cell of many species (atoms with B factors of their own)
  // is summed a few reflections at a time, within some 8 MB.
  constexpr size_t kBatchDoubles = size_t{1} << 20;
  const int batch = static_cast<int>(std::clamp<size_t>(kBatchDoubles / (10 * static_cast<size_t>(ns)), 1, all.size()));
  const int count = static_cast<int>(all.size());
  for (int j0 = 0, r0 = 0; j0 < count; j0 += batch) {
    const int j1 = std::min(count, j0 + batch);
    while (starts[static_cast<size_t>(r0) + 1] <= j0) ++r0;
    sums.resize(static_cast<size_t>(j1 - j0) * ns * 2);
    rows.clear();
    for (int r = r0; starts[static_cast<size_t>(r)] < j1; ++r) {
      const int from = std::max(j0, starts[static_cast<size_t>(r)]);
      const int to = std::min(j1, starts[static_cast<size_t>(r) + 1]);
      rows.push_back({ks[static_cast<size_t>(r)], &ls[static_cast<size_t>(from)], to - from,
                      &sums[static_cast<size_t>(from - j0) * ns * 2]});
    }
    if (!kernel_.PhaseSumsRows(h, rows.data(), static_cast<int>(rows.size()), scratch, &cancel)) return false;

    for (int r = r0; starts[static_cast<size_t>(r)] < j1; ++r) {
      const int k = ks[static_cast<size_t>(r)];
      const int from = std::max(j0, starts[static_cast<size_t>(r)]);
      const int to = std::min(j1, starts[static_cast<size_t>(r) + 1]);
      for (int j = from; j < to; ++j) {
        const Candidate& c = all[static_cast<size_t>(j)];
        // (-h -k -l) from the same sums: the cosine sums the same, the sine
        // sums of opposite sign (a zero stays +0, as summing gives it).
        const double* own = &sums[static_cast<size_t>(j - j0) * ns * 2];
        for (int line = 1; line <= 2; ++line) {
          if (!(line == 1 ? c.in1 : c.in2)) continue;
          std::vector<GroupTable>& tables = line == 1 ? found.line1 : found.line2;
          Found rec, m;
          Make(line, c, h, k, own, scratch, lengths, rec, m);
          // (h k l) comes before its mate in list order; without anomalous
          // scattering, and often with it, both join one group.
          const GroupKey key = GroupKey::Of(rec), mateKey = GroupKey::Of(m);
          const std::uint64_t hash = key.Hash();
          if (key == mateKey) {
            pending.push_back({&TableOf(tables, hash), key, hash, rec, 2});
          } else {
            pending.push_back({&TableOf(tables, hash), key, hash, rec, 1});
            const std::uint64_t mateHash = mateKey.Hash();
            pending.push_back({&TableOf(tables, mateHash), mateKey, mateHash, m, 1});
          }
        }
      }
      AddAll(pending);
      pending.clear();
    }
  }
  return true;
}

bool IndexSearch::Run(PositionPoster& poster, const std::atomic<bool>& cancel) {
  const int nh = H_ + 1;  // h >= 0: the mates come with their rows
  std::atomic<int> done{0};
  std::atomic<bool> stopped{false};
  // Small structures finish before a second thread would get going.
  const double work =
      static_cast<double>(2 * H_ + 1) * (2 * K_ + 1) * (2 * L_ + 1) * (1.0 + doc_.crystal.cellAtoms.size());
  const int nThreads = work < 4.0e6 ? 1 : std::min(MaxThreads(), nh);
  found_.resize(static_cast<size_t>(nThreads));
  for (Tables& t : found_) {
    t.line1.resize(static_cast<size_t>(nThreads));
    t.line2.resize(static_cast<size_t>(nThreads));
  }
#pragma omp parallel num_threads(nThreads)
  {
    Tables& found = found_[static_cast<size_t>(ThreadNumber())];
    StructureFactorKernel::Scratch scratch;
    RowWork work;
#pragma omp for schedule(dynamic, 1)
    for (int i = 0; i < nh; ++i) {
      if (stopped.load(std::memory_order_relaxed)) continue;
      poster.Post(static_cast<int>(done.load() * 250.0 / nh));
      if (cancel) {
        stopped = true;
        continue;
      }
      if (!SearchH(i, scratch, work, found, cancel)) {
        stopped = true;
        continue;
      }
      done.fetch_add(1);
    }
  }
  return !stopped;
}

LineGroups IndexSearch::TakeGroups(int line) {
  LineGroups out;
  if (found_.empty()) return out;
  auto tables = [line](Tables& t) -> std::vector<GroupTable>& { return line == 1 ? t.line1 : t.line2; };
  // Each part of the keys is merged and sorted on a thread of its own.
  const int np = static_cast<int>(tables(found_[0]).size());
  out.parts.resize(static_cast<size_t>(np));
  out.order.resize(static_cast<size_t>(np));
#pragma omp parallel for schedule(dynamic, 1) num_threads(np) if (np > 1)
  for (int p = 0; p < np; ++p) {
    GroupTable& into = out.parts[static_cast<size_t>(p)];
    for (Tables& t : found_) into.MergeFrom(tables(t)[static_cast<size_t>(p)]);
    out.order[static_cast<size_t>(p)] = into.Sorted();
  }
  return out;
}

// How many pieces a list of n records is made or merged in.
int Chunks(size_t n) { return n >= kParallelRecords ? MaxThreads() : 1; }

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
      r.f2 = f.f2;
      r.nonZero = NonZeroF2(f.f2);
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
// long list is shared among the threads. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups1, std::vector<Reflection>& groups2,
                PositionPoster& poster, const std::atomic<bool>& cancel) {
  const std::ptrdiff_t n1 = static_cast<std::ptrdiff_t>(groups1.size());
  const std::ptrdiff_t total = n1 + static_cast<std::ptrdiff_t>(groups2.size());
  const double step = 250.0 / static_cast<double>(total);
  const CKomorka::LineFactors factors1 = doc.LineIntensityFactors(1), factors2 = doc.LineIntensityFactors(2);
  std::atomic<bool> stopped{false};
  // The progress counts the first line's groups, then the second's.
#pragma omp parallel for schedule(static) if (total >= static_cast<std::ptrdiff_t>(kParallelRecords))
  for (std::ptrdiff_t i = 0; i < total; ++i) {
    if (stopped.load(std::memory_order_relaxed)) continue;
    poster.Post(static_cast<int>(static_cast<double>(i) * step + 750));
    if (cancel) {
      stopped = true;
      continue;
    }
    const bool first = i < n1;
    Reflection& g = first ? groups1[static_cast<size_t>(i)] : groups2[static_cast<size_t>(i - n1)];
    g.intensity = doc.GroupIntensity(g, first ? 1 : 2, first ? factors1 : factors2);
  }
  return !stopped;
}

}  // namespace

double CKomorka::CalculationBytes(double reflections) {
  // A P1 cell without anomalous terms groups each reflection with its Friedel
  // mate only: half as many groups as reflections. The results a run
  // replaces stay until it ends (a line's list and the merged list); beside
  // them, at the peak, either every thread's table of entries (slots at up
  // to a quarter load), or the merged table with its sorted order and the
  // records made from it, or the new lists.
  constexpr double entry = sizeof(GroupTable::Entry) + 4.0 * sizeof(std::uint64_t) + sizeof(void*);
  constexpr double record = sizeof(Reflection);
  const double peak = std::max({static_cast<double>(MaxThreads()) * entry, entry + record, 2.0 * record});
  return reflections / 2.0 * (2.0 * record + peak);
}

std::array<int, 3> CKomorka::SearchLimits() const {
  // |h| = |a . g| <= a |g| = a / d, so a / d_min bounds h; likewise k and l.
  std::array<int, 3> lim = {kMinIndexLimit, kMinIndexLimit, kMinIndexLimit};
  const double invDmin = experiment.InverseDMin();
  if (!(invDmin > 0.0)) return lim;
  const double len[3] = {cell.a, cell.b, cell.c};
  for (int i = 0; i < 3; ++i) {
    const double bound = std::ceil(std::fabs(len[i]) * invDmin) + 1.0;
    if (std::isfinite(bound) && bound > lim[i]) lim[i] = static_cast<int>(std::min(bound, 1.0e6));
  }
  return lim;
}

int CKomorka::CalculateReflections(CalcProgress& progress) {
  const std::atomic<bool> never{false};
  return CalculateReflections(progress, never);
}

int CKomorka::CalculateReflections(CalcProgress& progress, const std::atomic<bool>& cancel) {
  cell.RefreshCellMetric();
  progress.SetRange(0, 1000);
  progress.SetPosition(0);
  PositionPoster poster(progress);
  const auto phase = [&](const char* status, int position) {
    if (!cancel) progress.SetStatus(status);
    poster.Post(position);
  };
  poster.Post(0);
  if (!cancel) progress.SetStatus("Wyszukiwanie refleksów");

  // The search groups the reflections as it finds them; what is left is to
  // put the groups in order and make their records.
  const bool second = experiment.HasSecondLine();
  LineGroups found1, found2;
  {
    IndexSearch search(*this, second, SearchLimits());
    if (!search.Run(poster, cancel)) return -1;
    phase("Sortowanie refleksów", 250);
    if (cancel) return -1;
    found1 = search.TakeGroups(1);
    if (second) found2 = search.TakeGroups(2);
  }

  phase("Grupowanie refleksów", 500);
  if (cancel || found1.size() == 0) return -1;
  std::vector<Reflection> groups1 = MakeGroups(found1, experiment.lambda1);
  found1 = LineGroups();
  std::vector<Reflection> groups2 = MakeGroups(found2, experiment.lambda2);
  found2 = LineGroups();

  phase("Obliczanie natężenia", 750);
  if (!RateGroups(*this, groups1, groups2, poster, cancel)) return -1;

  // The results are installed in one step.
  CalculationResults fresh;
  for (const Reflection& g : groups1)
    if (g.intensity > fresh.maxIntensity) fresh.maxIntensity = g.intensity;
  fresh.reflectionsAll = MergeLines(groups1, groups2);
  fresh.reflections1 = std::move(groups1);
  fresh.reflections2 = std::move(groups2);
  results = std::move(fresh);
  return 0;
}

}  // namespace pelmora
