#include "measured/LeastSquares.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace pelmora::refinement {
namespace {

Eigen::VectorXd Clamp(const Eigen::VectorXd& x, const Eigen::VectorXd& lo, const Eigen::VectorXd& hi) {
  return x.cwiseMax(lo).cwiseMin(hi);
}

// J^T J by a symmetric rank update on this core. Eigen shares a general
// product out over the cores, whose threads wait for each other's blocks
// in a spin: on a busy machine that wait costs far more than the product.
Eigen::MatrixXd NormalMatrix(const Eigen::MatrixXd& J) {
  Eigen::MatrixXd A = Eigen::MatrixXd::Zero(J.cols(), J.cols());
  A.selfadjointView<Eigen::Lower>().rankUpdate(J.transpose());
  return A.selfadjointView<Eigen::Lower>();
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

namespace {

// One run of the minimiser: the state it carries from step to step.
class Minimiser {
 public:
  Minimiser(LeastSquaresProblem& problem, const Eigen::VectorXd& lower, const Eigen::VectorXd& upper,
            const LeastSquaresOptions& options)
      : problem_(problem), lower_(lower), upper_(upper), options_(options) {}

  LeastSquaresResult Run(const Eigen::VectorXd& start) {
    LeastSquaresResult out;
    x_ = Clamp(start, lower_, upper_);
    if (!problem_.Residuals(x_, r_)) {
      out.failed = true;
      out.x = x_;
      return out;
    }
    dof_ = std::max<double>(1.0, static_cast<double>(r_.size() - x_.size()));
    S_ = r_.squaredNorm();
    for (int it = 1; it <= options_.maxIterations; ++it) {
      if (options_.cancel && options_.cancel->load()) {
        out.cancelled = true;
        break;
      }
      out.iterations = it;
      const int status = Step();
      if (options_.progress) options_.progress(it, S_, r_);
      if (status < 0) break;
      if (status > 0) {
        out.converged = true;
        break;
      }
    }
    Finish(out);
    return out;
  }

 private:
  // One Levenberg-Marquardt step: 1 converged (or no step lowers the sum:
  // the minimum as far as the arithmetic can tell), 0 go on, -1 the model
  // failed.
  int Step() {
    if (!atX_ && !problem_.Residuals(x_, r_)) return -1;
    atX_ = true;
    if (!problem_.Jacobian(x_, J_)) return -1;
    const Eigen::MatrixXd A = NormalMatrix(J_);
    const Eigen::VectorXd g = J_.transpose() * r_;
    // Values held on a bound by the gradient, and those the data do not
    // see, leave this step.
    std::vector<Eigen::Index> freeIdx;
    for (Eigen::Index j = 0; j < x_.size(); ++j) {
      const bool held = (x_[j] <= lower_[j] && g[j] < 0.0) || (x_[j] >= upper_[j] && g[j] > 0.0);
      if (!held && A(j, j) > 0.0) freeIdx.push_back(j);
    }
    if (freeIdx.empty()) return 1;
    const auto m = static_cast<Eigen::Index>(freeIdx.size());
    Eigen::MatrixXd Af(m, m);
    Eigen::VectorXd gf(m);
    for (Eigen::Index a = 0; a < m; ++a) {
      gf[a] = g[freeIdx[a]];
      for (Eigen::Index b = 0; b < m; ++b) Af(a, b) = A(freeIdx[a], freeIdx[b]);
    }
    Eigen::VectorXd step;
    double decrease = 0.0;
    if (!TryDampedSteps(Af, gf, freeIdx, step, decrease)) return 1;
    if (decrease < options_.relativeDecrease) return 1;
    // Small shifts mean convergence only for a step near Gauss-Newton's: a
    // heavily damped step is small anyway.
    if (acceptedLambda_ > 1.0) return 0;
    Eigen::MatrixXd inv;
    bool small = InvertNormal(Af, inv);
    for (Eigen::Index a = 0; a < m && small; ++a) {
      const double esd = std::sqrt(std::max(inv(a, a), 0.0) * S_ / dof_);
      small = std::fabs(step[freeIdx[a]]) <= options_.shiftOverEsd * esd;
    }
    return small ? 1 : 0;
  }

  // Steps of growing damping until one lowers the sum; false for none. The
  // damping follows the ratio of the actual to the predicted decrease
  // (Nielsen's rule); a step into a state the model refuses is shortened
  // until it is allowed, not damped.
  bool TryDampedSteps(const Eigen::MatrixXd& Af, const Eigen::VectorXd& gf, const std::vector<Eigen::Index>& freeIdx,
                      Eigen::VectorXd& step, double& decrease) {
    const auto m = static_cast<Eigen::Index>(freeIdx.size());
    Eigen::VectorXd rn;
    for (int attempt = 0; attempt < 16; ++attempt) {
      Eigen::MatrixXd M = Af;
      for (Eigen::Index a = 0; a < m; ++a) M(a, a) += lambda_ * Af(a, a);
      Eigen::VectorXd df = M.ldlt().solve(gf);
      if (!df.allFinite()) {
        Damp();
        continue;
      }
      step = Eigen::VectorXd::Zero(x_.size());
      for (Eigen::Index a = 0; a < m; ++a) step[freeIdx[a]] = df[a];
      const Eigen::VectorXd xn = Clamp(x_ + step, lower_, upper_);
      const double predicted = 2.0 * df.dot(gf) - df.dot(Af * df);
      if (problem_.Feasible(xn) && problem_.Residuals(xn, rn)) {
        atX_ = false;
        const double Sn = rn.squaredNorm();
        if (std::isfinite(Sn) && Sn <= S_) {
          decrease = (S_ - Sn) / std::max(S_, 1e-300);
          acceptedLambda_ = lambda_;
          const double rho = predicted > 0.0 ? (S_ - Sn) / predicted : 1.0;
          step = xn - x_;
          x_ = xn;
          r_ = rn;
          S_ = Sn;
          atX_ = true;
          lambda_ = std::max(lambda_ * kLambdaDown(rho), 1e-12);
          nu_ = 2.0;
          return true;
        }
      }
      Damp();
    }
    return false;
  }

  void Damp() {
    lambda_ *= nu_;
    nu_ *= 2.0;
  }
  static double kLambdaDown(double rho) { return std::max(1.0 / 3.0, 1.0 - std::pow(2.0 * rho - 1.0, 3)); }

  // The solution and its normal matrix's inverse.
  void Finish(LeastSquaresResult& out) {
    if (!atX_) problem_.Residuals(x_, r_);
    out.x = x_;
    out.sum = r_.squaredNorm();
    if (!options_.covariance) {
      if (out.cancelled) out.converged = false;
      return;
    }
    if (problem_.Jacobian(x_, J_)) {
      out.singular = !InvertNormal(NormalMatrix(J_), out.inverseNormal);
    } else {
      out.singular = true;
      out.inverseNormal = Eigen::MatrixXd::Constant(x_.size(), x_.size(), std::nan(""));
    }
    if (out.singular || out.cancelled) out.converged = false;
  }

  LeastSquaresProblem& problem_;
  const Eigen::VectorXd& lower_;
  const Eigen::VectorXd& upper_;
  const LeastSquaresOptions& options_;
  Eigen::VectorXd x_, r_;
  Eigen::MatrixXd J_;
  double S_ = 0.0, lambda_ = 1e-3, nu_ = 2.0, dof_ = 1.0, acceptedLambda_ = 0.0;
  bool atX_ = true;  // the model's last evaluation was at x
};

}  // namespace

LeastSquaresResult MinimiseBounded(LeastSquaresProblem& problem, const Eigen::VectorXd& start,
                                   const Eigen::VectorXd& lower, const Eigen::VectorXd& upper,
                                   const LeastSquaresOptions& options) {
  return Minimiser(problem, lower, upper, options).Run(start);
}

}  // namespace pelmora::refinement
