// The derivatives of the fit's weighted residuals: analytic for the scales
// and the background, from the grid's slope for the zero shift, forward
// differences of recalculated patterns for the rest; and the standard
// uncertainties they give at the solution.
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

#include "measured/FitModel.h"

namespace pelmora::fitting {
namespace {

// Forward-difference step of a value that changes the pattern.
double Step(const Param& p, double v) {
  if (p.kind == ParamKind::Cell) return p.index < 3 ? 1e-5 * std::fabs(v) + 1e-6 : 1e-4;
  if (p.kind == ParamKind::InvSize) return 1e-3 * std::fabs(v) + 2e-6;
  return 1e-3 * std::fabs(v) + 1e-6;  // U, V, W in square degrees
}

}  // namespace

int FitModel::Jacobian(const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
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

std::vector<double> StandardUncertainties(FitModel& model, const Eigen::VectorXd& x, const std::vector<double>& yc) {
  const int npar = static_cast<int>(model.params.size());
  const size_t n = model.t.size();
  std::vector<double> esd(static_cast<size_t>(npar), 0.0);
  if (npar == 0) return esd;
  Eigen::MatrixXd J(static_cast<Eigen::Index>(n), npar);
  if (model.Jacobian(x, J) != 0) return esd;
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += model.w[i] * (model.yo[i] - yc[i]) * (model.yo[i] - yc[i]);
  const double reduced = sum / static_cast<double>(static_cast<int>(n) - npar);
  const Eigen::MatrixXd normal = J.transpose() * J;
  // A value the data do not decide (a flat column) makes the matrix
  // singular; the pseudo-inverse still gives the others theirs.
  const Eigen::MatrixXd cov = normal.completeOrthogonalDecomposition().pseudoInverse() * reduced;
  for (int j = 0; j < npar; ++j) esd[static_cast<size_t>(j)] = std::sqrt(std::max(0.0, cov(j, j)));
  return esd;
}

}  // namespace pelmora::fitting
