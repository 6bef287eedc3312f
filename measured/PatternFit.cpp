#include "measured/PatternFit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>
#include <xraylib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "diffractogram/PatternRun.h"
#include "io/NumberFormat.h"

namespace pelmora {

bool ParseFitWhat(const std::string& list, unsigned& what, std::string* bad) {
  what = 0;
  std::istringstream in(list);
  for (std::string word; std::getline(in, word, ',');) {
    word.erase(0, word.find_first_not_of(" \t"));
    word.erase(word.find_last_not_of(" \t") + 1);
    if (word == "scale") what |= kFitScale;
    else if (word == "zero") what |= kFitZero;
    else if (word == "background") what |= kFitBackground;
    else if (word == "uvw") what |= kFitWidths;
    else if (word == "cell") what |= kFitCell;
    else if (word == "size") what |= kFitSize;
    else if (!word.empty()) {
      if (bad) *bad = word;
      return false;
    }
  }
  return true;
}

double FitWeight(double y, double sigma) {
  if (sigma > 0.0) return 1.0 / (sigma * sigma);
  return y > 0.0 ? 1.0 / y : 1.0;
}

void Chebyshev(double x, int n, double* out) {
  if (n <= 0) return;
  out[0] = 1.0;
  if (n > 1) out[1] = x;
  for (int k = 2; k < n; ++k) out[k] = 2.0 * x * out[k - 1] - out[k - 2];
}

Agreement AgreementOf(const std::vector<double>& observed, const std::vector<double>& calculated,
                      const std::vector<double>& weight, int parameters) {
  double sumAbs = 0.0, sumObs = 0.0, sumW2 = 0.0, sumWObs2 = 0.0;
  for (size_t i = 0; i < observed.size(); ++i) {
    const double d = observed[i] - calculated[i];
    sumAbs += std::fabs(d);
    sumObs += observed[i];
    sumW2 += weight[i] * d * d;
    sumWObs2 += weight[i] * observed[i] * observed[i];
  }
  Agreement a;
  const double freedom = static_cast<double>(observed.size()) - parameters;
  a.rp = sumObs > 0.0 ? 100.0 * sumAbs / sumObs : NAN;
  a.rwp = sumWObs2 > 0.0 ? 100.0 * std::sqrt(sumW2 / sumWObs2) : NAN;
  a.rexp = sumWObs2 > 0.0 && freedom > 0.0 ? 100.0 * std::sqrt(freedom / sumWObs2) : NAN;
  a.chi2 = (a.rwp / a.rexp) * (a.rwp / a.rexp);
  return a;
}

double CellContentsMass(const Crystal& crystal) {
  double mass = 0.0;
  for (const AtomSite& at : crystal.cellAtoms) {
    if (at.nr < 1 || at.nr > 118) return 0.0;
    xrl_error* err = nullptr;
    const double m = AtomicWeight(at.nr, &err);
    if (err) {
      xrl_error_free(err);
      return 0.0;
    }
    mass += m;
  }
  return mass;
}

std::vector<double> WeightFractions(const std::vector<double>& scale, const std::vector<double>& cellMass,
                                    const std::vector<double>& volume) {
  std::vector<double> w(scale.size(), NAN);
  double sum = 0.0;
  for (size_t p = 0; p < scale.size(); ++p) {
    if (!(cellMass[p] > 0.0) || !(volume[p] > 0.0)) return w;
    w[p] = scale[p] * cellMass[p] / volume[p];
    sum += w[p];
  }
  if (!(sum > 0.0)) return std::vector<double>(scale.size(), NAN);
  for (double& x : w) x /= sum;
  return w;
}

namespace {

// The constants a crystal system leaves free, in UnitCell order a b c alpha beta gamma.
std::vector<int> FreeCellConstants(LatticeType type) {
  switch (type & kSystemMask) {
    case kCubic: return {0};
    case kTetragonal: return {0, 2};
    case kOrthorhombic: return {0, 1, 2};
    case kRhombohedral: return {0, 3};
    case kHexagonal: return {0, 2};
    case kMonoclinic: return {0, 1, 2, 4};
    default: return {0, 1, 2, 3, 4, 5};
  }
}

void TieCell(LatticeType type, std::array<double, 6>& c) {
  switch (type & kSystemMask) {
    case kCubic: c[1] = c[2] = c[0]; break;
    case kTetragonal:
    case kHexagonal: c[1] = c[0]; break;
    case kRhombohedral:
      c[1] = c[2] = c[0];
      c[4] = c[5] = c[3];
      break;
    default: break;
  }
}

std::array<double, 6> CellOf(const UnitCell& u) { return {u.a, u.b, u.c, u.alfa, u.beta, u.gamma}; }

void SetCell(UnitCell& u, const std::array<double, 6>& c) {
  u.a = c[0];
  u.b = c[1];
  u.c = c[2];
  u.alfa = c[3];
  u.beta = c[4];
  u.gamma = c[5];
  u.RefreshCellMetric();
}

// Every value of the model, refined or not.
struct ModelState {
  std::vector<double> scale;
  double zero = 0.0;
  std::vector<double> bg;
  double u = 0.0, v = 0.0, w = 0.0;
  std::vector<std::array<double, 6>> cell;
  std::vector<double> invSize;  // 1 / D: the broadening is smooth through "no size effect"
};

enum class ParamKind { Scale, Zero, Background, U, V, W, Cell, InvSize };
struct Param {
  ParamKind kind;
  int phase = -1;  // -1: all phases
  int index = 0;   // background term or cell constant
};

double& ValueOf(ModelState& s, const Param& p) {
  switch (p.kind) {
    case ParamKind::Scale: return s.scale[static_cast<size_t>(p.phase)];
    case ParamKind::Zero: return s.zero;
    case ParamKind::Background: return s.bg[static_cast<size_t>(p.index)];
    case ParamKind::U: return s.u;
    case ParamKind::V: return s.v;
    case ParamKind::W: return s.w;
    case ParamKind::Cell: return s.cell[static_cast<size_t>(p.phase)][static_cast<size_t>(p.index)];
    case ParamKind::InvSize: break;
  }
  return s.invSize[static_cast<size_t>(p.phase)];
}

// Relays the fit's cancel to the run of one calculation (whose own flag
// each run clears at its start).
class CancelWatch final : public CalcProgress {
 public:
  explicit CancelWatch(std::atomic<bool>* cancel) : cancel_(cancel) {}
  void SetRange(int, int) override { Poll(); }
  void SetPosition(int) override { Poll(); }
  void SetStatus(const std::string&) override { Poll(); }
  std::atomic<bool> run{false};

