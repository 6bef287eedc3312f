#include "diffractogram/AxisTicks.h"

#include <algorithm>
#include <cmath>

#include "engine/Angles.h"

namespace pelmora {

double RoundStep(double raw) {
  if (!(raw > 0.0) || !std::isfinite(raw)) return 0.0;
  // A step a hair above a round one (span / majors in floating point) is
  // that round step, not the next.
  const double target = raw * (1.0 - 1e-9);
  const double decade = std::pow(10.0, std::floor(std::log10(target)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * decade >= target) return m * decade;
  return 10.0 * decade;
}

int StepDecimals(double step) {
  if (!(step > 0.0) || !std::isfinite(step)) return 0;
  return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

namespace {

// The multiples of step / 10 from lo to hi with their kinds; `at` gives
// each value's place.
void AddMultiples(double step, double lo, double hi, const std::function<double(double)>& at,
                  std::vector<AxisTick>& out) {
  const double minor = step / 10.0;
  const double eps = 1e-9;
  const long long first = static_cast<long long>(std::ceil(lo / minor - eps));
  const long long last = static_cast<long long>(std::floor(hi / minor + eps));
  const int decimals = StepDecimals(step);
  for (long long k = first; k <= last; ++k) {
    AxisTick t;
    t.value = k == 0 ? 0.0 : static_cast<double>(k) * minor;
    t.kind = k % 10 == 0 ? 1 : k % 5 == 0 ? 2 : 3;
    t.decimals = t.kind == 1 ? decimals : StepDecimals(minor);
    t.at = at(t.value);
    if (std::isfinite(t.at)) out.push_back(t);
  }
}

}  // namespace

std::vector<AxisTick> LinearTicks(double lo, double hi, int majors) {
  std::vector<AxisTick> out;
  const double span = hi - lo;
  if (majors < 1 || !std::isfinite(span) || !(span > 0.0)) return out;
  const double step = RoundStep(span / majors);
  if (step <= 0.0) return out;
  AddMultiples(step, lo, hi, [lo, span](double v) { return (v - lo) / span; }, out);
  return out;
}

std::vector<AxisTick> MappedTicks(const std::function<double(double)>& value,
                                  const std::function<double(double)>& place, int majors) {
  std::vector<AxisTick> out;
  if (majors < 1) return out;
  // The axis in short pieces; consecutive pieces with the same local step
  // form one stretch, ticked as an even axis of that step.
  const int pieces = 16 * majors;
  auto stepAt = [&](int i) {
    const double t0 = static_cast<double>(i) / pieces, t1 = static_cast<double>(i + 1) / pieces;
    const double v0 = value(t0), v1 = value(t1);
    return RoundStep(std::fabs(v1 - v0) * pieces / majors);
  };
  for (int i = 0; i < pieces;) {
    const double step = stepAt(i);
    int j = i + 1;
    while (j < pieces && stepAt(j) == step) ++j;
    const double ta = static_cast<double>(i) / pieces, tb = static_cast<double>(j) / pieces;
    if (step > 0.0) {
      const double va = value(ta), vb = value(tb);
      std::vector<AxisTick> stretch;
      AddMultiples(step, std::min(va, vb), std::max(va, vb), place, stretch);
      for (const AxisTick& t : stretch)
        if (t.at >= ta - 1e-12 && (t.at < tb || (j == pieces && t.at <= tb + 1e-12))) out.push_back(t);
    }
    i = j;
  }
  std::sort(out.begin(), out.end(), [](const AxisTick& a, const AxisTick& b) { return a.at < b.at; });
  // Where two stretches meet, labels closer than half a major interval
  // would run into each other: the one of the finer step loses its label.
  const double gap = 0.5 / majors;
  const AxisTick* previous = nullptr;
  for (AxisTick& t : out) {
    if (t.kind != 1) continue;
    if (previous && t.at - previous->at < gap) {
      t.kind = 2;
      continue;
    }
    previous = &t;
  }
  return out;
}

std::vector<AxisTick> XAxisTicks(XAxisUnit unit, double x0, double x1, double lambda, int majors) {
  if (unit == XAxisUnit::TwoTheta || !(lambda > 0.0)) return LinearTicks(x0, x1, majors);
  const double span = x1 - x0;
  if (!std::isfinite(span) || !(span > 0.0)) return {};
  auto value = [=](double t) { return XAxisValue(unit, x0 + t * span, lambda); };
  // 2-theta of a d or a Q, as a place along the window.
  auto place = [=](double v) {
    const double s = unit == XAxisUnit::D ? lambda / (2.0 * v) : v * lambda / (4.0 * kPi);
    if (!(s >= 0.0 && s <= 1.0)) return std::nan("");
    return (TwoThetaDegrees(std::asin(s)) - x0) / span;
  };
  return MappedTicks(value, place, majors);
}

}  // namespace pelmora
