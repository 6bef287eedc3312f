// The reflection search: find every reflection in the experiment's 2-theta
// range and group it as it is found (ReflectionGroups), then put the groups
// in order and rate them (GroupRating).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "engine/GroupRating.h"
#include "engine/Intensities.h"
#include "engine/Komorka.h"
#include "engine/LargeArrays.h"
#include "engine/ReflectionGroups.h"
#include "engine/SearchThreads.h"
#include "engine/StructureFactorKernel.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

constexpr int kMinIndexLimit = 15;

}  // namespace

namespace search {
namespace {

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
        formsFinder_(FindForms(doc, formsThread_)),
        kernel_(doc.crystal.cellAtoms, H_, K_, L_, doc.SiteDefaultB()),
        V2_(doc.cell.CellVolume() * doc.cell.CellVolume()),
        forms_(TakeForms(doc)),
        distinct_(forms_.order() <= 2) {
    SetRowBounds();
  }

  // Searches every h over the threads; false when cancelled.
  bool Run(PositionPoster& poster, const std::atomic<bool>& cancel);
  // The groups of each wavelength in list order (the second's only when
  // asked); the tables are freed.
  std::array<LineGroups, 2> TakeGroups(bool second);

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

  // A large cell's forms (its atoms tried under the metric's operations)
  // are found on a thread of their own while the kernel fills its tables.
  static constexpr size_t kAtomsForFormsThread = 64;
  static std::future<ReflectionForms> FindForms(const CKomorka& doc, AwayThread& thread) {
    if (doc.crystal.cellAtoms.size() < kAtomsForFormsThread) return {};
    std::packaged_task<ReflectionForms()> task([&doc] { return ReflectionForms::Of(doc.crystal, doc.cell); });
    std::future<ReflectionForms> forms = task.get_future();
    thread = AwayThread(std::move(task));
    return forms;
  }
  ReflectionForms TakeForms(const CKomorka& doc) {
    return formsFinder_.valid() ? formsFinder_.get() : ReflectionForms::Of(doc.crystal, doc.cell);
  }

  const CKomorka& doc_;
  const bool second_;
  const int H_, K_, L_;
  AwayThread formsThread_;  // before the future it fills: joined after it
  std::future<ReflectionForms> formsFinder_;
  const StructureFactorKernel kernel_;
  const double V2_;
  const ReflectionForms forms_;
  // Forms of a reflection and its Friedel mate only: the half box meets
  // each form once, so every record is a group of its own and needs no
  // table lookup.
  const bool distinct_;
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
  if (doc_.experiment.solvent.on) {
    const double g = doc_.experiment.solvent.Factor(sq * sq);
    r.reF *= g, r.imF *= g, mate.reF *= g, mate.imF *= g;
  }
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
  const size_t largest = std::max<size_t>(1, kBatchDoubles / (10 * static_cast<size_t>(ns)));
  const int batch = static_cast<int>(std::min(largest, all.size()));
  // Room for the largest batch from the first h on (pages are taken only
  // as they are written).
  sums.reserve(largest * ns * 2);
  kernel_.Reserve(scratch, largest);
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
          // (h k l) comes before its mate in list order, and both join
          // one group: one record for two, with their summed |F|^2.
          rec.f2 += m.f2;
          if (distinct_) {
            tables[0].Append(rec, 2);
            continue;
          }
          const GroupKey key = GroupKey::Of(rec, forms_);
          const std::uint64_t hash = key.Hash();
          pending.push_back({&TableOf(tables, hash), key, hash, rec, 2});
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
  const double work = static_cast<double>(2 * H_ + 1) * (2 * K_ + 1) * (2 * L_ + 1) * (1.0 + doc_.crystal.cellAtoms.size());
  const int nThreads = work < 4.0e6 ? 1 : std::min(MaxThreads(), nh);
  found_.resize(static_cast<size_t>(nThreads));
  for (Tables& t : found_)
    for (int i = 0; i < (distinct_ ? 1 : nThreads); ++i) {
      t.line1.emplace_back(&forms_);
      t.line2.emplace_back(&forms_);
    }
  // Each thread takes the next h until none is left.
  std::atomic<int> next{0};
  OnThreads(nThreads, [&](int thread) {
    Tables& found = found_[static_cast<size_t>(thread)];
    StructureFactorKernel::Scratch scratch;
    RowWork work;
    for (int i; (i = next.fetch_add(1)) < nh;) {
      if (stopped.load(std::memory_order_relaxed)) return;
      poster.Post(static_cast<int>(done.load() * 250.0 / nh));
      if (cancel || !SearchH(i, scratch, work, found, cancel)) {
        stopped = true;
        return;
      }
      done.fetch_add(1);
    }
    // The work space's pages go to the run's next large buffers.
    for (std::vector<double>* v : {&scratch.pr, &scratch.pi, &scratch.acc, &work.sums, &work.lengths})
      FreeKeepingPages(*v);
    FreeKeepingPages(work.row);
    FreeKeepingPages(work.all);
  });
  return !stopped;
}

std::array<LineGroups, 2> IndexSearch::TakeGroups(bool second) {
  std::array<LineGroups, 2> out;
  if (found_.empty()) return out;
  const auto tables = [](Tables& t, size_t line) -> std::vector<GroupTable>& { return line == 0 ? t.line1 : t.line2; };
  // Each part of the keys is merged and sorted on a thread of its own, the
  // parts of both lines in one round, so that no thread waits for another's
  // last part between the lines; distinct groups need no merging: each
  // thread's table is a part.
  const size_t lines = second ? 2 : 1;
  const size_t np = distinct_ ? found_.size() : found_[0].line1.size();
  for (size_t line = 0; line < lines; ++line) {
    for (size_t p = 0; p < np; ++p) {
      if (distinct_) out[line].parts.push_back(std::move(tables(found_[p], line)[0]));
      else out[line].parts.emplace_back(&forms_);
    }
    out[line].order.resize(np);
  }
  EachOnThreads(MaxThreads(), lines * np, [&](size_t j) {
    const size_t line = j / np, p = j % np;
    GroupTable& into = out[line].parts[p];
    if (!distinct_)
      for (Tables& t : found_) into.MergeFrom(tables(t, line)[p]);
    out[line].order[p] = into.Sorted();
    into.FreeSlots();
  });
  return out;
}

}  // namespace
}  // namespace search

