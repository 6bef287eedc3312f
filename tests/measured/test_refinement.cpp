// The refinement's parts where a slip would not show in a fit that still
// converges: |F|^2 and its derivatives against the calculation's own sum,
// the directions a special position may move in, the model's Jacobian
// against differences of its residuals for every kind of value, the
// minimiser's bounds, and esds as they are printed.
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../documents/ShippedTables.h"
#include "documents/CifImport.h"
#include "documents/OpenStructure.h"
#include "io/AtomicFile.h"
#include "engine/Intensities.h"
#include "io/NumberFormat.h"
#include "measured/LeastSquares.h"
#include "measured/Refinement.h"
#include "measured/RefinementModel.h"

namespace pelmora {

struct RefinementInspector {
  static refinement::Model& Of(Refinement& r) { return *r.model_; }
};

namespace {

using refinement::StructureModel;

std::unique_ptr<CKomorka> Open(const std::string& path) {
  auto doc = std::make_unique<CKomorka>();
  std::vector<DocMessage> messages;
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".cif") == 0) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text)) << path;
    EXPECT_TRUE(ImportCifText(*doc, text, test::Tables().elements, messages)) << path;
  } else {
    EXPECT_TRUE(OpenStructureDocument(*doc, path, messages)) << path;
  }
  if (doc->sourceRecord) doc->experiment.ApplySource(*doc->sourceRecord);
  return doc;
}

TEST(RefinementStructure, FactorsEqualTheCalculationsSumAndTheirDerivativesItsDifferences) {
  for (const char* file : {PELMORA_TEST_DATA_DIR "/cif/rutile.cif", PELMORA_TEST_DATA_DIR "/cif/cod-5910168-CuSO4.cif",
                           PELMORA_TEST_DATA_DIR "/cif/monoclinic-C.cif", PELMORA_EXAMPLES_DIR "/wurtzite-ZnO.xml"}) {
    std::unique_ptr<CKomorka> doc = Open(file);
    // Anomalous terms and a site's own B, so that every part of F counts.
    for (AtomSite& a : doc->crystal.EditableAtoms()) a.fprim = -0.7, a.fbis = 1.3, a.biso = 0.9, a.occupancy = 0.8;
    doc->crystal.ExpandCellAtoms();
    doc->cell.RefreshCellMetric();
    for (int radiation : {0, 1}) {
      doc->experiment.radiation = radiation;
      const StructureModel model(*doc);
      std::vector<double> grad(static_cast<size_t>(model.coordinateCount()));
      for (const std::array<int, 3> h : {std::array{1, 1, 0}, {2, 0, 1}, {1, -2, 3}, {0, 0, 2}, {3, 1, -1}}) {
        const double d = doc->cell.DSpacing(h[0], h[1], h[2]), lambda = 1.54056;
        const double theta = std::asin(lambda / (2 * d));
        double re, im;
        const double want = doc->StructureFactor(h[0], h[1], h[2], theta, lambda, re, im);
        const double s2 = 1.0 / (4 * d * d);
        EXPECT_NEAR(model.F2(h, s2, radiation, grad.data()), want, 1e-9 * (1 + want)) << file << " " << h[0] << h[1] << h[2];
        for (size_t s = 0; s < model.sites.size(); ++s) {
          const refinement::RefinedSite& site = model.sites[s];
          for (int c = 0; c < site.coordinateCount(); ++c) {
            StructureModel moved = model;
            refinement::RefinedSite& m = moved.sites[s];
            const double step = 1e-6;
            auto nudge = [&](double by) {
              if (c < static_cast<int>(m.dirs.size())) m.shift[static_cast<size_t>(c)] += by;
              else if (c == static_cast<int>(m.dirs.size())) m.occupancy += by;
              else m.b += by;
            };
            nudge(step);
            const double up = moved.F2(h, s2, radiation);
            nudge(-2 * step);
            const double down = moved.F2(h, s2, radiation);
            EXPECT_NEAR(grad[static_cast<size_t>(site.firstCoordinate + c)], (up - down) / (2 * step),
                        1e-5 * (1 + want)) << file << " site " << s << " coordinate " << c;
          }
        }
      }
    }
  }
}