 private:
  void Poll() {
    if (cancel_ && cancel_->load()) run = true;
  }
  std::atomic<bool>* cancel_;
};

// One phase: a private copy of its document, and its last two patterns
// (the accepted point and the trial one) so that a rejected step costs no
// recalculation.
struct PhaseCalc {
  std::unique_ptr<CKomorka> doc;
  LatticeType type = kCubic;
  double ownSize = 0.0;
  struct Slot {
    std::unique_ptr<PatternGrid> grid = std::make_unique<PatternGrid>();
    std::vector<double> key;
    unsigned long used = 0;
  };
  std::array<Slot, 2> slots;
  std::unique_ptr<PatternGrid> scratch = std::make_unique<PatternGrid>();
  int refused = 0;  // peaks the last calculation left out for want of a width
};

class FitModel {
 public:
  FitModel(const FitOptions& o) : opt_(o) {}

  std::string error;
  bool cancelled = false;
  int calculations = 0;

  std::vector<PhaseCalc> phases;
  std::vector<double> t, yo, sw, w;     // fitted points, sqrt of weight, weight
  std::vector<double> chebyshev;        // point-major, K values per point
  int K = 0;
  ModelState state;
  std::vector<Param> params;

  // The pattern of phase p for the state's values: cached, or calculated
  // into a slot (or into `into` when given, uncached). Null on failure.
  const PatternGrid* Pattern(size_t p, const ModelState& s, PatternGrid* into = nullptr) {
    PhaseCalc& ph = phases[p];
    std::vector<double> key{s.u, s.v, s.w, s.invSize[p]};
    key.insert(key.end(), s.cell[p].begin(), s.cell[p].end());
    if (!into)
      for (PhaseCalc::Slot& slot : ph.slots)
        if (slot.key == key) {
          slot.used = ++clock_;
          return slot.grid.get();
        }
    PatternGrid* grid = into;
    PhaseCalc::Slot* target = nullptr;
    if (!grid) {
      target = ph.slots[0].used <= ph.slots[1].used ? &ph.slots[0] : &ph.slots[1];
      target->key.clear();
      grid = target->grid.get();
    }
    CKomorka& d = *ph.doc;
    d.experiment.u = s.u;
    d.experiment.v = s.v;
    d.experiment.w = s.w;
    d.experiment.gsize = s.invSize[p] != 0.0 ? 1.0 / std::fabs(s.invSize[p]) : ph.ownSize;
    std::array<double, 6> c = s.cell[p];
    TieCell(ph.type, c);
    SetCell(d.cell, c);
    // A run that finds nothing leaves the old lists: start from none.
    d.results.reflections1.clear();
    d.results.reflections2.clear();
    d.results.reflectionsAll.clear();
    CancelWatch watch(opt_.cancel);
    const PatternRunResult run = RunPatternCalculation(d, watch, opt_.setup, *grid, &watch.run);
    ++calculations;
    if (!run.refusal.empty()) {
      error = (phases.size() > 1 ? "Faza " + std::to_string(p + 1) + ": " : std::string()) + run.refusal;
      return nullptr;
    }
    if (run.outcome != CalcOutcome::Ok) {
      cancelled = true;
      return nullptr;
    }
    if (run.calcResult != 0) grid->Reset();  // no reflection in range: a flat pattern
    ph.refused = run.calcResult == 0 ? run.synthesis.refusedPeaks : 0;
    if (target) {
      target->key = key;
      target->used = ++clock_;
    }
    return grid;
  }

