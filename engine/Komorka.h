// The structure document: the crystal model (lattice, atoms), the unit
// cell, the experiment values and the reflection lists of the last completed
// calculation, each a part of its own. Plain C++: the application wraps it
// to add notifications.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/CalcProgress.h"
#include "engine/Crystal.h"
#include "engine/Experiment.h"
#include "engine/Reflection.h"
#include "engine/UnitCell.h"

namespace pelmora {

// The reflection list of the last completed calculation: both wavelengths'
// groups merged by angle, each record marked with its line. The lines are
// not kept apart as well: a large cell's list is most of the memory.
struct CalculationResults {
  std::vector<Reflection> reflectionsAll;
  double maxIntensity = 0.0;
  int lineCounts[2] = {0, 0};

  int count1() const { return lineCounts[0]; }
  int count2() const { return lineCounts[1]; }
  // One line's records, in angle order (a copy).
  std::vector<Reflection> Line(int line) const {
    std::vector<Reflection> out;
    for (const Reflection& r : reflectionsAll)
      if (r.line == line) out.push_back(r);
    return out;
  }
  int countAll() const { return static_cast<int>(reflectionsAll.size()); }
  // (first, last) indices of reflectionsAll with 2-theta in [from, to];
  // (-1, -1) when none.
  std::pair<int, int> FindReflectionRange(double from, double to) const;
};

class CKomorka {
 public:
  explicit CKomorka(const ExperimentValues& defaults = ExperimentValues{});
  CKomorka(const CKomorka&) = delete;
  CKomorka& operator=(const CKomorka&) = delete;

  Crystal crystal;
  UnitCell cell;
  ExperimentParams experiment;
  CalculationResults results;

  // The measured pattern shown with the structure: an absolute path once the
  // structure is open (the structure file keeps it relative to itself);
  // empty for none.
  std::string measuredPath;
  // The records of a structure file's own source and instrument set.
  std::unique_ptr<RadiationSource> sourceRecord;
  std::unique_ptr<ApparatusSet> aparatRecord;

  // Sets the group (empty: none) and the lattice type it gives, and ties the
  // cell. A structure without a group becomes the sites that stand for its
  // atoms (an atom that is an image of an earlier one of the same kind is
  // dropped); with the group removed the generated atoms stay, each on its
  // own. False for a name that is no group (nothing changed).
  bool SetSpaceGroup(const std::string& name);

  bool OnNewDocument();

  // --- calculation --------------------------------------------------------------
  // Empty when a calculation can start; otherwise a message naming the value
  // that would make the intensities infinite or undefined. Defined with the
  // other refusals (engine/Validation.cpp).
  std::string ValidateCalculation() const;
  // Finds, groups and rates every reflection in range; `cancel`, set from
  // another thread, stops it. 0 = results installed; -1 = cancelled or no
  // reflection of the first wavelength (results untouched).
  int CalculateReflections(CalcProgress& progress, const std::atomic<bool>& cancel);
  // The same for a run nobody cancels.
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
  // The B that F applies to atoms without their own: 0 unless some have one
  // (Crystal::HasSiteDisplacements). Then every atom's displacement enters
  // F, the others' with the experiment's B (when it is on), and no common
  // Debye-Waller factor is applied.
  double SiteDefaultB() const;
  LineFactors LineIntensityFactors(int line) const;
  double GroupIntensity(const Reflection& group, int line, const LineFactors& factors) const;
  // The factors that depend on the angle alone (Debye-Waller, Lorentz,
  // polarisation), for groups that share one: a list by angle holds runs
  // of them in a cell of high metric symmetry.
  struct AngleFactors {
    double theta, D, L, P;
  };
  AngleFactors AngleIntensityFactors(double theta, const LineFactors& factors) const;
  double GroupIntensity(const Reflection& group, int line, const LineFactors& factors,
                        const AngleFactors& angle) const;

  // The largest index that can reach the experiment's 2-theta range along
  // each axis (never below 15).
  std::array<int, 3> SearchLimits() const;
  // The memory a calculation of that many reflections in range may need at
  // worst, in bytes.
  static double CalculationBytes(double reflections);
};

}  // namespace pelmora