TEST(RefinementStructure, SitesMoveOnlyWhereTheirSymmetryLetsThem) {
  std::unique_ptr<CKomorka> doc = Open(PELMORA_TEST_DATA_DIR "/cif/rutile.cif");
  const StructureModel rutile(*doc);
  ASSERT_EQ(rutile.sites.size(), 2u);
  // Ti on 2a (0 0 0) is fixed; O on 4f (x x 0) moves along (1 1 0).
  EXPECT_TRUE(rutile.sites[0].dirs.empty());
  ASSERT_EQ(rutile.sites[1].dirs.size(), 1u);
  EXPECT_EQ(rutile.sites[1].dirs[0], (std::array<double, 3>{1, 1, 0}));
  EXPECT_EQ(std::tuple(rutile.sites[0].images.size(), rutile.sites[1].images.size()), std::tuple(2u, 4u));
  // Zinc and oxygen of wurtzite on 2b (1/3 2/3 z): z alone.
  std::unique_ptr<CKomorka> zno = Open(PELMORA_EXAMPLES_DIR "/wurtzite-ZnO.xml");
  const StructureModel wurtzite(*zno);
  for (const refinement::RefinedSite& s : wurtzite.sites) {
    if (zno->crystal.spaceGroup.empty()) {
      EXPECT_EQ(s.dirs.size(), 3u);  // no group: every atom free
    } else {
      ASSERT_EQ(s.dirs.size(), 1u);
      EXPECT_EQ(s.dirs[0], (std::array<double, 3>{0, 0, 1}));
    }
  }
}

// A pattern of CuSO4 whose every kind of value may be refined.
RefinementSetup SyntheticSetup(const CKomorka* doc) {
  RefinementSetup setup;
  RefinementPattern p;
  p.name = "synthetic";
  p.experiment = doc->experiment;
  p.experiment.angleMin = 15, p.experiment.angleMax = 70;
  p.experiment.u = 0.01, p.experiment.v = -0.01, p.experiment.w = 0.02, p.experiment.y = 0.02;
  p.backgroundTerms = 3;
  for (double t = 15; t <= 70; t += 0.02) p.data.twoTheta.push_back(t), p.data.counts.push_back(100 + t);
  setup.patterns = {p};
  RefinementPhase ph;
  ph.name = "CuSO4";
  ph.doc = doc;
  ph.orientation = std::array{1, 0, 1};
  setup.phases = {ph};
  setup.refine = ~0u & ~kFitLorentz;  // X and strain are the same broadening
  return setup;
}