  static double At(const PatternGrid& g, double angle) {
    const double f = angle / kPatternStep;
    const double i0 = std::floor(f);
    if (i0 < 0.0 || i0 + 1 >= PatternGrid::size()) return 0.0;
    const int i = static_cast<int>(i0);
    const double r = f - i0;
    return g[i].intensity * (1.0 - r) + g[i + 1].intensity * r;
  }

  // y_calc at every point, and each phase's unscaled I_p(t - z) in `phase`.
  bool Evaluate(const ModelState& s, std::vector<double>& yc, std::vector<std::vector<double>>* phase = nullptr) {
    const size_t n = t.size();
    yc.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i)
      for (int k = 0; k < K; ++k) yc[i] += s.bg[static_cast<size_t>(k)] * chebyshev[i * K + k];
    if (phase) phase->assign(phases.size(), std::vector<double>(n));
    for (size_t p = 0; p < phases.size(); ++p) {
      const PatternGrid* g = Pattern(p, s);
      if (!g) return false;
      for (size_t i = 0; i < n; ++i) {
        const double I = At(*g, t[i] - s.zero);
        yc[i] += s.scale[p] * I;
        if (phase) (*phase)[p][i] = I;
      }
    }
    return true;
  }

  bool Stop() const { return cancelled || !error.empty() || (opt_.cancel && opt_.cancel->load()); }

  ModelState StateAt(const Eigen::VectorXd& x) const {
    ModelState s = state;
    for (size_t j = 0; j < params.size(); ++j) ValueOf(s, params[j]) = x[static_cast<Eigen::Index>(j)];
    return s;
  }

  // Forward-difference step of a value that changes the pattern.
  static double Step(const Param& p, double v) {
    if (p.kind == ParamKind::Cell) return p.index < 3 ? 1e-5 * std::fabs(v) + 1e-6 : 1e-4;
    if (p.kind == ParamKind::InvSize) return 1e-3 * std::fabs(v) + 2e-6;
    return 1e-3 * std::fabs(v) + 1e-6;  // U, V, W in square degrees
  }

  int Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& f) {
    if (Stop()) return -1;
    const ModelState s = StateAt(x);
    if (!Evaluate(s, yc_)) return -1;
    for (size_t i = 0; i < t.size(); ++i) f[static_cast<Eigen::Index>(i)] = sw[i] * (yo[i] - yc_[i]);
    return 0;
  }

