// Fits to synthetic measurements made here from known values (scale, zero
// shift, background, cell, mixture fractions) with Poisson noise of a fixed
// seed: the fit must give the values back within their uncertainty. The
// agreement factors against a numpy computation.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "diffractogram/PatternRun.h"
#include "documents/OpenStructure.h"
#include "measured/PatternFit.h"

namespace pelmora {
namespace {

std::unique_ptr<CKomorka> Open(const std::string& name) {
  auto doc = std::make_unique<CKomorka>();
  std::vector<DocMessage> messages;
  EXPECT_TRUE(OpenStructureDocument(*doc, PELMORA_EXAMPLES_DIR "/" + name, messages)) << name;
  if (doc->sourceRecord) doc->experiment.ApplySource(*doc->sourceRecord);
  if (doc->aparatRecord) doc->experiment.ApplyApparatus(*doc->aparatRecord);
  return doc;
}

SynthesisSetup PseudoVoigt() {
  SynthesisSetup setup;
  setup.profile = kProfilePseudoVoigt;
  return setup;
}

struct Truth {
  std::vector<double> scale;
  double zero = 0.0;
  double a0 = 0.0, a1 = 0.0, a2 = 0.0;  // background a0 + a1 u + a2 u^2, u = (t - 50) / 30
};

// The measurement: sum_p s_p I_p(t - z) + b(t) over 20..80 degrees, with
// I_p the pattern of the given document (at its own cell), then Poisson
// counts drawn with a fixed seed.
MeasuredPattern Synthesise(const std::vector<CKomorka*>& docs, const Truth& truth, double step = 0.02) {
  std::vector<std::unique_ptr<PatternGrid>> grids;
  for (CKomorka* d : docs) {
    d->experiment.angleMin = 15.0;
    d->experiment.angleMax = 85.0;
    grids.push_back(std::make_unique<PatternGrid>());
    NullProgress quiet;
    EXPECT_EQ(RunPatternCalculation(*d, quiet, PseudoVoigt(), *grids.back()).outcome, CalcOutcome::Ok);
  }
  std::mt19937 random(20261207);
  MeasuredPattern m;
  const int n = static_cast<int>(std::lround(60.0 / step));
  for (int k = 0; k <= n; ++k) {
    const double t = 20.0 + k * step;
    double y = 0.0;
    for (size_t p = 0; p < docs.size(); ++p) {
      const double f = (t - truth.zero) / kPatternStep;
      const int i = static_cast<int>(std::floor(f));
      const double r = f - i;
      y += truth.scale[p] * ((*grids[p])[i].intensity * (1 - r) + (*grids[p])[i + 1].intensity * r);
    }
    const double u = (t - 50.0) / 30.0;
    y += truth.a0 + truth.a1 * u + truth.a2 * u * u;
    m.twoTheta.push_back(t);
    m.counts.push_back(static_cast<double>(std::poisson_distribution<long>(y)(random)));
  }
  return m;
}

TEST(PatternFit, RecoversScaleZeroBackgroundAndCellOfOnePhase) {
  auto truthDoc = Open("NaCl.xml");
  const double a = truthDoc->cell.a + 0.0050;
  truthDoc->cell.a = truthDoc->cell.b = truthDoc->cell.c = a;
  truthDoc->cell.RefreshCellMetric();
  Truth truth;
  // Peaks of about 20000 counts over a background of 100 to 300.
  truth.scale = {0.0};
  {
    PatternGrid g;
    NullProgress quiet;
    truthDoc->experiment.angleMin = 15;
    truthDoc->experiment.angleMax = 85;
    RunPatternCalculation(*truthDoc, quiet, PseudoVoigt(), g);
    truth.scale[0] = 20000.0 / g.maximum;
  }
  truth.zero = 0.037;
  truth.a0 = 200.0;
  truth.a1 = -80.0;
  truth.a2 = 25.0;
  const MeasuredPattern m = Synthesise({truthDoc.get()}, truth);

  auto doc = Open("NaCl.xml");
  doc->experiment.angleMin = 20.0;
  doc->experiment.angleMax = 80.0;
  FitOptions o;
  o.setup = PseudoVoigt();
  o.refine = kFitScale | kFitZero | kFitBackground | kFitCell;
  o.backgroundTerms = 4;
  const FitResult r = FitPattern({doc.get()}, m, o);
  ASSERT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(r.points, 3001);
  EXPECT_EQ(r.parameters, 1 + 1 + 4 + 1);
  const FitPhase& p = r.phases[0];
  // Within three standard uncertainties, and the uncertainties small.
  EXPECT_NEAR(p.cell[0], a, 3 * p.cellEsd[0]);
  EXPECT_LT(p.cellEsd[0], 2e-4);
  EXPECT_EQ(p.cell[1], p.cell[0]);
  EXPECT_EQ(p.cell[2], p.cell[0]);
  EXPECT_NEAR(r.zero, truth.zero, 3 * r.zeroEsd);
  EXPECT_LT(r.zeroEsd, 0.005);
  EXPECT_NEAR(p.scale, truth.scale[0], 3 * p.scaleEsd);
  EXPECT_LT(p.scaleEsd / p.scale, 0.01);
  // Poisson noise with the right model: chi2 near 1.
  EXPECT_NEAR(r.chi2, 1.0, 0.1);
  // The background curve follows the quadratic it was made with.
  for (size_t i = 0; i < r.twoTheta.size(); i += 500) {
    const double u = (r.twoTheta[i] - 50.0) / 30.0;
    EXPECT_NEAR(r.backgroundCurve[i], truth.a0 + truth.a1 * u + truth.a2 * u * u, 5.0) << r.twoTheta[i];
  }
  // The fitted values into a document: the cell with its ties, nothing else.
  const double u = doc->experiment.u;
  ApplyFitToDocument(r, 0, kFitCell, *doc);
  EXPECT_EQ(doc->cell.a, p.cell[0]);
  EXPECT_EQ(doc->cell.c, p.cell[0]);
  EXPECT_EQ(doc->experiment.u, u);
}

TEST(PatternFit, MixtureGivesBackItsWeightFractions) {
  // NaCl 30 % and Si 70 % by weight. With intensities that carry 1 / V^2,
  // s_p is proportional to W_p V_p / (ZM)_p; ZM from the standard atomic
  // weights: 4 (22.98977 + 35.453) and 8 * 28.0855 g/mol; V = a^3.
  // numpy: s = W * V / ZM, normalised: 0.3157222, 0.6842778.
  auto nacl = Open("NaCl.xml");
  auto si = Open("Si.xml");
  si->experiment.ApplyValues(static_cast<const ExperimentValues&>(nacl->experiment));
  si->experiment.ApplySource({nacl->experiment.lambda1, nacl->experiment.lambda2, nacl->experiment.ratio,
                              nacl->experiment.sourceName, nacl->experiment.radiation});
  Truth truth;
  truth.scale = {0.3157222 * 0.2, 0.6842778 * 0.2};
  truth.a0 = 150.0;
  truth.a1 = 20.0;
  const MeasuredPattern m = Synthesise({nacl.get(), si.get()}, truth, 0.015);

  nacl->experiment.angleMin = 20.0;
  nacl->experiment.angleMax = 80.0;
  FitOptions o;
  o.setup = PseudoVoigt();
  o.refine = kFitScale | kFitZero | kFitBackground | kFitWidths | kFitCell | kFitSize;
  const FitResult r = FitPattern({nacl.get(), si.get()}, m, o);
  ASSERT_TRUE(r.error.empty()) << r.error;
  ASSERT_EQ(r.phases.size(), 2u);
  EXPECT_NEAR(r.phases[0].weightFraction, 0.30, 0.01);
  EXPECT_NEAR(r.phases[1].weightFraction, 0.70, 0.01);
  EXPECT_NEAR(r.phases[0].cellMass, 4 * (22.98977 + 35.453), 0.1);
  EXPECT_NEAR(r.phases[1].cellMass, 8 * 28.0855, 0.1);
  EXPECT_NEAR(r.phases[0].cell[0], 5.6402, 3 * r.phases[0].cellEsd[0] + 1e-5);
  EXPECT_NEAR(r.phases[1].cell[0], 5.4309, 3 * r.phases[1].cellEsd[0] + 1e-5);
  EXPECT_NEAR(r.zero, 0.0, 3 * r.zeroEsd + 1e-4);
  EXPECT_NEAR(r.chi2, 1.0, 0.1);
}

TEST(PatternFit, RefusesAStartWhoseWidthsLeaveOutPeaks) {
  // W < 0 and no size broadening: U tan^2 + V tan + W < 0 at every angle,
  // so the synthesis leaves every peak out; a fit would go on without them.
  auto nacl = Open("NaCl.xml");
  auto si = Open("Si.xml");
  nacl->experiment.angleMin = 20.0;
  nacl->experiment.angleMax = 80.0;
  Truth truth;
  truth.scale = {0.1, 0.1};
  truth.a0 = 100.0;
  const MeasuredPattern m = Synthesise({nacl.get(), si.get()}, truth);
  nacl->experiment.u = nacl->experiment.v = 0.0;
  nacl->experiment.w = -0.1;
  nacl->experiment.gsize = si->experiment.gsize = 1.0e6;  // no size broadening to speak of
  FitOptions o;
  o.setup = PseudoVoigt();
  const FitResult r = FitPattern({nacl.get(), si.get()}, m, o);
  EXPECT_NE(r.error.find("Faza 1: Pominięte refleksy"), std::string::npos) << r.error;
}

TEST(PatternFit, AgreementFactorsAsNumpyComputesThem) {
  // numpy, with w = 1/y_obs (1 where y_obs <= 0) and P = 2:
  //   rp = 100 sum|yo-yc| / sum yo; rwp = 100 sqrt(sum w (yo-yc)^2 / sum w yo^2);
  //   rexp = 100 sqrt((N-P) / sum w yo^2); chi2 = (rwp/rexp)^2
  const std::vector<double> yo{10, 0, 25, 4, 100, 49}, yc{12, 1, 20, 4.5, 90, 52};
  std::vector<double> w;
  for (double y : yo) w.push_back(FitWeight(y, 0.0));
  EXPECT_EQ(w[1], 1.0);
  EXPECT_EQ(w[0], 0.1);
  EXPECT_EQ(FitWeight(100.0, 2.0), 0.25);
  const Agreement a = AgreementOf(yo, yc, w, 2);
  EXPECT_NEAR(a.rp, 11.436170212766, 1e-10);
  EXPECT_NEAR(a.rwp, 13.9264280168268, 1e-10);
  EXPECT_NEAR(a.rexp, 14.5864991497895, 1e-10);
  EXPECT_NEAR(a.chi2, 0.911543367346939, 1e-12);
}

TEST(PatternFit, RefusalsAndCancel) {
  auto doc = Open("NaCl.xml");
  MeasuredPattern m;
  for (int i = 0; i < 200; ++i) {
    m.twoTheta.push_back(20.0 + 0.05 * i);
    m.counts.push_back(100.0);
  }
  FitOptions o;
  o.setup = PseudoVoigt();
  // No point in the document's range.
  doc->experiment.angleMin = 50.0;
  doc->experiment.angleMax = 60.0;
  EXPECT_NE(FitPattern({doc.get()}, m, o).error.find("0 punktów"), std::string::npos);
  doc->experiment.angleMin = 20.0;
  // A stick pattern has no width to refine.
  o.setup.profile = kProfileStick;
  o.refine = kFitScale | kFitCell;
  EXPECT_NE(FitPattern({doc.get()}, m, o).error.find("brak"), std::string::npos);
  // A refused document stops the fit with the calculation's message.
  o.setup = PseudoVoigt();
  doc->experiment.gsize = 0.0;
  EXPECT_FALSE(FitPattern({doc.get()}, m, o).error.empty());
  doc->experiment.gsize = 1000.0;
  // A cancel asked before the first step.
  std::atomic<bool> cancel{true};
  o.cancel = &cancel;
  const FitResult r = FitPattern({doc.get()}, m, o);
  EXPECT_TRUE(r.cancelled);
  EXPECT_FALSE(r.error.empty());

  unsigned what = 0;
  std::string bad;
  EXPECT_TRUE(ParseFitWhat("scale, zero,cell", what, &bad));
  EXPECT_EQ(what, unsigned(kFitScale | kFitZero | kFitCell));
  EXPECT_FALSE(ParseFitWhat("scale,lambda", what, &bad));
  EXPECT_EQ(bad, "lambda");
}

}  // namespace
}  // namespace pelmora
