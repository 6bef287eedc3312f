// Pattern synthesis: profile areas, the stick rule, windows, widths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "diffractogram/PatternSynthesis.h"

using namespace pelmora;

namespace {

// A theta whose 2-theta comes back exactly as asked through the program's pi.
double ThetaFor(double tth) {
  double th = ThetaOfTwoTheta(tth);
  for (int n = 0; n < 64 && TwoThetaDegrees(th) != tth; ++n)
    th = std::nextafter(th, TwoThetaDegrees(th) < tth ? 1.0 : 0.0);
  EXPECT_EQ(TwoThetaDegrees(th), tth);
  return th;
}

Reflection Peak(double tth, double intensity, std::uint8_t line = 1) {
  Reflection r;
  r.h = 1;
  r.theta = ThetaFor(tth);
  r.intensity = intensity;
  r.nonZero = 1;
  r.line = line;
  return r;
}

// An instrument with a peak width near 0.1 degrees for every built-in profile.
void Instrument(CKomorka& doc) {
  doc.experiment.lambda1 = 1.54056;
  doc.experiment.lambda2 = 0.0;
  doc.experiment.u = doc.experiment.v = doc.experiment.x = 0.0;
  doc.experiment.w = 0.01;
  doc.experiment.y = 0.05;
  doc.experiment.gsize = 5000.0;
  doc.experiment.angleMin = 0.0;
  doc.experiment.angleMax = 180.0;
}

// A document with that instrument, a grid and a setup for each test.
class Synthesis : public ::testing::Test {
 protected:
  Synthesis() { Instrument(doc); }
  CKomorka doc;
  PatternGrid grid;
  SynthesisSetup setup;
};

double Sum(const PatternGrid& g) {
  double s = 0.0;
  for (int i = 0; i < kPatternPoints; ++i) s += g[i].intensity;
  return s;
}

}  // namespace

TEST_F(Synthesis, EveryProfileKeepsTheIntegratedIntensityAndItsWidth) {
  setup.options.useTHMF = false;
  setup.options.dthMargin = 180.0;  // the whole grid: the Lorentzian tails matter
  std::vector<PseudoVoigtInfo> info;
  setup.pseudoVoigtInfo = &info;
  const double I = 250.0;
  for (ProfileId id : {kProfileGauss, kProfileLorentz, kProfilePseudoVoigt}) {
    SCOPED_TRACE(id);
    doc.results.reflectionsAll = {Peak(90.0012, I)};
    setup.profile = id;
    const SynthesisReport rep = Synthesize(setup, doc, 0.0, 180.0, grid);
    EXPECT_EQ(rep.refusedPeaks, 0);
    // Lorentzian tails beyond +-90 degrees hold about H / (90 pi) of the area.
    EXPECT_NEAR(Sum(grid) * kPatternStep / I, 1.0, id == kProfileGauss ? 1e-9 : 5e-4);
    // The width written back is the width of the drawn peak.
    const double H = doc.results.reflectionsAll[0].fwhm;
    int above = 0;
    for (int i = 0; i < kPatternPoints; ++i) above += grid[i].intensity >= 0.5 * grid.maximum;
    EXPECT_NEAR(above * kPatternStep, H, 2 * kPatternStep);
  }
  // One pseudo-Voigt record per initialisation.
  ASSERT_EQ(info.size(), 1u);
  EXPECT_DOUBLE_EQ(info[0].H, doc.results.reflectionsAll[0].fwhm);
}

TEST_F(Synthesis, StickGoesOnTheStrictlyNearestPointOnly) {
  setup.profile = kProfileStick;
  // Half-way between two points (one that is exactly half-way in doubles):
  // no point is strictly nearest.
  double half = 0.0;
  for (int i = 2000; i < 3000 && half == 0.0; ++i)
    if (((i + 0.5) * kPatternStep) / kPatternStep == i + 0.5) half = (i + 0.5) * kPatternStep;
  ASSERT_GT(half, 0.0);
  doc.results.reflectionsAll = {Peak(half, 7.0)};
  Synthesize(setup, doc, 0.0, 180.0, grid);
  EXPECT_EQ(Sum(grid), 0.0);
  // A fifth of a step above 10.000: all on that point.
  doc.results.reflectionsAll = {Peak(10.001, 7.0), Peak(10.001, 3.0)};
  Synthesize(setup, doc, 0.0, 180.0, grid);
  EXPECT_EQ(grid[2000].intensity, 10.0);  // two peaks at one angle add
  EXPECT_EQ(Sum(grid), 10.0);
  // Second-line reflections need a second wavelength.
  doc.results.reflectionsAll[0].line = 2;
  Synthesize(setup, doc, 0.0, 180.0, grid);
  EXPECT_EQ(grid.maximum, 3.0);
}

