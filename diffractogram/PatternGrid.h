// The synthesised diffractogram: a fixed grid of 36001 points from 0 to 180
// degrees 2-theta in steps of 0.005, its maximum, and the parameters it was
// made with. The chart view owns one for its whole life; the synthesis
// rewrites it in place and the chart draws its points.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/Komorka.h"
#include "plugins/include/pelmora_plugin.h"

namespace pelmora {

using ::PatternPoint;  // {twoTheta (degrees), intensity}

inline constexpr double kPatternStep = 0.005;
inline constexpr int kPatternPoints = 36001;  // round(180 / 0.005) + 1

// Grid index of a 2-theta angle, rounded with halves going down and held to
// 0 ... kPatternPoints (a NaN gives 0). The upper bound is one past the last
// point so that it can end a half-open range.
int PatternIndex(double twoTheta, double step = kPatternStep);

// What a pattern was made with; a change of any of these makes the view
// reset its displayed range.
struct PatternSnapshot {
  bool valid = false;  // false until the first synthesis
  double angleMin = 0.0, angleMax = 0.0;
  UnitCell cell;
  std::int32_t IsDW = 0;
  double dwfactor = 0.0;
  double gsize = 0.0;
  double lambda1 = 0.0;
  std::int32_t radiation = 0;

  static PatternSnapshot Of(const CKomorka& doc, double angleMin, double angleMax);
  // True when the document's values differ from the snapshot (always before
  // the first synthesis). The Debye-Waller factor counts only while the
  // document's Debye-Waller flag is on.
  bool DiffersFrom(const CKomorka& doc) const;
};

class PatternGrid {
 public:
  // Allocates the points once; every point starts at (i * 0.005, 0).
  PatternGrid();
  PatternGrid(const PatternGrid&) = delete;
  PatternGrid& operator=(const PatternGrid&) = delete;

  PatternPoint* points() { return points_.get(); }
  const PatternPoint* points() const { return points_.get(); }
  PatternPoint& operator[](int i) { return points_[i]; }
  const PatternPoint& operator[](int i) const { return points_[i]; }
  static constexpr int size() { return kPatternPoints; }

  // Largest intensity after the last synthesis; 0.0 before any.
  double maximum = 0.0;
  PatternSnapshot snapshot;

  // Every point back to (i * 0.005, 0) and the maximum to 0.
  void Reset();

 private:
  std::unique_ptr<PatternPoint[]> points_;
};

}  // namespace pelmora
