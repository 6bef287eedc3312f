// The reflection search: find, sort, group and rate every reflection in the
// experiment's 2-theta range.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unordered_map>

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

struct GroupKey {
  double theta, f2;
  int i0, i1, i2;  // sorted absolute indices
  bool operator==(const GroupKey& o) const {
    return theta == o.theta && f2 == o.f2 && i0 == o.i0 && i1 == o.i1 && i2 == o.i2;
  }
};

struct GroupKeyHash {
  size_t operator()(const GroupKey& k) const {
    uint64_t t, f;
    std::memcpy(&t, &k.theta, 8);
    std::memcpy(&f, &k.f2, 8);
    uint64_t hsh = t * 0x9E3779B97F4A7C15ull;
    hsh ^= f + 0x9E3779B97F4A7C15ull + (hsh << 6) + (hsh >> 2);
    hsh ^= (static_cast<uint64_t>(k.i0) << 40 | static_cast<uint64_t>(k.i1) << 20 | static_cast<uint64_t>(k.i2)) +
           0x9E3779B97F4A7C15ull + (hsh << 6) + (hsh >> 2);
    return static_cast<size_t>(hsh);
  }
};

GroupKey KeyOf(const Reflection& r) {
  int v[3] = {std::abs(r.h), std::abs(r.k), std::abs(r.l)};
  std::sort(v, v + 3);
  return {RoundDown4(r.theta), RoundDown4(r.f2), v[0], v[1], v[2]};
}

}  // namespace

std::array<int, 3> CKomorka::SearchLimits() const {
  // |h| = |a . g| <= a |g| = a / d, so a / d_min bounds h; likewise k and l.
  const bool second = lambda2 > 0.0 && radiation == 0;
  const double lmin = second ? std::min(lambda1, lambda2) : lambda1;
  const double s = angleMax >= 180.0 ? 1.0 : std::sin(angleMax * kPi / 360.0);
  std::array<int, 3> lim = {kMinIndexLimit, kMinIndexLimit, kMinIndexLimit};
  if (!(s > 0.0) || !(lmin > 0.0)) return lim;
  const double invDmin = 2.0 * s / lmin;
  const double len[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    const double bound = std::ceil(std::fabs(len[i]) * invDmin) + 1.0;
    if (std::isfinite(bound) && bound > lim[i]) lim[i] = static_cast<int>(std::min(bound, 1.0e6));
  }
  return lim;
}

