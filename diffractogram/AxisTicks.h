// Where an axis gets its tick marks: at round numbers, multiples of a step
// of 1, 2 or 5 x 10^n, so that the labels read 20, 40, 60 and not 24, 38.
// Every chart, printed page and picture takes its ticks from here.
#pragma once

#include <functional>
#include <vector>

#include "diffractogram/XAxis.h"

namespace pelmora {

struct AxisTick {
  double at = 0.0;     // place along the axis: 0 at its start, 1 at its end
  double value = 0.0;  // the number it stands for
  int kind = 3;        // 1 major (labelled), 2 medium (half a step), 3 minor (a tenth)
  int decimals = 0;    // decimals that write the value of its step exactly
};

// The smallest step of the form 1, 2 or 5 x 10^n that is at least `raw`;
// 0 for a raw step that is not a finite positive number.
double RoundStep(double raw);
// Decimals that show every multiple of the step as it is (0.5 needs 1, 20 none).
int StepDecimals(double step);

// The ticks of an axis that runs evenly from `lo` to `hi`: majors at the
// multiples of a round step that gives at most about `majors` intervals,
// a medium mark halfway, minor ones at each tenth. Sorted by place.
std::vector<AxisTick> LinearTicks(double lo, double hi, int majors);

// The same for an axis whose value is a monotonic but uneven function of
// the place (d or Q against 2-theta): the step follows the local rate of
// change, so the labels stay about as far apart as on an even axis while
// each is a round number. `place` is the inverse of `value`; places or
// values that are not finite get no tick.
std::vector<AxisTick> MappedTicks(const std::function<double(double)>& value,
                                  const std::function<double(double)>& place, int majors);

// The ticks of the abscissa over the 2-theta window [x0, x1] in its unit
// (d and Q need the wavelength lambda in angstrom).
std::vector<AxisTick> XAxisTicks(XAxisUnit unit, double x0, double x1, double lambda, int majors);

}  // namespace pelmora
