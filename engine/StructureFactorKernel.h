// Fast structure factors for a whole search. Atoms with identical
// scattering factors form one species, so a reflection needs one form factor
// per species; the phase factors exp(2 pi i (hx + ky + lz)) come from tables
// of exp(2 pi i n x) per axis, so the inner loop is two complex products per
// atom and no trigonometry. A site's occupancy and own displacement B weigh
// its species by occ * exp(-B s^2). The plain loop of CKomorka::StructureFactor is
// the reference it is tested against.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/AtomSite.h"

namespace pelmora {

class StructureFactorKernel {
 public:
  // Tables cover indices -limits[i]..limits[i] on each axis. Atoms without
  // a B of their own take defaultB.
  StructureFactorKernel(const std::vector<AtomSite>& atoms, int hMax, int kMax, int lMax, double defaultB = 0.0);

  int speciesCount() const { return static_cast<int>(species_.size()); }
  const ScatteringFactors& species(int s) const { return species_[s].f; }
  // Whether any species has an occupancy below 1 or a displacement.
  bool weighted() const { return weighted_; }

  // Per-thread work space, with the form factors of the last spacings:
  // reflections of equal spacing (l and -l in many cells, the permutations
  // of the indices in cubic ones) share them.
  struct Scratch {
    std::vector<double> pr, pi, acc;
    std::vector<std::uint64_t> cachedS2;  // bits of s^2 per cache slot
    std::vector<double> cachedFactors;    // 2 * speciesCount() per slot
  };

  // For fixed h and k, the phase sums C_s = sum cos(phi) and S_s = sum
  // sin(phi) over the atoms of each species s, for each l of ls[0..nl).
  // out receives nl * speciesCount() pairs (C, S).
  void PhaseSums(int h, int k, const int* ls, int nl, double* out, Scratch& scratch) const;
  // The same for several rows (h, k) of one h at once, each with its ls and
  // its out. The atoms go in blocks whose table entries every row reuses, so
  // that a cell of many atoms reads its tables from memory once per h rather
  // than once per row; every sum still adds its atoms in PhaseSums' order,
  // to the same bits. False, with the sums unfinished, once *cancel is set.
  struct Row {
    int k;
    const int* ls;
    int nl;
    double* out;
  };
  bool PhaseSumsRows(int h, const Row* rows, int nRows, Scratch& scratch, const std::atomic<bool>* cancel) const;
  // Room in the scratch for PhaseSumsRows over up to this many l in all:
  // grown a call at a time, it would take fresh pages and copy at each step.
  void Reserve(Scratch& scratch, size_t ls) const;

  // F of a reflection and of its Friedel mate from the reflection's phase
  // sums, the mate's being (C, 0 - S): X-rays with the weighted factors of
  // the species as FormFactors makes them, neutrons with the lengths as
  // NeutronLengths does (or null for the plain scattering lengths of an
  // unweighted kernel).
  void CombineWithMate(const double* sums, int radiation, const double* ff, double& re, double& im,
                       double& reMate, double& imMate) const;
  // (f0 + f') w of every species at s^2, then f'' w of every species:
  // 2 * speciesCount() values; w = occ exp(-B s^2).
  void FormFactors(double s2, double* ff) const;
  // b w of every species at s^2.
  void NeutronLengths(double s2, double* b) const;
  // The same, taken from the scratch's cache when s^2 came shortly before.
  const double* CachedFormFactors(double s2, Scratch& scratch) const;

 private:
  int padded_ = 0;  // atom slots incl. zero padding
  int hMax_, kMax_, lMax_;
  struct Species {
    ScatteringFactors f;
    double occupancy, b;
    bool operator==(const Species&) const = default;
    double Weight(double s2) const { return b == 0.0 ? occupancy : occupancy * std::exp(-b * s2); }
  };
  std::vector<Species> species_;
  // The distinct scattering factors and each species' among them: species
  // that differ only in occupancy or B (a protein's atoms) share f0.
  std::vector<ScatteringFactors> factors_;
  std::vector<int> factorOf_;
  bool weighted_ = false;
  std::vector<int> segBegin_, segEnd_;        // padded slot range of each species
  // [(n + max) * padded_ + slot], from a cache line on, so that no load of
  // four slots straddles two lines; left unset when made, as every entry
  // is written once.
  struct FreeTable {
    size_t bytes;
    void operator()(double* p) const;
  };
  using Table = std::unique_ptr<double[], FreeTable>;
  static Table NewTable(size_t n);
  std::vector<const AtomSite*> GroupSpecies(const std::vector<AtomSite>& atoms, double defaultB);
  void FillTables(const std::vector<const AtomSite*>& slots);
  Table xc_, xs_, yc_, ys_, zc_, zs_;
};

}  // namespace pelmora
