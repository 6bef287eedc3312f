// The structure document: crystal model (lattice, unit cell, atoms),
// experiment values and the reflection lists of the last completed
// calculation. Plain C++: the application wraps it to add notifications.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/AtomSite.h"
#include "engine/CalcProgress.h"
#include "engine/Experiment.h"
#include "engine/LatticeType.h"
#include "engine/Reflection.h"
#include "engine/UnitCell.h"

namespace pelmora {

// The reflection lists of the last completed calculation: the first and
// second wavelength's groups and both merged by angle.
struct CalculationResults {
  std::vector<Reflection> reflections1;
  std::vector<Reflection> reflections2;
  std::vector<Reflection> reflectionsAll;
  double maxIntensity = 0.0;

  int count1() const { return static_cast<int>(reflections1.size()); }
  int count2() const { return static_cast<int>(reflections2.size()); }
  int countAll() const { return static_cast<int>(reflectionsAll.size()); }
};

class CKomorka : public ExperimentParams, public UnitCell, public CalculationResults {
 public:
  static constexpr int kMaxAtoms = 100000;     // capacity of each atom list
  static constexpr int kMaxImageRecords = 255;  // CopyCellAtoms' list with boundary images
  static constexpr int kMaxRebuiltSites = 14;   // RebuildStructureFromCell keeps the last 14 sites

  explicit CKomorka(const ExperimentValues& defaults = ExperimentValues{});
  CKomorka(const CKomorka&) = delete;
  CKomorka& operator=(const CKomorka&) = delete;

  // --- lattice --------------------------------------------------------------
  LatticeType latticeType = kCubic;
  int bravaisIndex = 0;
  std::array<BravaisEntry, kBravaisCount> BravaisTable;
  std::string centringText;

  // --- atoms (each list holds at most kMaxAtoms) ----------------------------
  std::vector<AtomSite> structureAtoms;
  std::vector<AtomSite> cellAtoms;

  // --- space group ------------------------------------------------------------
  // The setting's name as SpaceGroupSetting::Name gives it ("P 42/m n m",
  // "F d -3 m:2"); empty for a structure given by its lattice type alone.
  // With a group, asymmetricUnit holds the sites and structureAtoms are
  // generated from them.
  std::string spaceGroup;
  std::vector<AtomSite> asymmetricUnit;
  // The measured pattern shown with the structure: an absolute path once the
  // structure is open (the structure file keeps it relative to itself);
  // empty for none.
  std::string measuredPath;
  // Sets the group (empty: none) and the lattice type it gives, and ties the
  // cell. A structure without a group becomes the sites that stand for its
  // atoms (an atom that is an image of an earlier one of the same kind is
  // dropped); with the group removed the generated atoms stay, each on its
  // own. False for a name that is no group (nothing changed).
  bool SetSpaceGroup(const std::string& name);
  // The atoms the user edits: the sites with a group, else the structure
  // atoms. ExpandCellAtoms after a change.
  std::vector<AtomSite>& EditableAtoms() { return spaceGroup.empty() ? structureAtoms : asymmetricUnit; }
  const std::vector<AtomSite>& EditableAtoms() const { return spaceGroup.empty() ? structureAtoms : asymmetricUnit; }

  // The first wavelength the atoms' f' and f'' were taken for; 0 while
  // nothing says (they are then taken to be the current source's). Not
  // saved: a file's terms are those of its own source.
  double anomalLambda = 0.0;

  // --- records of a structure file's own source and instrument set ---------
  std::unique_ptr<RadiationSource> sourceRecord;
  std::unique_ptr<ApparatusSet> aparatRecord;

  std::atomic<bool> cancelRequested{false};

  // --- 3D view values ---------------------------------------------------------
  int cellViewScale = 50;
  std::uint32_t cellViewColor = 0x7F7F7F;

