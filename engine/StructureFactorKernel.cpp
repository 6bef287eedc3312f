#include "engine/StructureFactorKernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/Intensities.h"
#include "engine/LargeArrays.h"
#include "engine/SearchThreads.h"

namespace pelmora {
namespace {
constexpr int kLanes = 4;
// Four lanes as one vector; its loads and stores need only a double's
// alignment, and GCC lets it alias doubles.
typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double)), aligned(sizeof(double))));
// Atoms per block of PhaseSumsRows: a block's entries for every l of a
// search stay in the second-level cache.
constexpr int kBlock = 256;
constexpr long kTableEntriesForThread = 8000;

// The kernel's pieces, inlined into each of its clones. Blocks and
// species' segments start at multiples of four: whole vectors, which GCC
// does not see for itself. The four lanes are one vector, element by element
// the same operations, so that they stay in registers.

// The phases of a row (h k) for the atoms [b0, b1): pr + i pi.
[[gnu::always_inline]] inline void RowPhases(const double* hc, const double* hs, const double* kc,
                                             const double* ks, int b0, int b1, double* pr, double* pi) {
  for (int i = b0; i < b1; i += kLanes) {
    const Lanes c1 = *reinterpret_cast<const Lanes*>(hc + i), s1 = *reinterpret_cast<const Lanes*>(hs + i);
    const Lanes c2 = *reinterpret_cast<const Lanes*>(kc + i), s2 = *reinterpret_cast<const Lanes*>(ks + i);
    *reinterpret_cast<Lanes*>(pr + (i - b0)) = c1 * c2 - s1 * s2;
    *reinterpret_cast<Lanes*>(pi + (i - b0)) = c1 * s2 + s1 * c2;
  }
}

// The atoms [lo, hi) of one species added to the sums of one l (cosine
// lanes, then sine lanes, at acc); pr and pi start at atom b0. Fresh sums
// start from zero.
[[gnu::always_inline]] inline void AddOne(const double* pr, const double* pi, int b0, const double* lc,
                                          const double* ls, int lo, int hi, bool fresh, double* acc) {
  Lanes* const lanes = reinterpret_cast<Lanes*>(acc);
  Lanes ac = fresh ? Lanes{} : lanes[0], as = fresh ? Lanes{} : lanes[1];
  for (int i = lo; i < hi; i += kLanes) {
    const Lanes p = *reinterpret_cast<const Lanes*>(pr + (i - b0));
    const Lanes q = *reinterpret_cast<const Lanes*>(pi + (i - b0));
    const Lanes c = *reinterpret_cast<const Lanes*>(lc + i), sn = *reinterpret_cast<const Lanes*>(ls + i);
    ac += p * c - q * sn;
    as += p * sn + q * c;
  }
  lanes[0] = ac;
  lanes[1] = as;
}

// The same for two l at once.
[[gnu::always_inline]] inline void AddTwo(const double* pr, const double* pi, int b0, const double* lc0,
                                          const double* ls0, const double* lc1, const double* ls1, int lo, int hi,
                                          bool fresh, double* acc0, double* acc1) {
  Lanes* const lanes0 = reinterpret_cast<Lanes*>(acc0);
  Lanes* const lanes1 = reinterpret_cast<Lanes*>(acc1);
  Lanes ac0 = fresh ? Lanes{} : lanes0[0], as0 = fresh ? Lanes{} : lanes0[1];
  Lanes ac1 = fresh ? Lanes{} : lanes1[0], as1 = fresh ? Lanes{} : lanes1[1];
  for (int i = lo; i < hi; i += kLanes) {
    const Lanes p = *reinterpret_cast<const Lanes*>(pr + (i - b0));
    const Lanes q = *reinterpret_cast<const Lanes*>(pi + (i - b0));
    const Lanes c0 = *reinterpret_cast<const Lanes*>(lc0 + i), sn0 = *reinterpret_cast<const Lanes*>(ls0 + i);
    const Lanes c1 = *reinterpret_cast<const Lanes*>(lc1 + i), sn1 = *reinterpret_cast<const Lanes*>(ls1 + i);
    ac0 += p * c0 - q * sn0;
    as0 += p * sn0 + q * c0;
    ac1 += p * c1 - q * sn1;
    as1 += p * sn1 + q * c1;
  }
  lanes0[0] = ac0;
  lanes0[1] = as0;
  lanes1[0] = ac1;
  lanes1[1] = as1;
}
}

void StructureFactorKernel::FreeTable::operator()(double* p) const {
  KeepPages(p, bytes);
  std::free(p);
}

