#include "diffractogram/ZoomState.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

int ChartRound(double x) {
  const double f = std::floor(x);
  return static_cast<int>(x - f > 0.5 ? std::ceil(x) : f);
}

double PixelToValue(double d, int extent, double from, double to, int intervals) {
  if (extent <= 0) return from;
  const double per = static_cast<double>(extent) / intervals;
  const double t = d / per;
  const double k0 = std::floor(t), k1 = std::ceil(t);
  const int p0 = ChartRound(k0 * extent / intervals);
  const int p1 = ChartRound(k1 * extent / intervals);
  const double stepValue = (to - from) / intervals;
  if (p0 == p1) return from + k0 * stepValue;
  return from + k0 * stepValue + (d - p0) * stepValue / (p1 - p0);
}

int ValueToPixel(double value, int extent, double from, double to) {
  if (value < from || value > to || to == from) return -1;
  return ChartRound((value - from) * extent / (to - from));
}

void ZoomState::SetBounds(double angleMin, double angleMax) {
  A = angleMin;
  B = angleMax;
  Reset();
}

bool ZoomState::Reset() {
  const bool a = ResetAngle();
  const bool i = ResetIntensity();
  return a || i;
}

bool ZoomState::ResetAngle() {
  const bool changed = x0 != A || x1 != B || z != 1.0;
  z = 1.0;
  x0 = A;
  x1 = B;
  return changed;
}

bool ZoomState::ResetIntensity() {
  const bool changed = y0 != 0.0 || y1 != 100.0 || zi != 1.0;
  zi = 1.0;
  y0 = 0.0;
  y1 = 100.0;
  return changed;
}

bool ZoomState::ZoomIn() {
  const double D = B - A;
  const double c = x0 + 0.5 * (x1 - x0);
  const double k = std::log(z) / std::log(2.0);
  if (k <= std::floor(k))
    z = 2.0 * z;
  else
    z = std::pow(2.0, std::floor(k) + 1.0);
  x0 = c - D / (2.0 * z);
  x1 = c + D / (2.0 * z);
  return true;
}

bool ZoomState::ZoomOut() {
  if (z == 1.0) return false;
  if (z < 1.0) z = 1.0;
  const double D = B - A;
  const double c = x0 + 0.5 * (x1 - x0);
  const double k = std::log(z) / std::log(2.0);
  if (k <= std::floor(k))
    z = 0.5 * z;
  else
    z = std::pow(2.0, std::floor(k));
  if (z < 1.0) z = 1.0;
  x0 = c - D / (2.0 * z);
  x1 = c + D / (2.0 * z);
  const double w = x1 - x0;
  if (x1 > B) {
    x1 = B;
    x0 = B - w;
  } else if (x0 < A) {
    x0 = A;
    x1 = A + w;
  }
  return true;
}

bool ZoomState::ShiftLowerByRange() {
  if (x0 == A) return false;
  const double w = x1 - x0;
  x0 = std::max(A, x0 - w);
  x1 = x0 + w;
  return true;
}

bool ZoomState::ShiftLowerByStep() {
  if (x0 == A) return false;
  const double w = x1 - x0;
  x0 = std::max(A, x0 - angleStep);
  x1 = x0 + w;
  return true;
}

bool ZoomState::ShiftHigherByStep() {
  if (x1 == B) return false;
  const double w = x1 - x0;
  x1 = std::min(B, x1 + angleStep);
  x0 = x1 - w;
  return true;
}

bool ZoomState::ShiftHigherByRange() {
  if (x1 == B) return false;
  const double w = x1 - x0;
  x1 = std::min(B, x1 + w);
  x0 = x1 - w;
  return true;
}

bool ZoomState::IntensityUpByHeight() {
  if (y1 == 100.0) return false;
  const double h = y1 - y0;
  y1 = std::min(100.0, y1 + h);
  y0 = y1 - h;
  return true;
}

bool ZoomState::IntensityUpByStep() {
  if (y1 == 100.0) return false;
  const double h = y1 - y0;
  y1 = std::min(100.0, y1 + intensityStep);
  y0 = y1 - h;
  return true;
}

bool ZoomState::IntensityDownByStep() {
  if (y0 == 0.0) return false;
  const double h = y1 - y0;
  y0 = std::max(0.0, y0 - intensityStep);
  y1 = y0 + h;
  return true;
}

bool ZoomState::IntensityDownByHeight() {
  if (y0 == 0.0) return false;
  const double h = y1 - y0;
  y0 = std::max(0.0, y0 - h);
  y1 = y0 + h;
  return true;
}

bool ZoomState::StretchAngle(double a, double b) {
  if (a == b) return false;
  x0 = std::min(a, b);
  x1 = std::max(a, b);
  z = (B - A) / (x1 - x0);
  return true;
}

bool ZoomState::StretchIntensity(double p, double q) {
  if (p == q) return false;
  y0 = std::min(p, q);
  y1 = std::max(p, q);
  zi = 100.0 / (y1 - y0);
  return true;
}

}  // namespace pelmora