  // --- atoms ------------------------------------------------------------------
  // Rebuilds cellAtoms from structureAtoms and the lattice type; with a
  // space group, structureAtoms (and the lattice type) first from the
  // asymmetric unit. Returns false (and expands only what fits) when the
  // expansion would exceed the list's capacity.
  bool ExpandCellAtoms();
  // True when n structure atoms expand into at most kMaxAtoms cell atoms.
  static bool FitsCapacity(LatticeType type, size_t nStructureAtoms);
  int CopyStructureAtoms(std::vector<AtomSite>& out) const;
  // Cell atoms followed by their images on faces, edges and corners, for the
  // 3D view; the images stop at kMaxImageRecords records.
  int CopyCellAtoms(std::vector<AtomSite>& out) const;
  void UpdateAtomDisplay(const AtomSite& edited);
  // The first structure atom on the site (x, y, z) of this lattice, up to
  // whole cell translations and the centring vectors; -1 when it is free.
  int FindOccupiedSite(double x, double y, double z) const;
  void RebuildStructureFromCell();

  // --- file reader helpers ----------------------------------------------------
  bool SetSystemFromName(const std::string& name);
  bool SetCentringFromLetter(const std::string& letter);

  // (first, last) indices of reflectionsAll with 2-theta in [from, to];
  // (-1, -1) when none.
  std::pair<int, int> FindReflectionRange(double from, double to) const;

  bool OnNewDocument();

  // --- calculation --------------------------------------------------------------
  // Empty when a calculation can start; otherwise a message naming the value
  // that would make the intensities infinite or undefined. Defined with the
  // other refusals (engine/Validation.cpp).
  std::string ValidateCalculation() const;
  // Finds, groups and rates every reflection in range. 0 = results installed;
  // -1 = cancelled or no reflection of the first wavelength (results untouched).
  int CalculateReflections(CalcProgress& progress);

  // Structure factor of the cell atoms; |F|^2 with Re and Im as out-values.
  double StructureFactor(int h, int k, int l, double theta, double lambda, double& reF, double& imF) const;
  double GroupIntensity(const Reflection& group, int line) const;
  // What the integrated intensities of one line share, for rating many
  // groups: GroupIntensity(group, line) equals
  // GroupIntensity(group, line, LineIntensityFactors(line)) to the bit.
  struct LineFactors {
    double lambda, numerator, denominator;
    bool perSiteB;  // the displacements are in |F|^2, not in a common factor
  };
  // Whether any cell atom has a displacement B of its own. Then every atom's
  // displacement enters F, the others' with the experiment's B (when it is
  // on), and no common Debye-Waller factor is applied.
  bool HasSiteDisplacements() const;
  // The B that F applies to atoms without their own: 0 unless some have one.
  double SiteDefaultB() const;
  LineFactors LineIntensityFactors(int line) const;
  double GroupIntensity(const Reflection& group, int line, const LineFactors& factors) const;

  // Neutron sources are monochromatic: only X-rays get a second line.
  bool HasSecondLine() const { return lambda2 > 0.0 && radiation == 0; }
  // The shortest wavelength of the calculation, and sin(theta) at the top of
  // the range (1 from 180 degrees on): together they bound d from below.
  double ShortestWavelength() const { return HasSecondLine() ? std::min(lambda1, lambda2) : lambda1; }
  double SinThetaMax() const {
    return angleMax >= 180.0 ? 1.0 : std::sin(ThetaOfTwoTheta(std::max(angleMax, 0.0)));
  }
  // 1 / d_min = 2 sin(theta_max) / lambda_min, the radius of the sphere of
  // reciprocal lattice points the calculation reaches; 0 when none is.
  double InverseDMin() const {
    const double s = SinThetaMax(), lmin = ShortestWavelength();
    return s > 0.0 && lmin > 0.0 ? 2.0 * s / lmin : 0.0;
  }

  // The largest index that can reach the experiment's 2-theta range along
  // each axis (never below 15).
  std::array<int, 3> SearchLimits() const;
  // The memory a calculation of that many reflections in range may need at
  // worst, in bytes.
  static double CalculationBytes(double reflections);

 private:
  void BuildBravaisTable();
};

}  // namespace pelmora