// Every kind of value away from its default, so that the Jacobian has
// something to say.
TEST(RefinementModel, JacobianAgreesWithDifferencesForEveryKindOfValue) {
  std::unique_ptr<CKomorka> doc = Open(PELMORA_TEST_DATA_DIR "/cif/cod-5910168-CuSO4.cif");
  const RefinementSetup setup = SyntheticSetup(doc.get());
  std::string error;
  std::unique_ptr<Refinement> ref = Refinement::Create(setup, &error);
  ASSERT_TRUE(ref) << error;
  const std::map<std::string, double> away = {{"zero", 0.02},   {"displacement", 0.1}, {"transparency", 0.01},
                                              {"SH/L", 0.03},   {"strain", 5e-4},      {"1/size", 2e-3},
                                              {"orientation r", 0.8}, {"scale", 1e3}};
  for (RefinedValue& v : ref->values()) {
    if (away.count(v.name)) v.value = away.at(v.name);
    if (v.kind == RefinedKind::Background) v.value = 10.0 / (1 + v.index);
  }
  refinement::Model& m = RefinementInspector::Of(*ref);
  m.refined.clear();
  for (size_t i = 0; i < m.values.size(); ++i)
    if (m.values[i].refine) m.refined.push_back(static_cast<int>(i));
  const Eigen::VectorXd x = m.Refined();
  Eigen::VectorXd r0, rp, rm;
  ASSERT_TRUE(m.Residuals(x, r0));
  Eigen::MatrixXd J;
  ASSERT_TRUE(m.Jacobian(x, J));
  for (Eigen::Index j = 0; j < x.size(); ++j) {
    const RefinedValue& v = m.values[static_cast<size_t>(m.refined[static_cast<size_t>(j)])];
    const double h = std::max(1e-6, 1e-5 * std::fabs(x[j]));
    Eigen::VectorXd xp = x, xm = x;
    xp[j] += h, xm[j] -= h;
    ASSERT_TRUE(m.Residuals(xp, rp));
    ASSERT_TRUE(m.Residuals(xm, rm));
    const Eigen::VectorXd numeric = -(rp - rm) / (2 * h);  // r = sqrt(w) (y_obs - y_calc)
    const double scale = numeric.norm() + J.col(j).norm();
    ASSERT_GT(scale, 0.0) << v.name << " moves nothing";
    // The columns of values that move peaks leave out small terms (the
    // intensities' and the divergence's change with the angle); the others
    // are exact.
    const bool moves = v.kind == RefinedKind::Zero || v.kind == RefinedKind::Displacement ||
                       v.kind == RefinedKind::Transparency;
    const double tolerance = v.kind == RefinedKind::Cell ? 0.02 : moves ? 2e-3 : 2e-4;
    EXPECT_LT((J.col(j) - numeric).norm(), tolerance * scale) << v.name;
  }
}

// The model keeps what |F|^2 owes to the positions while only the cell,
// occupancies or B move: after steps of each kind, in turn with Jacobians,
// its residuals and Jacobian are those of a model that starts afresh there.
TEST(RefinementModel, KeptPhasesFollowEveryChangeOfTheStructure) {
  std::unique_ptr<CKomorka> doc = Open(PELMORA_TEST_DATA_DIR "/cif/cod-5910168-CuSO4.cif");
  const RefinementSetup setup = SyntheticSetup(doc.get());
  std::string error;
  std::unique_ptr<Refinement> kept = Refinement::Create(setup, &error);
  ASSERT_TRUE(kept) << error;
  refinement::Model& m = RefinementInspector::Of(*kept);
  m.refined.clear();
  for (size_t i = 0; i < m.values.size(); ++i)
    if (m.values[i].refine) m.refined.push_back(static_cast<int>(i));
  auto index = [&](RefinedKind kind) {
    for (size_t j = 0; j < m.refined.size(); ++j)
      if (m.values[static_cast<size_t>(m.refined[j])].kind == kind) return static_cast<Eigen::Index>(j);
    return Eigen::Index(-1);
  };
  const Eigen::Index cell = index(RefinedKind::Cell), shift = index(RefinedKind::Shift), b = index(RefinedKind::Biso),
                     occupancy = index(RefinedKind::Occupancy);
  ASSERT_TRUE(cell >= 0 && shift >= 0 && b >= 0 && occupancy >= 0);
  Eigen::VectorXd x = m.Refined(), r, fresh;
  Eigen::MatrixXd J, freshJ;
  ASSERT_TRUE(m.Residuals(x, r) && m.Jacobian(x, J));
  // A cell alone, then a position, then B and an occupancy, then a
  // position back to where it was; a Jacobian after every other step.
  const std::vector<std::pair<Eigen::Index, double>> steps = {
      {cell, 0.01}, {shift, 0.004}, {b, 0.3}, {occupancy, -0.05}, {shift, -0.004}, {cell, -0.01}};
  for (size_t k = 0; k < steps.size(); ++k) {
    x[steps[k].first] += steps[k].second;
    ASSERT_TRUE(m.Residuals(x, r));
    std::unique_ptr<Refinement> anew = Refinement::Create(setup, &error);
    refinement::Model& n = RefinementInspector::Of(*anew);
    n.refined = m.refined;
    ASSERT_TRUE(n.Residuals(x, fresh));
    EXPECT_EQ((r - fresh).cwiseAbs().maxCoeff(), 0.0) << "step " << k;
    if (k % 2 == 0) continue;
    ASSERT_TRUE(m.Jacobian(x, J) && n.Jacobian(x, freshJ));
    EXPECT_EQ((J - freshJ).cwiseAbs().maxCoeff(), 0.0) << "step " << k;
  }
}