StructureFactorKernel::Table StructureFactorKernel::NewTable(size_t n) {
  constexpr size_t kLine = 64;
  const size_t bytes = std::max(kLine, (n * sizeof(double) + kLine - 1) / kLine * kLine);
  auto* const p = static_cast<double*>(std::aligned_alloc(kLine, bytes));
  if (!p) throw std::bad_alloc();
  return Table(p, FreeTable{bytes});
}

StructureFactorKernel::StructureFactorKernel(const std::vector<AtomSite>& atoms, int hMax, int kMax, int lMax,
                                             double defaultB)
    : hMax_(hMax), kMax_(kMax), lMax_(lMax) {
  FillTables(GroupSpecies(atoms, defaultB));
}

// Groups the atoms by species, keeping the order in which species appear;
// returns the atom of each slot, null for padding.
std::vector<const AtomSite*> StructureFactorKernel::GroupSpecies(const std::vector<AtomSite>& atoms,
                                                                 double defaultB) {
  std::vector<std::vector<const AtomSite*>> members;
  for (const AtomSite& at : atoms) {
    const Species sp{at.factors(), at.occupancy, at.biso.value_or(defaultB)};
    size_t s = 0;
    while (s < species_.size() && !(species_[s] == sp)) ++s;
    if (s == species_.size()) {
      size_t g = 0;
      while (g < factors_.size() && !(factors_[g] == sp.f)) ++g;
      if (g == factors_.size()) factors_.push_back(sp.f);
      factorOf_.push_back(static_cast<int>(g));
      species_.push_back(sp);
      members.emplace_back();
      weighted_ = weighted_ || sp.occupancy != 1.0 || sp.b != 0.0;
    }
    members[s].push_back(&at);
  }
  std::vector<const AtomSite*> slots;
  for (const auto& m : members) {
    segBegin_.push_back(static_cast<int>(slots.size()));
    slots.insert(slots.end(), m.begin(), m.end());
    while (slots.size() % kLanes) slots.push_back(nullptr);  // zero-weight padding
    segEnd_.push_back(static_cast<int>(slots.size()));
  }
  padded_ = static_cast<int>(slots.size());
  return slots;
}

void StructureFactorKernel::FillTables(const std::vector<const AtomSite*>& slots) {
  struct Axis {
    int nMax;
    double AtomSite::*coord;
    Table& cs;
    Table& sn;
    size_t Length(int padded) const { return static_cast<size_t>(2 * nMax + 1) * padded; }
  };
  Axis axes[] = {{hMax_, &AtomSite::x, xc_, xs_}, {kMax_, &AtomSite::y, yc_, ys_}, {lMax_, &AtomSite::z, zc_, zs_}};
  for (Axis& a : axes) {
    a.cs = NewTable(a.Length(padded_));
    a.sn = NewTable(a.Length(padded_));
  }
  // Rows 0..nMax of each axis in turn; row -n is the conjugate of row n, to
  // the last bit: the search takes the sums of (-h -k -l) from those of
  // (h k l). Padding slots weigh nothing: their phases are zero.
  const auto fill = [&](int from, int to) {
    int first = 0;
    for (Axis& a : axes) {
      for (int n = std::max(0, from - first); n <= a.nMax && first + n < to; ++n) {
        const size_t row = static_cast<size_t>(n + a.nMax) * padded_;
        const size_t mirror = static_cast<size_t>(a.nMax - n) * padded_;
        for (int i = 0; i < padded_; ++i) {
          if (!slots[i]) {
            a.cs[row + i] = a.sn[row + i] = a.cs[mirror + i] = a.sn[mirror + i] = 0.0;
            continue;
          }
          const double phi = static_cast<double>(n) * (slots[i]->*a.coord) * kTwoPi;
          a.cs[row + i] = std::cos(phi);
          a.sn[row + i] = std::sin(phi);
          if (n == 0) continue;
          a.cs[mirror + i] = a.cs[row + i];
          a.sn[mirror + i] = -a.sn[row + i];
        }
      }
      first += a.nMax + 1;
    }
  };
  // A large cell's tables take milliseconds: on two threads, which take
  // tables and rows as they come free, since a large cell's forms are
  // found on a third meanwhile and would hold up fixed halves.
  const int rows = hMax_ + kMax_ + lMax_ + 3;
  if (static_cast<long>(rows) * padded_ >= 2 * kTableEntriesForThread) {
    // The pages first, in one call a table (cheaper than a fault a page);
    // all are taken before any row is filled, as touching a table's ends
    // writes there.
    search::EachOnThreads(2, 6, [&](size_t t) {
      const Axis& a = axes[t / 2];
      ReadyPages((t % 2 ? a.sn : a.cs).get(), a.Length(padded_) * sizeof(double));
    });
    constexpr int kRowsATake = 4;
    search::EachOnThreads(2, static_cast<size_t>((rows + kRowsATake - 1) / kRowsATake), [&](size_t i) {
      const int r = static_cast<int>(i) * kRowsATake;
      fill(r, std::min(rows, r + kRowsATake));
    });
  } else {
    fill(0, rows);
  }
}

