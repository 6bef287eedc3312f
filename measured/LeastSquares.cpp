#include "measured/LeastSquares.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace pelmora::refinement {
namespace {

Eigen::VectorXd Clamp(const Eigen::VectorXd& x, const Eigen::VectorXd& lo, const Eigen::VectorXd& hi) {
  return x.cwiseMax(lo).cwiseMin(hi);
}

// (J^T J)^-1 through the matrix scaled to unit diagonal, which keeps values
// of very different sizes (a scale of 1e-6, a cell of 8 angstrom) apart from
// the conditioning. False when it has no inverse.
bool InvertNormal(const Eigen::MatrixXd& A, Eigen::MatrixXd& inverse) {
  const Eigen::Index n = A.rows();
  inverse = Eigen::MatrixXd::Constant(n, n, std::nan(""));
  if (n == 0) return true;
  Eigen::VectorXd d(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    if (!(A(i, i) > 0.0) || !std::isfinite(A(i, i))) return false;
    d[i] = 1.0 / std::sqrt(A(i, i));
  }
  const Eigen::MatrixXd S = d.asDiagonal() * A * d.asDiagonal();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(S);
  if (eig.info() != Eigen::Success) return false;
  const Eigen::VectorXd& ev = eig.eigenvalues();
  if (!(ev.minCoeff() > 1e-12 * ev.maxCoeff())) return false;
  inverse = d.asDiagonal() * (eig.eigenvectors() * ev.cwiseInverse().asDiagonal() * eig.eigenvectors().transpose()) *
            d.asDiagonal();
  return true;
}

}  // namespace

LeastSquaresResult MinimiseBounded(LeastSquaresProblem& problem, const Eigen::VectorXd& start,
                                   const Eigen::VectorXd& lower, const Eigen::VectorXd& upper,
                                   const LeastSquaresOptions& options) {
  LeastSquaresResult out;
  const Eigen::Index n = start.size();
  Eigen::VectorXd x = Clamp(start, lower, upper), r, rn;
  if (!problem.Residuals(x, r)) {
    out.failed = true;
    out.x = x;
    return out;
  }
  const double dof = std::max<double>(1.0, static_cast<double>(r.size() - n));
  double S = r.squaredNorm(), lambda = 1e-3;
  bool atX = true;  // the model's last evaluation was at x
  Eigen::MatrixXd J;
  for (int it = 1; it <= options.maxIterations; ++it) {
    if (options.cancel && options.cancel->load()) {
      out.cancelled = true;
      break;
    }
    out.iterations = it;
    if (!atX && !problem.Residuals(x, r)) break;
    atX = true;
    if (!problem.Jacobian(x, J)) break;
    const Eigen::MatrixXd A = J.transpose() * J;
    const Eigen::VectorXd g = J.transpose() * r;
    // Values held on a bound by the gradient, and those the data do not
    // see, leave this step.
    std::vector<Eigen::Index> freeIdx;
    for (Eigen::Index j = 0; j < n; ++j) {
      const bool held = (x[j] <= lower[j] && g[j] < 0.0) || (x[j] >= upper[j] && g[j] > 0.0);
      if (!held && A(j, j) > 0.0) freeIdx.push_back(j);
    }
    if (freeIdx.empty()) {
      out.converged = true;
      break;
    }
    const auto m = static_cast<Eigen::Index>(freeIdx.size());
    Eigen::MatrixXd Af(m, m);
    Eigen::VectorXd gf(m);
    for (Eigen::Index a = 0; a < m; ++a) {
      gf[a] = g[freeIdx[a]];
      for (Eigen::Index b = 0; b < m; ++b) Af(a, b) = A(freeIdx[a], freeIdx[b]);
    }
    Eigen::MatrixXd inv;
    const bool invertible = InvertNormal(Af, inv);
    bool accepted = false;
    double decrease = 0.0;
    Eigen::VectorXd step;
    for (int attempt = 0; attempt < 12 && !accepted; ++attempt) {
      Eigen::MatrixXd M = Af;
      for (Eigen::Index a = 0; a < m; ++a) M(a, a) += lambda * Af(a, a);
      const Eigen::VectorXd df = M.ldlt().solve(gf);
      step = Eigen::VectorXd::Zero(n);
      for (Eigen::Index a = 0; a < m; ++a) step[freeIdx[a]] = df[a];
      const Eigen::VectorXd xn = Clamp(x + step, lower, upper);
      if (df.allFinite() && problem.Feasible(xn) && problem.Residuals(xn, rn)) {
        atX = false;
        const double Sn = rn.squaredNorm();
        if (std::isfinite(Sn) && Sn <= S) {
          decrease = (S - Sn) / std::max(S, 1e-300);
          step = xn - x;
          x = xn;
          r = rn;
          S = Sn;
          atX = true;
          accepted = true;
          lambda = std::max(lambda * 0.1, 1e-9);
          break;
        }
      }
      lambda *= 10.0;
    }
    if (options.progress) options.progress(it, S);
    if (!accepted) {
      // No step lowers the sum: this is the minimum as far as the
      // arithmetic can tell.
      out.converged = true;
      break;
    }
    bool small = invertible;
    for (Eigen::Index a = 0; a < m && small; ++a) {
      const double esd = std::sqrt(std::max(inv(a, a), 0.0) * S / dof);
      small = std::fabs(step[freeIdx[a]]) <= options.shiftOverEsd * esd;
    }
    if (small || decrease < options.relativeDecrease) {
      out.converged = true;
      break;
    }
  }
  if (!atX) problem.Residuals(x, r);
  out.x = x;
  out.sum = r.squaredNorm();
  if (problem.Jacobian(x, J)) {
    out.singular = !InvertNormal(J.transpose() * J, out.inverseNormal);
  } else {
    out.singular = true;
    out.inverseNormal = Eigen::MatrixXd::Constant(n, n, std::nan(""));
  }
  if (out.singular || out.cancelled) out.converged = false;
  return out;
}

}  // namespace pelmora::refinement