// y = a x + b on [0, 1] with data from a = 2: bounded to a <= 1, a ends on
// its bound and b takes up what it can; a region the model calls
// infeasible (b > 0.5) is never entered.
class Line : public refinement::LeastSquaresProblem {
 public:
  bool Residuals(const Eigen::VectorXd& p, Eigen::VectorXd& r) override {
    r.resize(11);
    for (int i = 0; i <= 10; ++i) r[i] = (2.0 * i / 10 + 0.3) - (p[0] * i / 10 + p[1]);
    return true;
  }
  bool Jacobian(const Eigen::VectorXd&, Eigen::MatrixXd& J) override {
    J.resize(11, 2);
    for (int i = 0; i <= 10; ++i) J(i, 0) = i / 10.0, J(i, 1) = 1.0;
    return true;
  }
  bool Feasible(const Eigen::VectorXd& p) override { return p[1] <= 0.5 + 1e-12 || !limitB; }
  bool limitB = false;
};

// The background alone (the phase's scale held at 0): Chebyshev
// coefficients come back term by term, and esds are those of the scatter
// about the fit whatever the sigmas say, scaled by chi2 (a constant
// background's esd is the residuals' standard deviation over sqrt(n)).
TEST(Refinement, BackgroundCoefficientsAndEsdsScaledByChi2) {
  std::unique_ptr<CKomorka> doc = Open(PELMORA_TEST_DATA_DIR "/cif/cod-5910168-CuSO4.cif");
  auto run = [&](const std::array<double, 4>& c, int terms, double sigma, double wobble) {
    RefinementPattern p;
    p.name = "background";
    p.experiment = doc->experiment;
    p.experiment.angleMin = 15, p.experiment.angleMax = 70;
    p.backgroundTerms = terms;
    for (int i = 0; 15 + 0.05 * i <= 70.0 + 1e-9; ++i) {
      const double t = 15 + 0.05 * i, x = 2 * (t - 15) / 55 - 1;
      const double T[4] = {1, x, 2 * x * x - 1, 4 * x * x * x - 3 * x};
      p.data.twoTheta.push_back(t);
      p.data.counts.push_back(c[0] * T[0] + c[1] * T[1] + c[2] * T[2] + c[3] * T[3] + (i % 2 ? wobble : -wobble));
      p.data.sigma.push_back(sigma);
    }
    RefinementSetup setup;
    setup.patterns = {p};
    setup.phases = {RefinementPhase{"CuSO4", doc.get(), false, std::nullopt}};
    setup.refine = kFitBackground;
    std::string error;
    std::unique_ptr<Refinement> ref = Refinement::Create(setup, &error);
    EXPECT_TRUE(ref) << error;
    ref->Find("scale")->value = 0.0;
    return ref->Run();
  };
  const std::array<double, 4> c{120.0, -25.0, 8.0, 3.0};
  const RefinementOutcome exact = run(c, 4, 1.0, 0.0);
  for (int k = 0; k < 4; ++k) {
    const RefinedValue* v = nullptr;
    for (const RefinedValue& x : exact.values)
      if (x.kind == RefinedKind::Background && x.index == k) v = &x;
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->value, c[k], 1e-6) << "bg" << k;
  }
  // A constant 120 over n = 1101 points wobbling by -2, +2, ..., -2: the
  // mean is 120 - 2/n, the residuals' sum of squares 4 (n^2 - 1) / n, so
  // chi2 = 4 (n + 1) / (n sigma^2) and the esd 2 sqrt(n + 1) / n, whatever
  // sigma is.
  const double n = 1101.0;
  for (double sigma : {0.2, 1.0, 50.0}) {
    const RefinementOutcome r = run({120.0, 0.0, 0.0, 0.0}, 1, sigma, 2.0);
    ASSERT_EQ(r.points, 1101);
    EXPECT_NEAR(r.chi2, 4.0 * (n + 1) / (n * sigma * sigma), 1e-9 * r.chi2) << sigma;
    for (const RefinedValue& v : r.values)
      if (v.kind == RefinedKind::Background) {
        EXPECT_NEAR(v.value, 120.0 - 2.0 / n, 1e-7);
        EXPECT_NEAR(v.esd, 2.0 * std::sqrt(n + 1) / n, 1e-9) << sigma;
      }
  }
}

