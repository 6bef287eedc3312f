// The fit driver: checks the request, takes the measured points in range,
// starts from the linear solution for the scales and the background, runs
// Levenberg-Marquardt over the refined values and reports the solution.
#include "measured/PatternFit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>

#include <algorithm>
#include <cmath>
#include <memory>

#include "diffractogram/PatternSynthesis.h"
#include "io/NumberFormat.h"
#include "engine/CellTies.h"
#include "engine/StructureEdits.h"
#include "measured/FitModel.h"

namespace pelmora {
namespace {

using fitting::FitModel;
using fitting::ModelState;

struct LmFunctor {
  FitModel* model;
  int m, n;
  int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const { return model->Residuals(x, f); }
  int df(const Eigen::VectorXd& x, Eigen::MatrixXd& J) const { return model->Jacobian(x, J); }
  int values() const { return m; }
  int inputs() const { return n; }
};

// Why the request is refused before any point is looked at; empty: it is not.
std::string RequestRefusal(const std::vector<const CKomorka*>& docs, const FitOptions& o) {
  if (docs.empty()) return "Brak struktury do dopasowania.";
  if (!BackgroundTermsValid(o.backgroundTerms)) return "Liczba wyrazów tła musi leżeć między 0 a 30.";
  if (o.refine & ~kPatternFitWhat)
    return "Położenia, obsadzenia, B, tekstura, asymetria, przesunięcie i przezroczystość próbki, naprężenia "
           "oraz X Y są dopasowywane tylko w udokładnianiu Rietvelda.";
  if ((o.refine & (kFitWidths | kFitCell | kFitSize)) && o.setup.profile == kProfileStick)
    return "Profil „brak” nie ma szerokości: do dopasowania szerokości, komórki lub rozmiaru ziaren wybierz profil.";
  return std::string();
}

// A calculation of the model that failed or was cancelled, into the result.
void SetFailure(FitResult& r, const FitModel& model) {
  r.error = model.error.empty() ? "Dopasowanie przerwane." : model.error;
  r.cancelled = model.cancelled;
}

// The measured points in [lo, hi] with their weights.
void TakePoints(FitModel& model, const MeasuredPattern& measured, double lo, double hi) {
  for (int i = 0; i < measured.size(); ++i) {
    const double x = measured.twoTheta[static_cast<size_t>(i)];
    if (x < lo || x > hi) continue;
    const double y = measured.counts[static_cast<size_t>(i)];
    const double wt = FitWeight(y, measured.hasSigma() ? measured.sigma[static_cast<size_t>(i)] : 0.0);
    model.t.push_back(x);
    model.yo.push_back(y);
    model.w.push_back(wt);
    model.sw.push_back(std::sqrt(wt));
  }
}

// The background's Chebyshev terms at the points, the documents' own values
// as the state, and each phase's private copy calculating its pattern over
// the fitted range (the first and last point) and a margin for the zero shift.
void SetUpModel(FitModel& model, const std::vector<const CKomorka*>& docs, const FitOptions& o, double rangeMin,
                double rangeMax) {
  const size_t n = model.t.size();
  const int K = (o.refine & kFitBackground) ? o.backgroundTerms : 0;
  model.K = K;
  model.chebyshev.resize(n * static_cast<size_t>(std::max(K, 1)));
  for (size_t i = 0; i < n; ++i) {
    const double span = rangeMax - rangeMin;
    Chebyshev(span > 0 ? 2.0 * (model.t[i] - rangeMin) / span - 1.0 : 0.0, K, &model.chebyshev[i * K]);
  }
  constexpr double kMargin = 2.0;
  const CKomorka& first = *docs.front();
  ModelState& s = model.state;
  s.u = first.experiment.u;
  s.v = first.experiment.v;
  s.w = first.experiment.w;
  s.bg.assign(static_cast<size_t>(K), 0.0);
  // Widths of zero give peaks narrower than the grid, whose shape does not
  // change with them: the refinement starts from a tenth of a degree.
  if ((o.refine & kFitWidths) && s.u == 0.0 && s.v == 0.0 && s.w == 0.0) s.w = 0.01;
  for (const CKomorka* d : docs) {
    fitting::PhaseCalc ph;
    ph.doc = fitting::PrivateCopy(*d, first);
    ph.doc->experiment.angleMin = std::max(kPatternStep, rangeMin - kMargin);
    ph.doc->experiment.angleMax = std::min(180.0 - kPatternStep, rangeMax + kMargin);
    ph.type = d->crystal.latticeType;
    ph.uniqueAxis = UniqueAxisOf(d->crystal);
    ph.ownSize = d->experiment.gsize;
    s.cell.push_back(ConstantsOf(d->cell));
    s.invSize.push_back(d->experiment.gsize > 0.0 ? 1.0 / d->experiment.gsize : 0.0);
    s.scale.push_back(1.0);
    model.phases.push_back(std::move(ph));
  }
}

// The scales and the background coefficients as the linear least-squares
// solution for the phases' unscaled patterns I.
void SolveLinearStart(FitModel& model, const std::vector<std::vector<double>>& I) {
  const size_t n = model.t.size(), P = model.phases.size();
  const int K = model.K;
  ModelState& s = model.state;
  Eigen::MatrixXd A(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(P) + K);
  Eigen::VectorXd b(static_cast<Eigen::Index>(n));
  for (size_t i = 0; i < n; ++i) {
    const auto row = static_cast<Eigen::Index>(i);
    for (size_t p = 0; p < P; ++p) A(row, static_cast<Eigen::Index>(p)) = model.sw[i] * I[p][i];
    for (int k = 0; k < K; ++k) A(row, static_cast<Eigen::Index>(P) + k) = model.sw[i] * model.chebyshev[i * K + k];
    b[row] = model.sw[i] * model.yo[i];
  }
  const Eigen::VectorXd x0 = A.colPivHouseholderQr().solve(b);
  for (size_t p = 0; p < P; ++p) {
    const double v = x0[static_cast<Eigen::Index>(p)];
    // A phase whose pattern is flat here, or that the solution would
    // make negative, starts small instead.
    s.scale[p] = std::isfinite(v) && v > 0.0 ? v : 1e-6;
  }
  for (int k = 0; k < K; ++k) {
    const double v = x0[static_cast<Eigen::Index>(P) + k];
    s.bg[static_cast<size_t>(k)] = std::isfinite(v) ? v : 0.0;
  }
}

// The start: the documents' own values with the linear solution for the
// scales and the background. False, with the result's error set, when a
// phase cannot be calculated as it is.
bool StartValues(FitModel& model, FitResult& r) {
  std::vector<std::vector<double>> I;
  std::vector<double> yc;
  if (!model.Evaluate(model.state, yc, &I)) {
    SetFailure(r, model);
    return false;
  }
  // A phase that starts with peaks left out (widths that U V W make
  // negative where its grain size adds nothing) would be fitted without
  // them, silently.
  for (size_t p = 0; p < model.phases.size(); ++p)
    if (model.phases[p].refused > 0) {
      r.error = (model.phases.size() > 1 ? "Faza " + std::to_string(p + 1) + ": " : std::string()) +
                RefusedPeaksMessage(model.phases[p].refused) + ". Popraw U, V, W przed dopasowaniem.";
      return false;
    }
  SolveLinearStart(model, I);
  return true;
}

// Levenberg-Marquardt from x, reporting each step; the model's state
// becomes the solution. False, with the result's error set, when cancelled
// or a calculation is refused.
bool Minimise(FitModel& model, const FitOptions& o, Eigen::VectorXd& x, FitResult& r) {
  const size_t n = model.t.size();
  const int npar = static_cast<int>(x.size());
  LmFunctor functor{&model, static_cast<int>(n), npar};
  Eigen::LevenbergMarquardt<LmFunctor> lm(functor);
  lm.parameters.maxfev = 20 * (npar + 1) * std::max(1, o.maxIterations / 10);
  // Stop when a step changes the sum of squares or the values by less
  // than a few parts in a million: far below their uncertainties, and
  // the size and width values would otherwise creep on for many steps.
  lm.parameters.ftol = 1e-6;
  lm.parameters.xtol = 1e-6;
  auto status = lm.minimizeInit(x);
  if (status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters) {
    int step = 0;
    do {
      status = lm.minimizeOneStep(x);
      ++step;
      if (o.progress && status != Eigen::LevenbergMarquardtSpace::UserAsked) {
        const double sum = lm.fvec.squaredNorm();
        double wyy = 0.0;
        for (size_t i = 0; i < n; ++i) wyy += model.w[i] * model.yo[i] * model.yo[i];
        o.progress(step, wyy > 0 ? 100.0 * std::sqrt(sum / wyy) : NAN);
      }
    } while (status == Eigen::LevenbergMarquardtSpace::Running && step < o.maxIterations);
    r.iterations = step;
  }
  if (model.cancelled || (o.cancel && o.cancel->load())) {
    r.cancelled = true;
    r.error = "Dopasowanie przerwane.";
    return false;
  }
  if (!model.error.empty()) {
    r.error = model.error;
    return false;
  }
  model.state = model.StateAt(x);
  return true;
}

// Each phase's values at the solution: the tied cell, the scale, the grain
// size, the volume and mass, and its curve s_p * I_p at the points.
void StorePhases(const FitModel& model, const std::vector<const CKomorka*>& docs,
                 const std::vector<std::vector<double>>& I, FitResult& r) {
  const ModelState& s = model.state;
  const size_t n = model.t.size();
  r.phases.resize(docs.size());
  for (size_t p = 0; p < docs.size(); ++p) {
    FitPhase& fp = r.phases[p];
    std::array<double, 6> c = s.cell[p];
    TieCell(model.phases[p].type, model.phases[p].uniqueAxis, c);
    fp.cell = c;
    fp.scale = s.scale[p];
    fp.grainSize = s.invSize[p] != 0.0 ? 1.0 / std::fabs(s.invSize[p]) : docs[p]->experiment.gsize;
    UnitCell uc;
    SetConstants(uc, c);
    fp.volume = uc.CellVolume();
    fp.cellMass = CellContentsMass(docs[p]->crystal);
    fp.curve.resize(n);
    for (size_t i = 0; i < n; ++i) fp.curve[i] = s.scale[p] * I[p][i];
  }
}

// The agreement, the values and the curves at the solution, where the
// model gives yc and the phases' unscaled patterns I.
void StoreSolution(const FitModel& model, const std::vector<const CKomorka*>& docs, const std::vector<double>& yc,
                   const std::vector<std::vector<double>>& I, FitResult& r) {
  const ModelState& s = model.state;
  const size_t n = model.t.size();
  const int K = model.K;
  const Agreement a = AgreementOf(model.yo, yc, model.w, static_cast<int>(model.params.size()));
  r.rp = a.rp;
  r.rwp = a.rwp;
  r.rexp = a.rexp;
  r.chi2 = a.chi2;
  r.zero = s.zero;
  r.background = s.bg;
  r.backgroundEsd.assign(s.bg.size(), 0.0);
  r.u = s.u;
  r.v = s.v;
  r.w = s.w;
  r.twoTheta = model.t;
  r.observed = model.yo;
  r.calculated = yc;
  r.weight = model.w;
  r.backgroundCurve.assign(n, 0.0);
  for (size_t i = 0; i < n; ++i)
    for (int k = 0; k < K; ++k) r.backgroundCurve[i] += s.bg[static_cast<size_t>(k)] * model.chebyshev[i * K + k];
  StorePhases(model, docs, I, r);
}

// Each phase once more at the solution, for the chart: the cached grids
// and the private copies' lists may belong to the last derivative step.
bool StorePhasePatterns(FitModel& model, FitResult& r) {
  for (size_t p = 0; p < model.phases.size(); ++p) {
    auto grid = std::make_shared<PatternGrid>();
    if (!model.Pattern(p, model.state, grid.get())) {
      SetFailure(r, model);
      return false;
    }
    for (const Reflection& x : model.phases[p].doc->results.reflectionsAll)
      if (x.nonZero && x.line == 1) r.phases[p].reflectionAngles.push_back(TwoThetaDegrees(x));
    r.phases[p].pattern = std::move(grid);
  }
  return true;
}

void StoreWeightFractions(FitResult& r) {
  std::vector<double> scales, masses, volumes;
  for (const FitPhase& fp : r.phases) {
    scales.push_back(fp.scale);
    masses.push_back(fp.cellMass);
    volumes.push_back(fp.volume);
  }
  const std::vector<double> wf = WeightFractions(scales, masses, volumes);
  for (size_t p = 0; p < r.phases.size(); ++p) r.phases[p].weightFraction = wf[p];
}

}  // namespace

FitResult FitPattern(const std::vector<const CKomorka*>& docs, const MeasuredPattern& measured,
                     const FitOptions& o) {
  FitResult r;
  r.error = RequestRefusal(docs, o);
  if (!r.error.empty()) return r;
  const CKomorka& first = *docs.front();
  const double lo = std::isnan(o.rangeMin) ? first.experiment.angleMin : o.rangeMin;
  const double hi = std::isnan(o.rangeMax) ? first.experiment.angleMax : o.rangeMax;
  FitModel model(o);
  TakePoints(model, measured, lo, hi);
  const size_t n = model.t.size();
  if (n < 2) {
    r.error = "W zakresie " + cformat("%.2f", lo) + "°–" + cformat("%.2f", hi) + "° 2θ leży " + std::to_string(n) +
              " punktów pomiaru; to za mało do dopasowania.";
    return r;
  }
  r.rangeMin = model.t.front();
  r.rangeMax = model.t.back();
  SetUpModel(model, docs, o, r.rangeMin, r.rangeMax);
  if (!StartValues(model, r)) return r;

  std::vector<std::array<bool, 6>> freeCell;
  for (const fitting::PhaseCalc& ph : model.phases) freeCell.push_back(FreeCellConstants(ph.type, ph.uniqueAxis));
  model.params = fitting::RefinedParameters(o.refine, model.K, freeCell);
  const int npar = static_cast<int>(model.params.size());
  r.parameters = npar;
  r.points = static_cast<int>(n);
  if (static_cast<size_t>(npar) >= n) {
    r.error = "Więcej dopasowywanych wartości (" + std::to_string(npar) + ") niż punktów pomiaru (" +
              std::to_string(n) + ").";
    return r;
  }
  Eigen::VectorXd x(npar);
  for (int j = 0; j < npar; ++j) x[j] = fitting::ValueOf(model.state, model.params[static_cast<size_t>(j)]);
  if (npar > 0 && !Minimise(model, o, x, r)) return r;

  // The result at the solution, with the uncertainties from the curvature there.
  std::vector<std::vector<double>> I;
  std::vector<double> yc;
  if (!model.Evaluate(model.state, yc, &I)) {
    SetFailure(r, model);
    return r;
  }
  const std::vector<double> esd = fitting::StandardUncertainties(model, x, yc);
  StoreSolution(model, docs, yc, I, r);
  fitting::StoreUncertainties(model.params, esd, model.state, r);
  if (!StorePhasePatterns(model, r)) return r;
  StoreWeightFractions(r);
  return r;
}

void ApplyFitToDocument(const FitResult& fit, size_t phase, unsigned refined, CKomorka& doc) {
  if (phase >= fit.phases.size()) return;
  const FitPhase& p = fit.phases[phase];
  if (refined & kFitCell) SetConstants(doc.cell, p.cell);
  if (refined & kFitSize) doc.experiment.gsize = p.grainSize;
  if (refined & kFitWidths) {
    doc.experiment.u = fit.u;
    doc.experiment.v = fit.v;
    doc.experiment.w = fit.w;
  }
}

}  // namespace pelmora
