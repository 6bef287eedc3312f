#include "diffractogram/PatternGrid.h"

#include <cmath>

#include "engine/Rounding.h"

namespace pelmora {

int PatternIndex(double twoTheta, double step) {
  const double x = RoundHalfDownValue(twoTheta / step);
  if (!(x > 0.0)) return 0;  // also NaN
  if (x > kPatternPoints) return kPatternPoints;
  return static_cast<int>(x);
}

PatternSnapshot PatternSnapshot::Of(const CKomorka& doc, double angleMin, double angleMax) {
  PatternSnapshot s;
  s.valid = true;
  s.angleMin = angleMin;
  s.angleMax = angleMax;
  s.cell = doc.cell;
  s.IsDW = doc.experiment.IsDW;
  s.dwfactor = doc.experiment.dwfactor;
  s.gsize = doc.experiment.gsize;
  s.lambda1 = doc.experiment.lambda1;
  s.radiation = doc.experiment.radiation;
  return s;
}

bool PatternSnapshot::DiffersFrom(const CKomorka& doc) const {
  if (!valid) return true;
  if (angleMin != doc.experiment.angleMin || angleMax != doc.experiment.angleMax) return true;
  if (!cell.SameConstants(doc.cell)) return true;
  if (IsDW != doc.experiment.IsDW) return true;
  if (doc.experiment.IsDW && dwfactor != doc.experiment.dwfactor) return true;
  return gsize != doc.experiment.gsize || lambda1 != doc.experiment.lambda1 || radiation != doc.experiment.radiation;
}

PatternGrid::PatternGrid() : points_(new PatternPoint[kPatternPoints]) { Reset(); }

void PatternGrid::Reset() {
  for (int i = 0; i < kPatternPoints; ++i) points_[i] = PatternPoint{i * kPatternStep, 0.0};
  maximum = 0.0;
}

}  // namespace pelmora