TEST(LeastSquares, BoundsAndInfeasibleStatesHoldAndUnboundedSolutionsAreExact) {
  Line line;
  const Eigen::Vector2d start(0.0, 0.0), low(-10, -10), high(10, 10), capped(1.0, 10);
  refinement::LeastSquaresResult free = refinement::MinimiseBounded(line, start, low, high, {});
  EXPECT_TRUE(free.converged);
  EXPECT_LT(std::fabs(free.x[0] - 2.0) + std::fabs(free.x[1] - 0.3), 1e-9);
  refinement::LeastSquaresResult bound = refinement::MinimiseBounded(line, start, low, capped, {});
  EXPECT_EQ(bound.x[0], 1.0);
  EXPECT_NEAR(bound.x[1], 0.8, 1e-6);  // the best b for a = 1
  line.limitB = true;
  refinement::LeastSquaresResult kept = refinement::MinimiseBounded(line, start, low, capped, {});
  EXPECT_LE(kept.x[1], 0.5 + 1e-12);
  refinement::LeastSquaresOptions once;
  once.maxIterations = 1;
  const Eigen::Vector2d far(-5, 4);
  EXPECT_FALSE(refinement::MinimiseBounded(line, far, low, high, once).converged);
}

TEST(Agreement, FactorsAsNumpyComputesThem) {
  // numpy, with w = 1/y_obs (1 where y_obs <= 0) and P = 2:
  //   rp = 100 sum|yo-yc| / sum yo; rwp = 100 sqrt(sum w (yo-yc)^2 / sum w yo^2);
  //   rexp = 100 sqrt((N-P) / sum w yo^2); chi2 = (rwp/rexp)^2
  const std::vector<double> yo{10, 0, 25, 4, 100, 49}, yc{12, 1, 20, 4.5, 90, 52};
  std::vector<double> w;
  for (double y : yo) w.push_back(FitWeight(y, 0.0));
  EXPECT_EQ(std::tuple(w[0], w[1], FitWeight(100.0, 2.0)), std::tuple(0.1, 1.0, 0.25));
  const Agreement a = AgreementOf(yo, yc, w, 2);
  EXPECT_NEAR(a.rp, 11.436170212766, 1e-10);
  EXPECT_NEAR(a.rwp, 13.9264280168268, 1e-10);
  EXPECT_NEAR(a.rexp, 14.5864991497895, 1e-10);
  EXPECT_NEAR(a.chi2, 0.911543367346939, 1e-12);
}

TEST(NumberFormat, EsdsAreWrittenAsCrystallographersWriteThem) {
  EXPECT_EQ(WithEsd(0.187923, 0.00007), "0.18792(7)");
  EXPECT_EQ(WithEsd(6.955997, 0.0002), "6.9560(2)");
  EXPECT_EQ(WithEsd(0.0433, 0.00135), "0.0433(14)");
  EXPECT_EQ(WithEsd(1.435, 0.016), "1.435(16)");
  EXPECT_EQ(WithEsd(108.3, 4.6), "108(5)");
  EXPECT_EQ(WithEsd(0.25, std::nan("")), "0.25");
}

}  // namespace
}  // namespace pelmora
