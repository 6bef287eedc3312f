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
  s.cell = doc;
  s.IsDW = doc.IsDW;
  s.dwfactor = doc.dwfactor;
  s.gsize = doc.gsize;
  s.lambda1 = doc.lambda1;
  s.radiation = doc.radiation;
  return s;
}

bool PatternSnapshot::DiffersFrom(const CKomorka& doc) const {
  if (!valid) return true;
  if (angleMin != doc.angleMin || angleMax != doc.angleMax) return true;
  if (!cell.SameConstants(doc)) return true;
  if (IsDW != doc.IsDW) return true;
  if (doc.IsDW && dwfactor != doc.dwfactor) return true;
  return gsize != doc.gsize || lambda1 != doc.lambda1 || radiation != doc.radiation;
}

PatternGrid::PatternGrid() : points_(new PatternPoint[kPatternPoints]) { Reset(); }

void PatternGrid::Reset() {
  for (int i = 0; i < kPatternPoints; ++i) points_[i] = PatternPoint{i * kPatternStep, 0.0};
  maximum = 0.0;
}

}  // namespace pelmora
