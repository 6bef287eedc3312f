// Running a refinement: the stages, Le Bail's intensities, and what the
// solution says (agreement, esds, correlations, warnings, the refined
// structures).
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "io/NumberFormat.h"
#include "measured/Refinement.h"
#include "measured/RefinementModel.h"

namespace pelmora {

namespace {

using refinement::PatternData;
using refinement::PhaseData;
using refinement::Peak;

std::vector<std::set<RefinedKind>> Stages(bool staged) {
  using K = RefinedKind;
  std::set<K> s1 = {K::Scale, K::Background};
  std::set<K> s2 = s1;
  // The peaks' places with their width W; the displacement and
  // transparency, which move peaks much as the zero does, once the shape is
  // near.
  s2.insert({K::Zero, K::Cell, K::Wavelength, K::W});
  std::set<K> s3 = s2;
  s3.insert({K::U, K::V, K::X, K::Y, K::SL, K::InverseSize, K::Strain, K::Displacement, K::Transparency});
  std::set<K> s4 = s3;
  s4.insert({K::Shift, K::Occupancy, K::Biso, K::Orientation});
  if (!staged) return {s4};
  return {s1, s2, s3, s4};
}

// The bounds of the values refined now, in their order.
void BoundsOf(const refinement::Model& m, Eigen::VectorXd& lo, Eigen::VectorXd& hi) {
  lo.resize(static_cast<Eigen::Index>(m.refined.size()));
  hi.resize(lo.size());
  for (size_t j = 0; j < m.refined.size(); ++j) {
    lo[static_cast<Eigen::Index>(j)] = m.values[static_cast<size_t>(m.refined[j])].lower;
    hi[static_cast<Eigen::Index>(j)] = m.values[static_cast<size_t>(m.refined[j])].upper;
  }
}

// From the solution, the structure's values moved at random (positions by
// up to 0.01, B by up to 0.5, occupancies by up to 0.05) and refined again,
// `restarts` times: the best solution stays. A structure refined against a
// pattern that sees some atoms faintly often has shallow minima.
refinement::LeastSquaresResult Restarts(refinement::Model& m, refinement::LeastSquaresResult best, int restarts,
                                        const Eigen::VectorXd& lo, const Eigen::VectorXd& hi,
                                        const refinement::LeastSquaresOptions& opt, int& iterations) {
  std::mt19937 random(20261207);
  for (int k = 0; k < restarts; ++k) {
    Eigen::VectorXd start = best.x;
    bool any = false;
    for (size_t j = 0; j < m.refined.size(); ++j) {
      const RefinedKind kind = m.values[static_cast<size_t>(m.refined[j])].kind;
      const double reach = kind == RefinedKind::Shift ? 0.01 : kind == RefinedKind::Biso ? 0.5
                           : kind == RefinedKind::Occupancy ? 0.05 : 0.0;
      if (reach == 0.0) continue;
      start[static_cast<Eigen::Index>(j)] += std::uniform_real_distribution<double>(-reach, reach)(random);
      any = true;
    }
    if (!any) break;
    refinement::LeastSquaresResult trial = refinement::MinimiseBounded(m, start, lo, hi, opt);
    iterations += trial.iterations;
    if (trial.cancelled || trial.failed) break;
    if (trial.sum < best.sum * (1.0 - 1e-6)) best = std::move(trial);
  }
  m.Take(best.x);
  return best;
}

}  // namespace

void Refinement::StartLeBail() {
  Model& m = *model_;
  for (size_t f = 0; f < m.phases.size(); ++f) {
    PhaseData& ph = m.phases[f];
    if (!ph.input.leBail) continue;
    for (size_t p = 0; p < m.patterns.size(); ++p) {
      std::vector<double>& I = ph.leBail[p];
      if (std::any_of(I.begin(), I.end(), [](double v) { return v > 0.0; })) continue;
      // Equal intensities, scaled so that the strongest point is near the data's.
      I.assign(ph.groups.size(), 1.0);
      std::vector<double> part;
      m.PhaseCurve(p, f, part, nullptr);
      const double top = *std::max_element(part.begin(), part.end());
      const double want = *std::max_element(m.patterns[p].yo.begin(), m.patterns[p].yo.end());
      if (top > 0.0) for (double& v : I) v *= want / top;
    }
  }
}

// One Le Bail cycle: each line's intensity becomes what the data give it,
// the observed counts above the background shared out in proportion to the
// lines' parts of y_calc.
void Refinement::LeBailCycle() {
  Model& m = *model_;
  std::vector<double> yc;
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    const PatternData& pat = m.patterns[p];
    m.Evaluate(p, yc, nullptr, nullptr);
    const std::vector<double> bg = m.BackgroundCurve(p);
    for (size_t f = 0; f < m.phases.size(); ++f) {
      PhaseData& ph = m.phases[f];
      if (!ph.input.leBail) continue;
      std::vector<double> obs(ph.groups.size(), 0.0), calc(ph.groups.size(), 0.0);
      const double s = m.values[static_cast<size_t>(ph.scale[p])].value;
      size_t count = 0;
      const std::vector<Peak>& drawn = m.Drawn(p, f, count);
      for (size_t n = 0; n < count; ++n) {
        const Peak& pk = drawn[n];
        const double I = s * pk.factor * ph.leBail[p][static_cast<size_t>(pk.group)];
        for (size_t i = 0; i < pk.profile.size(); ++i) {
          const size_t at = static_cast<size_t>(pk.first) + i;
          const double c = I * pk.profile[i], net = yc[at] - bg[at];
          calc[static_cast<size_t>(pk.group)] += c;
          if (net > 0.0) obs[static_cast<size_t>(pk.group)] += std::max(pat.yo[at] - bg[at], 0.0) * c / net;
        }
      }
      for (size_t g = 0; g < obs.size(); ++g)
        if (calc[g] > 0.0) ph.leBail[p][g] *= obs[g] / calc[g];
    }
  }
}

