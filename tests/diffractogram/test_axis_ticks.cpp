// Tick marks at round numbers: the step from a window, the marks of an even
// axis, and those of d and Q against 2-theta, where each label must be a
// round number standing at the 2-theta Bragg's law gives it. Expected lists
// worked out by hand (multiples of 1, 2 or 5 x 10^n).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "diffractogram/AxisTicks.h"

using namespace pelmora;

namespace {

std::vector<double> Majors(const std::vector<AxisTick>& ticks) {
  std::vector<double> out;
  for (const AxisTick& t : ticks)
    if (t.kind == 1) out.push_back(t.value);
  return out;
}

void ExpectValues(const std::vector<double>& got, const std::vector<double>& want, const std::string& where) {
  ASSERT_EQ(got.size(), want.size()) << where;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9 * (1.0 + std::fabs(want[i]))) << where;
}

}  // namespace

TEST(AxisTicks, RoundStepsAndTheirDecimals) {
  const struct {
    double raw, step;
    int decimals;
  } cases[] = {{14.0, 20.0, 0},  {10.0, 10.0, 0},      {10.000000001, 10.0, 0}, {2.9, 5.0, 0},  {0.5, 0.5, 1},
               {0.51, 1.0, 0},   {0.021, 0.05, 2},     {0.02, 0.02, 2},         {3e5, 5e5, 0},  {1.01e-3, 2e-3, 3},
               {6.0, 10.0, 0},   {0.0, 0.0, 0},        {-1.0, 0.0, 0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(RoundStep(c.raw), c.step) << c.raw;
    if (c.step > 0.0) EXPECT_EQ(StepDecimals(c.step), c.decimals) << c.raw;
  }
  EXPECT_EQ(RoundStep(std::numeric_limits<double>::infinity()), 0.0);
  EXPECT_EQ(RoundStep(std::nan("")), 0.0);
}

TEST(AxisTicks, EvenAxisLabelsRoundNumbersWithMarksBetween) {
  const struct {
    double lo, hi, step;
    std::vector<double> majors;
    int decimals;
  } cases[] = {
      {10.0, 150.0, 20.0, {20, 40, 60, 80, 100, 120, 140}, 0},
      {0.0, 100.0, 10.0, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 0},
      {20.0, 25.0, 0.5, {20, 20.5, 21, 21.5, 22, 22.5, 23, 23.5, 24, 24.5, 25}, 1},
      {1.0, 30.0, 5.0, {5, 10, 15, 20, 25, 30}, 0},
      {29.9, 30.1, 0.02, {29.9, 29.92, 29.94, 29.96, 29.98, 30, 30.02, 30.04, 30.06, 30.08, 30.1}, 2},
      {-3.0, 12.0, 2.0, {-2, 0, 2, 4, 6, 8, 10, 12}, 0},
  };
  for (const auto& c : cases) {
    const std::string where = std::to_string(c.lo) + ".." + std::to_string(c.hi);
    const std::vector<AxisTick> ticks = LinearTicks(c.lo, c.hi, 10);
    ExpectValues(Majors(ticks), c.majors, where);
    const double step = c.step;
    for (const AxisTick& t : ticks) {
      EXPECT_NEAR(t.at, (t.value - c.lo) / (c.hi - c.lo), 1e-12) << where;
      // Majors at whole steps, mediums halfway, minors at the other tenths.
      const double tenths = std::round(t.value / (step / 10.0));
      EXPECT_NEAR(t.value, tenths * step / 10.0, 1e-9) << where;
      const long long k = static_cast<long long>(tenths);
      EXPECT_EQ(t.kind, k % 10 == 0 ? 1 : k % 5 == 0 ? 2 : 3) << where << " at " << t.value;
      if (t.kind == 1) EXPECT_EQ(t.decimals, c.decimals) << where;
    }
    // Every tenth of a step within the window, none left out.
    const double count = std::floor(c.hi / (step / 10.0) + 1e-9) - std::ceil(c.lo / (step / 10.0) - 1e-9) + 1.0;
    EXPECT_EQ(static_cast<double>(ticks.size()), count) << where;
  }
  EXPECT_TRUE(LinearTicks(5.0, 5.0, 10).empty());
  EXPECT_TRUE(LinearTicks(6.0, 5.0, 10).empty());
  EXPECT_TRUE(LinearTicks(0.0, std::nan(""), 10).empty());
}

TEST(AxisTicks, DAndQLabelsAreRoundAndStandAtTheirBraggAngles) {
  const double lambda = 1.54056;
  const double pi = std::numbers::pi;
  const struct {
    XAxisUnit unit;
    double x0, x1;
  } cases[] = {{XAxisUnit::D, 10.0, 150.0}, {XAxisUnit::D, 0.0, 140.0},  {XAxisUnit::Q, 10.0, 150.0},
               {XAxisUnit::D, 40.0, 45.0},  {XAxisUnit::Q, 0.0, 180.0}};
  for (const auto& c : cases) {
    const std::string where = std::string(c.unit == XAxisUnit::D ? "d " : "Q ") + std::to_string(c.x0) + ".." +
                              std::to_string(c.x1);
    const std::vector<AxisTick> ticks = XAxisTicks(c.unit, c.x0, c.x1, lambda, 10);
    std::vector<const AxisTick*> majors;
    for (const AxisTick& t : ticks) {
      // Bragg's law: 2-theta of the value, as a place in the window.
      const double s = c.unit == XAxisUnit::D ? lambda / (2.0 * t.value) : t.value * lambda / (4.0 * pi);
      const double tth = 2.0 * std::asin(s) * 180.0 / pi;
      EXPECT_NEAR(t.at, (tth - c.x0) / (c.x1 - c.x0), 1e-7) << where << " value " << t.value;
      EXPECT_GE(t.at, -1e-9) << where;
      EXPECT_LE(t.at, 1.0 + 1e-9) << where;
      if (t.kind != 1) continue;
      majors.push_back(&t);
      // The label written with its decimals is the value itself, and the
      // value a multiple of 1, 2 or 5 units of its last decimal.
      const double units = t.value * std::pow(10.0, t.decimals);
      EXPECT_NEAR(units, std::round(units), 1e-6) << where << " value " << t.value;
      EXPECT_LE(t.decimals, 2) << where << " value " << t.value;
    }
    ASSERT_GE(majors.size(), 4u) << where;
    EXPECT_LE(majors.size(), 16u) << where;
    for (size_t i = 1; i < majors.size(); ++i) {
      // Sorted, apart enough for their labels, and no wide stretch unlabelled.
      EXPECT_GE(majors[i]->at - majors[i - 1]->at, 0.05 - 1e-9) << where << " at " << majors[i]->value;
      EXPECT_LE(majors[i]->at - majors[i - 1]->at, 0.3) << where << " at " << majors[i]->value;
      if (c.unit == XAxisUnit::D) EXPECT_LT(majors[i]->value, majors[i - 1]->value) << where;
      else EXPECT_GT(majors[i]->value, majors[i - 1]->value) << where;
    }
  }
  // Without a wavelength the abscissa stays in 2-theta.
  ExpectValues(Majors(XAxisTicks(XAxisUnit::D, 10.0, 150.0, 0.0, 10)), {20, 40, 60, 80, 100, 120, 140}, "no lambda");
}