// clang 14 emits the clones without the plain symbol that the search, in
// another file, calls: there (the ThreadSanitizer build) the kernel is
// compiled once, for the baseline.
#if defined(__clang__) && __clang_major__ < 15
#define PELMORA_KERNEL_CLONES
#else
#define PELMORA_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#endif

// The hot loop. Four independent lanes, summed in a fixed order, keep the
// result the same whatever vector width the machine offers; target_clones
// lets capable processors use AVX2 without requiring it.
PELMORA_KERNEL_CLONES void StructureFactorKernel::PhaseSums(
    int h, int k, const int* ls, int nl, double* out, Scratch& scratch) const {
  const int n = padded_;
  scratch.pr.resize(n);
  scratch.pi.resize(n);
  double* __restrict pr = scratch.pr.data();
  double* __restrict pi = scratch.pi.data();
  const double* __restrict hc = &xc_[static_cast<size_t>(h + hMax_) * n];
  const double* __restrict hs = &xs_[static_cast<size_t>(h + hMax_) * n];
  const double* __restrict kc = &yc_[static_cast<size_t>(k + kMax_) * n];
  const double* __restrict ks = &ys_[static_cast<size_t>(k + kMax_) * n];
  for (int i = 0; i < n; ++i) {
    pr[i] = hc[i] * kc[i] - hs[i] * ks[i];
    pi[i] = hc[i] * ks[i] + hs[i] * kc[i];
  }
  const int ns = speciesCount();
  for (int j = 0; j < nl; ++j) {
    const double* __restrict lc = &zc_[static_cast<size_t>(ls[j] + lMax_) * n];
    const double* __restrict lsn = &zs_[static_cast<size_t>(ls[j] + lMax_) * n];
    double* o = out + static_cast<size_t>(j) * ns * 2;
    for (int s = 0; s < ns; ++s) {
      double ac[kLanes] = {0, 0, 0, 0}, as[kLanes] = {0, 0, 0, 0};
      for (int i = segBegin_[s]; i < segEnd_[s]; i += kLanes) {
        for (int q = 0; q < kLanes; ++q) {
          ac[q] += pr[i + q] * lc[i + q] - pi[i + q] * lsn[i + q];
          as[q] += pr[i + q] * lsn[i + q] + pi[i + q] * lc[i + q];
        }
      }
      o[2 * s] = (ac[0] + ac[1]) + (ac[2] + ac[3]);
      o[2 * s + 1] = (as[0] + as[1]) + (as[2] + as[3]);
    }
  }
}

PELMORA_KERNEL_CLONES bool StructureFactorKernel::PhaseSumsRows(
    int h, const Row* rows, int nRows, Scratch& scratch, const std::atomic<bool>* cancel) const {
  const int n = padded_;
  const int ns = speciesCount();
  size_t total = 0;
  for (int r = 0; r < nRows; ++r) total += static_cast<size_t>(rows[r].nl);
  // Four lanes of cosine sums, then four of sine sums, per l and species.
  // No clearing: a species' sums start from zero in the block where its
  // atoms begin.
  scratch.acc.resize(total * ns * 2 * kLanes);
  scratch.pr.resize(kBlock);
  scratch.pi.resize(kBlock);
  double* __restrict pr = scratch.pr.data();
  double* __restrict pi = scratch.pi.data();
  const double* __restrict hc = &xc_[static_cast<size_t>(h + hMax_) * n];
  const double* __restrict hs = &xs_[static_cast<size_t>(h + hMax_) * n];
  const size_t stride = static_cast<size_t>(ns) * 2 * kLanes;  // per l
  for (int b0 = 0, s0 = 0; b0 < n; b0 += kBlock) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    const int b1 = std::min(n, b0 + kBlock);
    // The species with atoms in this block: s0 up to s1.
    while (segEnd_[s0] <= b0) ++s0;
    int s1 = s0;
    while (s1 < ns && segBegin_[s1] < b1) ++s1;
    double* accL = scratch.acc.data();
    for (int r = 0; r < nRows; ++r) {
      const Row& row = rows[r];
      const double* __restrict kc = &yc_[static_cast<size_t>(row.k + kMax_) * n];
      const double* __restrict ks = &ys_[static_cast<size_t>(row.k + kMax_) * n];
      RowPhases(hc, hs, kc, ks, b0, b1, pr, pi);
      // Two l at a time: they share the loads of pr and pi, and their four
      // chains of additions overlap. Each lane's operations are those of
      // one l alone, so the sums keep their bits.
      int j = 0;
      for (; j + 1 < row.nl; j += 2, accL += 2 * stride) {
        const size_t row0 = static_cast<size_t>(row.ls[j] + lMax_) * n;
        const size_t row1 = static_cast<size_t>(row.ls[j + 1] + lMax_) * n;
        for (int s = s0; s < s1; ++s) {
          double* const acc0 = accL + static_cast<size_t>(s) * 2 * kLanes;
          AddTwo(pr, pi, b0, &zc_[row0], &zs_[row0], &zc_[row1], &zs_[row1], std::max(segBegin_[s], b0),
                 std::min(segEnd_[s], b1), segBegin_[s] >= b0, acc0, acc0 + stride);
        }
      }
      for (; j < row.nl; ++j, accL += stride) {
        const size_t row0 = static_cast<size_t>(row.ls[j] + lMax_) * n;
        for (int s = s0; s < s1; ++s)
          AddOne(pr, pi, b0, &zc_[row0], &zs_[row0], std::max(segBegin_[s], b0), std::min(segEnd_[s], b1),
                 segBegin_[s] >= b0, accL + static_cast<size_t>(s) * 2 * kLanes);
      }
    }
  }
  const double* acc = scratch.acc.data();
  for (int r = 0; r < nRows; ++r)
    for (int j = 0; j < rows[r].nl; ++j) {
      double* o = rows[r].out + static_cast<size_t>(j) * ns * 2;
      for (int s = 0; s < ns; ++s, acc += 2 * kLanes) {
        o[2 * s] = (acc[0] + acc[1]) + (acc[2] + acc[3]);
        o[2 * s + 1] = (acc[4] + acc[5]) + (acc[6] + acc[7]);
      }
    }
  return true;
}