TEST_F(Synthesis, WindowFollowsTheSettingsAndStopsAtTheRange) {
  doc.experiment.w = 0.25;  // Gaussian H = sqrt(0.25 + size term^2), just above 0.5
  doc.experiment.gsize = std::numeric_limits<double>::infinity();  // no size broadening: H = 0.5 exactly
  setup.profile = kProfileGauss;
  doc.results.reflectionsAll = {Peak(40.0, 100.0)};
  Synthesize(setup, doc, 0.0, 180.0, grid);
  ASSERT_EQ(doc.results.reflectionsAll[0].fwhm, 0.5);
  // The points set are exactly [first, end): 10 H = 5 degrees about 40 by
  // default, dthMargin without the multiple, cut by the range.
  const auto expectSpan = [this](int first, int end) {
    for (int i : {first - 1, end}) EXPECT_EQ(grid[i].intensity, 0.0) << i;
    for (int i : {first, end - 1}) EXPECT_GT(grid[i].intensity, 0.0) << i;
  };
  expectSpan(7500, 8500);
  setup.options.useTHMF = false;
  setup.options.dthMargin = 2.0;
  Synthesize(setup, doc, 0.0, 180.0, grid);
  expectSpan(7800, 8200);
  setup.options.useTHMF = true;
  Synthesize(setup, doc, 39.9, 40.2, grid);
  expectSpan(7980, 8040);
  // A range below zero or beyond the grid is held to the grid.
  Synthesize(setup, doc, -50.0, 500.0, grid);
  EXPECT_GT(grid.maximum, 0.0);
}

TEST_F(Synthesis, UnusableWidthsAddNothingAndAreCounted) {
  // U tan^2 + V tan + W < 0 at 60 degrees: the Gaussian width is a NaN.
  doc.experiment.v = -1.0;
  doc.results.reflectionsAll = {Peak(60.0, 5.0), Peak(10.0, 5.0)};
  for (ProfileId id : {kProfileGauss, kProfilePseudoVoigt}) {
    setup.profile = id;
    const SynthesisReport rep = Synthesize(setup, doc, 0.0, 180.0, grid);
    EXPECT_EQ(rep.refusedPeaks, 2);
    EXPECT_EQ(doc.results.reflectionsAll[0].fwhm, -1.0);
    for (int i = 0; i < kPatternPoints; ++i) ASSERT_TRUE(std::isfinite(grid[i].intensity));
  }

  // A grain size of zero is refused before the run by the profiles that use it.
  for (double D : {0.0, -3.0}) {
    doc.experiment.gsize = D;
    for (ProfileId id : {kProfileGauss, kProfileLorentz, kProfilePseudoVoigt})
      EXPECT_FALSE(ValidateProfileInput(doc.experiment, id).empty());
    EXPECT_TRUE(ValidateProfileInput(doc.experiment, kProfileStick).empty());
  }
}

TEST_F(Synthesis, ReflectionsAtOneAngleSumLikeOnePeak) {
  // Equivalent planes share an angle; their peaks must add up exactly like
  // one peak of the summed intensity, and a neighbour must stay apart.
  PatternGrid together, alone;
  doc.results.reflectionsAll = {Peak(45.0, 3.0), Peak(45.0, 4.0), Peak(45.2, 1.0)};
  Synthesize(setup, doc, 0.0, 180.0, together);
  doc.results.reflectionsAll = {Peak(45.0, 7.0), Peak(45.2, 1.0)};
  Synthesize(setup, doc, 0.0, 180.0, alone);
  for (int i = 8800; i < 9200; ++i) ASSERT_NEAR(together[i].intensity, alone[i].intensity, 1e-12 * alone.maximum);
}

TEST_F(Synthesis, PeakNarrowerThanTheStepKeepsItsAreaAndItsPlace) {
  // Split between the two grid points around it, a sub-step peak must keep
  // both its area and its centre: a split the wrong way round would keep
  // the sum and move the peak by up to a step.
  doc.experiment.w = 1e-6;  // about 0.001 degrees, a fifth of the step
  doc.experiment.y = 0.0;
  doc.experiment.gsize = 1e12;
  for (ProfileId id : {kProfileGauss, kProfileLorentz, kProfilePseudoVoigt}) {
    for (double tth : {40.00390625, 40.0048828125, 72.5009765625}) {  // exact in binary
      SCOPED_TRACE(testing::Message() << id << " at " << tth);
      // Two reflections at one angle: one peak, counted as both.
      doc.results.reflectionsAll = {Peak(tth, 3.0), Peak(tth, 5.0)};
      setup.profile = id;
      const SynthesisReport rep = Synthesize(setup, doc, 0.0, 180.0, grid);
      ASSERT_EQ(rep.subGridPeaks, 2);
      double sum = 0.0, moment = 0.0;
      int nonZero = 0;
      for (int i = 0; i < kPatternPoints; ++i) {
        sum += grid[i].intensity;
        moment += grid[i].intensity * i * kPatternStep;
        nonZero += grid[i].intensity != 0.0;
      }
      EXPECT_LE(nonZero, 2);
      EXPECT_NEAR(sum * kPatternStep, 8.0, 1e-9);
      EXPECT_NEAR(moment / sum, tth, 1e-9);
    }
  }
}