  int Jacobian(const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
    if (Stop()) return -1;
    const ModelState s = StateAt(x);
    std::vector<std::vector<double>> I;
    if (!Evaluate(s, yc_, &I)) return -1;
    const size_t n = t.size();
    for (size_t j = 0; j < params.size(); ++j) {
      const Param& p = params[j];
      const auto col = static_cast<Eigen::Index>(j);
      switch (p.kind) {
        case ParamKind::Scale:
          for (size_t i = 0; i < n; ++i) J(static_cast<Eigen::Index>(i), col) = -sw[i] * I[static_cast<size_t>(p.phase)][i];
          break;
        case ParamKind::Background:
          for (size_t i = 0; i < n; ++i) J(static_cast<Eigen::Index>(i), col) = -sw[i] * chebyshev[i * K + p.index];
          break;
        case ParamKind::Zero: {
          // d y / d z = -sum s_p I_p'(t - z), the slope from the grid.
          constexpr double h = 0.5 * kPatternStep;
          for (size_t i = 0; i < n; ++i) {
            double slope = 0.0;
            for (size_t q = 0; q < phases.size(); ++q) {
              const PatternGrid* g = Pattern(q, s);
              if (!g) return -1;
              slope += s.scale[q] * (At(*g, t[i] - s.zero + h) - At(*g, t[i] - s.zero - h)) / (2 * h);
            }
            J(static_cast<Eigen::Index>(i), col) = sw[i] * slope;
          }
          break;
        }
        default: {
          ModelState moved = s;
          double& v = ValueOf(moved, p);
          const double h = Step(p, v);
          v += h;
          std::vector<double> diff(n, 0.0);
          for (size_t q = 0; q < phases.size(); ++q) {
            if (p.phase >= 0 && static_cast<size_t>(p.phase) != q) continue;
            const PatternGrid* g = Pattern(q, moved, phases[q].scratch.get());
            if (!g) return -1;
            for (size_t i = 0; i < n; ++i) diff[i] += s.scale[q] * (At(*g, t[i] - s.zero) - I[q][i]);
          }
          for (size_t i = 0; i < n; ++i) J(static_cast<Eigen::Index>(i), col) = -sw[i] * diff[i] / h;
        }
      }
    }
    return 0;
  }

 private:
  const FitOptions& opt_;
  unsigned long clock_ = 0;
  std::vector<double> yc_;
};

struct LmFunctor {
  FitModel* model;
  int m, n;
  int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& f) const { return model->Residuals(x, f); }
  int df(const Eigen::VectorXd& x, Eigen::MatrixXd& J) const { return model->Jacobian(x, J); }
  int values() const { return m; }
  int inputs() const { return n; }
};

// The phase's structure with the first document's experiment; its own
// grain size and temperature factor stay, being the sample's.
std::unique_ptr<CKomorka> PrivateCopy(const CKomorka& phase, const CKomorka& first) {
  auto d = std::make_unique<CKomorka>();
  d->experiment = first.experiment;
  d->experiment.gsize = phase.experiment.gsize;
  d->experiment.dwfactor = phase.experiment.dwfactor;
  d->experiment.IsDW = phase.experiment.IsDW;
  d->cell = phase.cell;
  d->crystal = phase.crystal;
  return d;
}

}  // namespace

