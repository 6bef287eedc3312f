// The refinable structure of one phase: the sites of its asymmetric unit,
// each with its images in the cell, the directions in which the space group
// lets it move, its occupancy and its B; |F|^2 with its derivatives by all
// of them. A structure without a group has each atom as a site, free in x,
// y and z, with the lattice's centring as its images.
#pragma once

#include <array>
#include <complex>
#include <string>
#include <vector>

#include "engine/AtomSite.h"
#include "engine/Komorka.h"

namespace pelmora::refinement {

struct RefinedSite {
  std::string label;
  ScatteringFactors factors;
  std::array<double, 3> start{};              // on its special position exactly
  std::vector<std::array<double, 3>> dirs;    // the free directions, 0 to 3
  std::array<double, 3> shift{};              // along dirs
  double occupancy = 1.0;
  double b = 0.0;                             // isotropic B, square angstrom
  struct Image {
    std::array<int, 9> rot{};
    std::array<double, 3> tran{};
  };
  std::vector<Image> images;                  // one per atom of the site in the cell
  int firstCoordinate = 0;                    // of dirs.size() + 2: shifts, occupancy, B

  std::array<double, 3> Position() const;
  int coordinateCount() const { return static_cast<int>(dirs.size()) + 2; }
};

class StructureModel {
 public:
  // The document's sites with their B (their own, else the experiment's
  // when it applies one).
  explicit StructureModel(const CKomorka& doc);

  std::vector<RefinedSite> sites;
  BulkSolvent solvent;  // the document's, scaling F alike for every value refined
  int coordinateCount() const { return coordinates_; }

  // |F|^2 of (h k l) for X-rays (radiation 0) or neutrons (1) at
  // s2 = (sin(theta) / lambda)^2. With grad (coordinateCount() values) also
  // its derivatives by every site's shifts, occupancy and B, in the sites'
  // order.
  double F2(const std::array<int, 3>& hkl, double s2, int radiation, double* grad = nullptr) const;

  // F2 in three parts, so that what depends on the positions alone can be
  // kept while only the cell, occupancies or B move. The sums over each
  // site's images of exp(2 pi i h.q), in the sites' order, and with `turns`
  // the same weighted by h.(R b_k) for each free direction k (3 a site):
  void PhaseSums(const std::array<int, 3>& hkl, std::complex<double>* sums, std::complex<double>* turns) const;
  // each site's scattering at s2 with its B (occupancy apart);
  void Scattering(double s2, int radiation, std::complex<double>* scatter) const;
  // and |F|^2 from them; grad needs the turns.
  double F2Of(const std::complex<double>* scatter, const std::complex<double>* sums, const std::complex<double>* turns,
              double s2, double* grad) const;

 private:
  int coordinates_ = 0;
};

// The element a label starts with: "Pb" of "Pb", "O" of "O1", "Fe" of "Fe2+".
std::string ElementOfLabel(const std::string& label);

// The sites of one position (mixed sites), as lists of site indices; only
// groups of two or more.
std::vector<std::vector<int>> SharedPositions(const std::vector<RefinedSite>& sites);

}  // namespace pelmora::refinement
