#include "measured/FitModel.h"

#include <cmath>

#include "diffractogram/PatternRun.h"
#include "engine/CellTies.h"

namespace pelmora {

void Chebyshev(double x, int n, double* out) {
  if (n <= 0) return;
  out[0] = 1.0;
  if (n > 1) out[1] = x;
  for (int k = 2; k < n; ++k) out[k] = 2.0 * x * out[k - 1] - out[k - 2];
}

namespace fitting {
namespace {

// Relays the fit's cancel to the run of one calculation.
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

}  // namespace

const PatternGrid* FitModel::Pattern(size_t p, const ModelState& s, PatternGrid* into) {
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
  TieCell(ph.type, ph.uniqueAxis, c);
  SetConstants(d.cell, c);
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

bool FitModel::Evaluate(const ModelState& s, std::vector<double>& yc, std::vector<std::vector<double>>* phase) {
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

ModelState FitModel::StateAt(const Eigen::VectorXd& x) const {
  ModelState s = state;
  for (size_t j = 0; j < params.size(); ++j) ValueOf(s, params[j]) = x[static_cast<Eigen::Index>(j)];
  return s;
}

int FitModel::Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& f) {
  if (Stop()) return -1;
  const ModelState s = StateAt(x);
  if (!Evaluate(s, yc_)) return -1;
  for (size_t i = 0; i < t.size(); ++i) f[static_cast<Eigen::Index>(i)] = sw[i] * (yo[i] - yc_[i]);
  return 0;
}

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

}  // namespace fitting
}  // namespace pelmora