FitResult FitPattern(const std::vector<const CKomorka*>& docs, const MeasuredPattern& measured,
                     const FitOptions& o) {
  FitResult r;
  if (docs.empty()) {
    r.error = "Brak struktury do dopasowania.";
    return r;
  }
  if (o.backgroundTerms < 0 || o.backgroundTerms > 30) {
    r.error = "Liczba wyrazów tła musi leżeć między 0 a 30.";
    return r;
  }
  if ((o.refine & (kFitWidths | kFitCell | kFitSize)) && o.setup.profile == kProfileStick) {
    r.error = "Profil „brak” nie ma szerokości: do dopasowania szerokości, komórki lub rozmiaru ziaren wybierz profil.";
    return r;
  }
  const CKomorka& first = *docs.front();
  const double lo = std::isnan(o.rangeMin) ? first.experiment.angleMin : o.rangeMin;
  const double hi = std::isnan(o.rangeMax) ? first.experiment.angleMax : o.rangeMax;
  FitModel model(o);
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
  const size_t n = model.t.size();
  if (n < 2) {
    r.error = "W zakresie " + cformat("%.2f", lo) + "°–" + cformat("%.2f", hi) + "° 2θ leży " + std::to_string(n) +
              " punktów pomiaru; to za mało do dopasowania.";
    return r;
  }
  r.rangeMin = model.t.front();
  r.rangeMax = model.t.back();
  const int K = (o.refine & kFitBackground) ? o.backgroundTerms : 0;
  model.K = K;
  model.chebyshev.resize(n * static_cast<size_t>(std::max(K, 1)));
  for (size_t i = 0; i < n; ++i) {
    const double span = r.rangeMax - r.rangeMin;
    Chebyshev(span > 0 ? 2.0 * (model.t[i] - r.rangeMin) / span - 1.0 : 0.0, K, &model.chebyshev[i * K]);
  }
  // Each phase's pattern over the fitted range and a margin for the zero shift.
  constexpr double kMargin = 2.0;
  ModelState& s = model.state;
  s.u = first.experiment.u;
  s.v = first.experiment.v;
  s.w = first.experiment.w;
  s.bg.assign(static_cast<size_t>(K), 0.0);
  // Widths of zero give peaks narrower than the grid, whose shape does not
  // change with them: the refinement starts from a tenth of a degree.
  if ((o.refine & kFitWidths) && s.u == 0.0 && s.v == 0.0 && s.w == 0.0) s.w = 0.01;
  for (const CKomorka* d : docs) {
    PhaseCalc ph;
    ph.doc = PrivateCopy(*d, first);
    ph.doc->experiment.angleMin = std::max(kPatternStep, r.rangeMin - kMargin);
    ph.doc->experiment.angleMax = std::min(180.0 - kPatternStep, r.rangeMax + kMargin);
    ph.type = d->crystal.latticeType;
    ph.ownSize = d->experiment.gsize;
    s.cell.push_back(CellOf(d->cell));
    s.invSize.push_back(d->experiment.gsize > 0.0 ? 1.0 / d->experiment.gsize : 0.0);
    s.scale.push_back(1.0);
    model.phases.push_back(std::move(ph));
  }
  const size_t P = docs.size();

  // The start: scales (and the background) as the linear least-squares
  // solution for the documents' own values.
  std::vector<std::vector<double>> I;
  std::vector<double> yc;
  if (!model.Evaluate(s, yc, &I)) {
    r.cancelled = model.cancelled;
    r.error = model.error.empty() ? "Dopasowanie przerwane." : model.error;
    return r;
  }
  // A phase that starts with peaks left out (widths that U V W make
  // negative where its grain size adds nothing) would be fitted without
  // them, silently.
  for (size_t p = 0; p < model.phases.size(); ++p)
    if (model.phases[p].refused > 0) {
      r.error = (model.phases.size() > 1 ? "Faza " + std::to_string(p + 1) + ": " : std::string()) +
                RefusedPeaksMessage(model.phases[p].refused) + ". Popraw U, V, W przed dopasowaniem.";
      return r;
    }
  {
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

  // The refined values.
  if (o.refine & kFitScale)
    for (size_t p = 0; p < P; ++p) model.params.push_back({ParamKind::Scale, static_cast<int>(p), 0});
  if (o.refine & kFitZero) model.params.push_back({ParamKind::Zero, -1, 0});
  for (int k = 0; k < K; ++k) model.params.push_back({ParamKind::Background, -1, k});
  if (o.refine & kFitWidths)
    for (ParamKind k : {ParamKind::U, ParamKind::V, ParamKind::W}) model.params.push_back({k, -1, 0});
  for (size_t p = 0; p < P; ++p) {
    if (o.refine & kFitCell)
      for (int c : FreeCellConstants(model.phases[p].type)) model.params.push_back({ParamKind::Cell, static_cast<int>(p), c});
    if (o.refine & kFitSize) model.params.push_back({ParamKind::InvSize, static_cast<int>(p), 0});
  }
  const int npar = static_cast<int>(model.params.size());
  r.parameters = npar;
  r.points = static_cast<int>(n);
  if (static_cast<size_t>(npar) >= n) {
    r.error = "Więcej dopasowywanych wartości (" + std::to_string(npar) + ") niż punktów pomiaru (" +
              std::to_string(n) + ").";
    return r;
  }

  Eigen::VectorXd x(npar);
  for (int j = 0; j < npar; ++j) x[j] = ValueOf(s, model.params[static_cast<size_t>(j)]);
  if (npar > 0) {
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
      return r;
    }
    if (!model.error.empty()) {
      r.error = model.error;
      return r;
    }
    s = model.StateAt(x);
  }

  // The result at the solution, with the standard uncertainties from the
  // curvature there, scaled by the reduced chi-square.
  if (!model.Evaluate(s, yc, &I)) {
    r.error = model.error.empty() ? "Dopasowanie przerwane." : model.error;
    r.cancelled = model.cancelled;
    return r;
  }
  std::vector<double> esd(static_cast<size_t>(npar), 0.0);
  if (npar > 0) {
    Eigen::MatrixXd J(static_cast<Eigen::Index>(n), npar);
    if (model.Jacobian(x, J) == 0) {
      double sum = 0.0;
      for (size_t i = 0; i < n; ++i) sum += model.w[i] * (model.yo[i] - yc[i]) * (model.yo[i] - yc[i]);
      const double reduced = sum / static_cast<double>(static_cast<int>(n) - npar);
      const Eigen::MatrixXd normal = J.transpose() * J;
      // A value the data do not decide (a flat column) makes the matrix
      // singular; the pseudo-inverse still gives the others theirs.
      const Eigen::MatrixXd cov = normal.completeOrthogonalDecomposition().pseudoInverse() * reduced;
      for (int j = 0; j < npar; ++j) esd[static_cast<size_t>(j)] = std::sqrt(std::max(0.0, cov(j, j)));
    }
  }

  const Agreement a = AgreementOf(model.yo, yc, model.w, npar);
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
  r.phases.resize(P);
  std::vector<double> scales, masses, volumes;
  for (size_t p = 0; p < P; ++p) {
    FitPhase& fp = r.phases[p];
    std::array<double, 6> c = s.cell[p];
    TieCell(model.phases[p].type, c);
    fp.cell = c;
    fp.scale = s.scale[p];
    fp.grainSize = s.invSize[p] != 0.0 ? 1.0 / std::fabs(s.invSize[p]) : docs[p]->experiment.gsize;
    UnitCell uc;
    SetCell(uc, c);
    fp.volume = uc.CellVolume();
    fp.cellMass = CellContentsMass(docs[p]->crystal);
    fp.curve.resize(n);
    for (size_t i = 0; i < n; ++i) fp.curve[i] = s.scale[p] * I[p][i];
    scales.push_back(fp.scale);
    masses.push_back(fp.cellMass);
    volumes.push_back(fp.volume);
  }
  for (size_t j = 0; j < model.params.size(); ++j) {
    const Param& p = model.params[j];
    const double e = esd[j];
    switch (p.kind) {
      case ParamKind::Scale: r.phases[static_cast<size_t>(p.phase)].scaleEsd = e; break;
      case ParamKind::Zero: r.zeroEsd = e; break;
      case ParamKind::Background: r.backgroundEsd[static_cast<size_t>(p.index)] = e; break;
      case ParamKind::U: r.widthEsd[0] = e; break;
      case ParamKind::V: r.widthEsd[1] = e; break;
      case ParamKind::W: r.widthEsd[2] = e; break;
      case ParamKind::Cell: r.phases[static_cast<size_t>(p.phase)].cellEsd[static_cast<size_t>(p.index)] = e; break;
      case ParamKind::InvSize: {
        // D = 1 / q: sigma_D = sigma_q / q^2.
        const double q = s.invSize[static_cast<size_t>(p.phase)];
        r.phases[static_cast<size_t>(p.phase)].grainSizeEsd = q != 0.0 ? e / (q * q) : 0.0;
        break;
      }
    }
  }
  // Each phase once more at the solution, for the chart: the cached grids
  // and the private copies' lists may belong to the last derivative step.
  for (size_t p = 0; p < P; ++p) {
    auto grid = std::make_shared<PatternGrid>();
    if (!model.Pattern(p, s, grid.get())) {
      r.error = model.error.empty() ? "Dopasowanie przerwane." : model.error;
      r.cancelled = model.cancelled;
      return r;
    }
    for (const Reflection& x : model.phases[p].doc->results.reflectionsAll)
      if (x.nonZero && x.line == 1) r.phases[p].reflectionAngles.push_back(TwoThetaDegrees(x));
    r.phases[p].pattern = std::move(grid);
  }
  const std::vector<double> wf = WeightFractions(scales, masses, volumes);
  for (size_t p = 0; p < P; ++p) r.phases[p].weightFraction = wf[p];
  return r;
}

void ApplyFitToDocument(const FitResult& fit, size_t phase, unsigned refined, CKomorka& doc) {
  if (phase >= fit.phases.size()) return;
  const FitPhase& p = fit.phases[phase];
  if (refined & kFitCell) SetCell(doc.cell, p.cell);
  if (refined & kFitSize) doc.experiment.gsize = p.grainSize;
  if (refined & kFitWidths) {
    doc.experiment.u = fit.u;
    doc.experiment.v = fit.v;
    doc.experiment.w = fit.w;
  }
}

}  // namespace pelmora