RefinementOutcome Refinement::Run() {
  Model& m = *model_;
  RefinementOutcome out;
  m.cancel = setup_.cancel;
  StartLeBail();
  const std::vector<std::string> mended = m.MendWidths();
  const bool leBail = std::any_of(m.phases.begin(), m.phases.end(), [](const PhaseData& p) { return p.input.leBail; });
  double sumWy2 = 0.0;
  for (const PatternData& p : m.patterns)
    for (size_t i = 0; i < p.t.size(); ++i) sumWy2 += p.w[i] * p.yo[i] * p.yo[i];
  refinement::LeastSquaresOptions opt;
  opt.maxIterations = setup_.maxIterations;
  opt.cancel = setup_.cancel;
  if (setup_.progress)
    opt.progress = [&](int it, double sum, const Eigen::VectorXd& r) {
      const PatternData& first = m.patterns.front();
      std::vector<double> calculated(first.t.size());
      for (size_t i = 0; i < calculated.size(); ++i)
        calculated[i] = first.yo[i] - r[static_cast<Eigen::Index>(i)] / first.sw[i];
      setup_.progress(out.iterations + it, 100.0 * std::sqrt(sum / sumWy2), calculated);
    };
  refinement::LeastSquaresResult last;
  bool ran = false;
  const std::vector<std::set<RefinedKind>> stages = Stages(setup_.staged);
  for (const std::set<RefinedKind>& stage : stages) {
    // The early stages only bring the values near: a few steps each.
    const bool final = &stage == &stages.back();
    m.refined.clear();
    for (size_t i = 0; i < m.values.size(); ++i)
      if (m.values[i].refine && stage.count(m.values[i].kind)) m.refined.push_back(static_cast<int>(i));
    if (m.refined.empty() && !leBail) continue;
    Eigen::VectorXd lo, hi;
    BoundsOf(m, lo, hi);
    double before = std::numeric_limits<double>::infinity();
    // Le Bail: the line intensities from the data, then a few steps of the
    // rest, in turns until the sum settles.
    for (int round = 0; round < (leBail ? (final ? 40 : 3) : 1); ++round) {
      for (int cycle = 0; leBail && cycle < 4; ++cycle) LeBailCycle();
      refinement::LeastSquaresOptions o = opt;
      if (leBail) o.maxIterations = std::min(opt.maxIterations, 5);
      if (!final) o.maxIterations = std::min(o.maxIterations, 15), o.covariance = false;
      last = refinement::MinimiseBounded(m, m.Refined(), lo, hi, o);
      ran = true;
      out.iterations += last.iterations;
      if (last.cancelled || (setup_.cancel && setup_.cancel->load())) {
        out.cancelled = true;
        out.error = "refinement cancelled";
        return out;
      }
      if (last.failed) {
        out.error = "the model cannot be calculated at the starting values";
        return out;
      }
      m.Take(last.x);
      if (std::fabs(before - last.sum) <= 1e-5 * last.sum) break;
      before = last.sum;
    }
  }
  if (ran && !leBail && setup_.restarts > 0 && !out.cancelled) {
    Eigen::VectorXd lo, hi;
    BoundsOf(m, lo, hi);
    last = Restarts(m, std::move(last), setup_.restarts, lo, hi, opt, out.iterations);
  }
  out.converged = !ran || last.converged;
  out.singular = ran && last.singular;
  refinement::Describe(m, last, out);
  out.warnings.insert(out.warnings.begin(), mended.begin(), mended.end());
  return out;
}

}  // namespace pelmora