void StructureFactorKernel::Reserve(Scratch& scratch, size_t ls) const {
  scratch.acc.reserve(ls * species_.size() * 2 * kLanes);
}

void StructureFactorKernel::FormFactors(double s2, double* ff) const {
  const size_t ns = species_.size();
  std::vector<double> f0(factors_.size());
  for (size_t g = 0; g < factors_.size(); ++g) f0[g] = FormFactorAt(factors_[g], s2);
  for (size_t s = 0; s < ns; ++s) {
    const Species& sp = species_[s];
    ff[s] = f0[static_cast<size_t>(factorOf_[s])] + sp.f.fprim;
    ff[ns + s] = sp.f.fbis;
    if (weighted_) {
      // Multiplying by a weight of exactly 1 would change nothing; an
      // unweighted kernel skips it all the same.
      const double w = sp.Weight(s2);
      ff[s] *= w;
      ff[ns + s] *= w;
    }
  }
}

void StructureFactorKernel::NeutronLengths(double s2, double* b) const {
  for (size_t s = 0; s < species_.size(); ++s) b[s] = species_[s].f.s * species_[s].Weight(s2);
}

const double* StructureFactorKernel::CachedFormFactors(double s2, Scratch& scratch) const {
  // Direct-mapped by the bits of s^2, some hundred kilobytes at most.
  const size_t ns = species_.size();
  if (scratch.cachedS2.empty()) {
    size_t slots = 1024;
    while (slots > 64 && slots * ns > 16384) slots /= 2;
    scratch.cachedS2.assign(slots, ~std::uint64_t{0});  // a NaN, which s^2 never is
    scratch.cachedFactors.assign(slots * ns * 2, 0.0);
  }
  std::uint64_t bits;
  std::memcpy(&bits, &s2, sizeof bits);
  const size_t slot = ((bits * 0x9E3779B97F4A7C15ull) >> 40) & (scratch.cachedS2.size() - 1);
  double* ff = &scratch.cachedFactors[slot * ns * 2];
  if (scratch.cachedS2[slot] != bits) {
    FormFactors(s2, ff);
    scratch.cachedS2[slot] = bits;
  }
  return ff;
}

void StructureFactorKernel::CombineWithMate(const double* sums, int radiation, const double* ffs, double& re,
                                            double& im, double& reMate, double& imMate) const {
  re = im = reMate = imMate = 0.0;
  const int ns = speciesCount();
  for (int s = 0; s < ns; ++s) {
    const double C = sums[2 * s], S = sums[2 * s + 1], Sm = 0.0 - S;
    if (radiation == 0) {
      // F = sum (f0 + f' + i f'') exp(-i phi)
      const double ff = ffs[s], fb = ffs[ns + s];
      re += ff * C + fb * S;
      im += fb * C - ff * S;
      reMate += ff * C + fb * Sm;
      imMate += fb * C - ff * Sm;
    } else if (radiation == 1) {
      // F = sum b exp(+i phi)
      const double b = ffs ? ffs[s] : species_[s].f.s;
      re += b * C;
      im += b * S;
      reMate += b * C;
      imMate += b * Sm;
    }
  }
}

}  // namespace pelmora