int CKomorka::CalculateReflections(CalcProgress& progress) {
  // Phase 0: preparation.
  RefreshCellMetric();
  progress.SetRange(0, 1000);
  progress.SetPosition(0);
  PositionPoster poster(progress);
  poster.Post(0);
  if (!cancelRequested) progress.SetStatus("Wyszukiwanie refleksów");

  // Neutron sources are monochromatic: only X-rays get a second list.
  const bool second = lambda2 > 0.0 && radiation == 0;
  // Plain variables rather than a structured binding: the lambdas below use
  // them, and clang before 16 cannot capture bindings.
  const std::array<int, 3> limits = SearchLimits();
  const int H = limits[0], K = limits[1], L = limits[2];
  const StructureFactorKernel kernel(cellAtoms, H, K, L);
  const int ns = kernel.speciesCount();
  const double V = CellVolume();
  const double V2 = V * V;

  // Phase 1: search, h values shared out over the threads. Each h fills its
  // own lists, concatenated in h order afterwards, so the outcome does not
  // depend on the number of threads.
  const int nh = 2 * H + 1;
  std::vector<std::vector<Reflection>> found1(nh), found2(nh);
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> stopped{false};

  const auto searchH = [&](int h, std::vector<Reflection>& out1, std::vector<Reflection>& out2) {
    StructureFactorKernel::Scratch scratch;
    std::vector<int> ls;
    std::vector<double> dOf, th1, th2;
    std::vector<char> in1, in2;
    std::vector<double> sums;
    const double hd = h;
    for (int k = -K; k <= K; ++k) {
      const double kd = k;
      ls.clear();
      dOf.clear();
      th1.clear();
      th2.clear();
      in1.clear();
      in2.clear();
      for (int l = -L; l <= L; ++l) {
        if (h == 0 && k == 0 && l == 0) continue;
        const double ld = l;
        // The same arithmetic as DSpacing, with the volume computed once.
        const double S = hd * hd * b * b * c * c * sinAlfa * sinAlfa + kd * kd * a * a * c * c * sinBeta * sinBeta +
                         ld * ld * a * a * b * b * sinGamma * sinGamma +
                         2.0 * hd * ld * a * b * b * c * (cosGamma * cosAlfa - cosBeta) +
                         2.0 * hd * kd * a * b * c * c * (cosAlfa * cosBeta - cosGamma) +
                         2.0 * kd * ld * a * a * b * c * (cosGamma * cosBeta - cosAlfa);
        const double d = std::sqrt(V2 / S);
        bool ok1 = false, ok2 = false;
        double t1 = 0.0, t2 = 0.0;
        const double s1 = lambda1 / (2.0 * d);
        if (s1 <= 1.0) {
          t1 = std::asin(s1);
          const double tt = t1 * kTwoThetaDeg;
          ok1 = angleMin <= tt && tt <= angleMax;
        }
        if (second) {
          const double s2 = lambda2 / (2.0 * d);
          if (s2 <= 1.0) {
            t2 = std::asin(s2);
            const double tt = t2 * kTwoThetaDeg;
            ok2 = angleMin <= tt && tt <= angleMax;
          }
        }
        if (!ok1 && !ok2) continue;
        ls.push_back(l);
        dOf.push_back(d);
        th1.push_back(t1);
        th2.push_back(t2);
        in1.push_back(ok1);
        in2.push_back(ok2);
      }
      if (ls.empty()) continue;
      sums.resize(ls.size() * ns * 2);
      kernel.PhaseSums(h, k, ls.data(), static_cast<int>(ls.size()), sums.data(), scratch);
      for (size_t j = 0; j < ls.size(); ++j) {
        const double* sj = &sums[j * ns * 2];
        for (int list = 1; list <= 2; ++list) {
          if (!(list == 1 ? in1[j] : in2[j])) continue;
          const double lambda = list == 1 ? lambda1 : lambda2;
          Reflection r;
          r.h = h;
          r.k = k;
          r.l = ls[j];
          r.d = dOf[j];
          r.multiplicity = 1;
          r.sinTheta = lambda / (2.0 * r.d);
          r.theta = list == 1 ? th1[j] : th2[j];
          const double sq = std::sin(r.theta) / lambda;
          kernel.Combine(sj, radiation, sq * sq, r.reF, r.imF);
          r.f2 = r.reF * r.reF + r.imF * r.imF;
          r.nonZero = NonZeroF2(r.f2);
          (list == 1 ? out1 : out2).push_back(r);
        }
      }
    }
  };

  const auto worker = [&]() {
    for (;;) {
      const int i = next.fetch_add(1);
      if (i >= nh || stopped.load(std::memory_order_relaxed)) return;
      poster.Post(static_cast<int>(done.load() * 250.0 / nh));
      if (cancelRequested) {
        stopped = true;
        return;
      }
      searchH(i - H, found1[i], found2[i]);
      done.fetch_add(1);
    }
  };
  // Small structures finish before a second thread would get going.
  const double work = static_cast<double>(nh) * (2 * K + 1) * (2 * L + 1) * (1.0 + cellAtoms.size());
  const unsigned hw = work < 4.0e6 ? 1u : std::max(1u, std::thread::hardware_concurrency());
  const unsigned nThreads = std::min<unsigned>(hw, static_cast<unsigned>(nh));
  {
    std::vector<std::jthread> pool;
    for (unsigned t = 1; t < nThreads; ++t) pool.emplace_back(worker);
    worker();
  }
  if (stopped) return -1;

  std::vector<Reflection> list1, list2;
  {
    size_t n1 = 0, n2 = 0;
    for (int i = 0; i < nh; ++i) n1 += found1[i].size(), n2 += found2[i].size();
    list1.reserve(n1);
    list2.reserve(n2);
    for (int i = 0; i < nh; ++i) {
      list1.insert(list1.end(), found1[i].begin(), found1[i].end());
      list2.insert(list2.end(), found2[i].begin(), found2[i].end());
      std::vector<Reflection>().swap(found1[i]);
      std::vector<Reflection>().swap(found2[i]);
    }
  }

  // Phase 2: sort.
  if (!cancelRequested) progress.SetStatus("Sortowanie refleksów");
  poster.Post(250);
  std::sort(list1.begin(), list1.end(), ReflectionBefore);
  if (list2.size() > 1) std::sort(list2.begin(), list2.end(), ReflectionBefore);

  // Phase 3: grouping. A record can only match the one group with its exact
  // key (a second group with that key could never have been made), so a hash
  // on the key gives the groups of a first-match scan in linear time.
  if (!cancelRequested) progress.SetStatus("Grupowanie refleksów");
  poster.Post(500);
  if (list1.empty()) return -1;
  const double nRecords = static_cast<double>(list1.size() + (second ? list2.size() : 0));
  const double step3 = 250.0 / nRecords;
  long counter = 0;
  const auto group = [&](const std::vector<Reflection>& list, std::vector<Reflection>& groups) -> bool {
    std::unordered_map<GroupKey, size_t, GroupKeyHash> index;
    index.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      if (i > 0 || &list != &list1) {
        poster.Post(static_cast<int>(counter * step3 + 500));
        if (cancelRequested) return false;
      }
      ++counter;
      const auto [it, inserted] = index.try_emplace(KeyOf(list[i]), groups.size());
      if (inserted)
        groups.push_back(list[i]);
      else
        ++groups[it->second].multiplicity;
    }
    return true;
  };
  std::vector<Reflection> groups1, groups2;
  if (!group(list1, groups1)) return -1;
  if (second && !group(list2, groups2)) return -1;
  std::vector<Reflection>().swap(list1);
  std::vector<Reflection>().swap(list2);

  // Phase 4: intensities.
  if (!cancelRequested) progress.SetStatus("Obliczanie natężenia");
  poster.Post(750);
  const double step4 = 250.0 / static_cast<double>(groups1.size() + (second ? groups2.size() : 0));
  counter = 0;
  for (int line = 1; line <= 2; ++line) {
    std::vector<Reflection>& groups = line == 1 ? groups1 : groups2;
    for (Reflection& g : groups) {
      poster.Post(static_cast<int>(counter * step4 + 750));
      if (cancelRequested) return -1;
      ++counter;
      g.intensity = GroupIntensity(g, line);
    }
  }

  // Phase 5: install the results in one step.
  double maxI = 0.0;
  for (const Reflection& g : groups1)
    if (g.intensity > maxI) maxI = g.intensity;
  std::vector<Reflection> all;
  all.reserve(groups1.size() + groups2.size());
  for (int line = 1; line <= 2; ++line) {
    for (Reflection r : (line == 1 ? groups1 : groups2)) {
      r.fwhm = -1.0;
      r.line = static_cast<std::uint8_t>(line);
      all.push_back(r);
    }
  }
  // Stable, so that equal angles from equal wavelengths keep line 1 first.
  std::stable_sort(all.begin(), all.end(), ReflectionBefore);
  maxIntensity = maxI;
  reflections1 = std::move(groups1);
  reflections2 = std::move(groups2);
  reflectionsAll = std::move(all);
  return 0;
}

}  // namespace pelmora