double CKomorka::CalculationBytes(double reflections) {
  // A P1 cell without anomalous terms groups each reflection with its Friedel
  // mate only: half as many groups as reflections. The results a run
  // replaces stay until it ends (the merged list); beside them, at the
  // peak, either every thread's table of entries (slots at up to a quarter
  // load), or the merged table with its sorted order and the records made
  // from it.
  constexpr double entry = sizeof(search::GroupTable::Entry) + 4.0 * sizeof(std::uint64_t) + sizeof(void*);
  constexpr double record = sizeof(Reflection);
  const double peak = std::max(static_cast<double>(search::MaxThreads()) * entry, entry + record);
  return reflections / 2.0 * (record + peak);
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
  search::PositionPoster poster(progress);
  const auto phase = [&](const std::string& status, int position) {
    if (!cancel) progress.SetStatus(status);
    poster.Post(position);
  };
  poster.Post(0);
  if (!cancel) progress.SetStatus(TrText("engine", "Wyszukiwanie refleksów"));
  // The pages that the run's buffers kept and no later one took go back to
  // the system when it ends, however it ends.
  struct ReleaseAtEnd {
    ~ReleaseAtEnd() { ReleaseKeptPages(); }
  } releaseAtEnd;

  // The search groups the reflections as it finds them; what is left is to
  // put the groups in order and make their records.
  const bool second = experiment.HasSecondLine();
  search::LineGroups found1, found2;
  {
    search::IndexSearch finder(*this, second, SearchLimits());
    if (!finder.Run(poster, cancel)) return -1;
    phase(TrText("engine", "Sortowanie refleksów"), 250);
    if (cancel) return -1;
    std::array<search::LineGroups, 2> found = finder.TakeGroups(second);
    found1 = std::move(found[0]);
    found2 = std::move(found[1]);
  }

  phase(TrText("engine", "Grupowanie refleksów"), 500);
  if (cancel || found1.size() == 0) return -1;
  std::vector<Reflection> list = search::MakeList(found1, found2, experiment.lambda1, experiment.lambda2);
  // A large cell's groups take milliseconds to hand back to the system:
  // on a thread of their own while the rating uses the others.
  std::jthread release;
  if (list.size() >= search::kParallelRecords)
    release = std::jthread([groups = std::array{std::move(found1), std::move(found2)}]() mutable {
      groups = {};
      ReleaseKeptPages();
    });
  found1 = search::LineGroups();
  found2 = search::LineGroups();

  phase(TrText("engine", "Obliczanie natężenia"), 750);
  search::RatedList rated;
  if (!search::RateGroups(*this, list, poster, cancel, rated)) return -1;

  // The results are installed in one step.
  CalculationResults results;
  results.maxIntensity = rated.maxIntensity;
  std::copy(std::begin(rated.lineCounts), std::end(rated.lineCounts), results.lineCounts);
  results.reflectionsAll = std::move(list);
  this->results = std::move(results);
  return 0;
}

}  // namespace pelmora
