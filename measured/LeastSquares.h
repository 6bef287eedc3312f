// Levenberg-Marquardt with bounds: each value stays within [lower, upper]
// (a step that would leave them is cut back onto the bound, and a value held
// there by its gradient leaves the step), and a step into a state the model
// calls infeasible is refused like one that does not lower the sum. At the
// solution the covariance of the free values follows from the normal
// matrix.
#pragma once

#include <Eigen/Core>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace pelmora::refinement {

class LeastSquaresProblem {
 public:
  virtual ~LeastSquaresProblem() = default;
  // The weighted residuals sqrt(w) (y_obs - y_calc) at x; false when the
  // model cannot be evaluated there.
  virtual bool Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& r) = 0;
  // d y_calc / d x weighted by sqrt(w), at the x of the last Residuals call.
  virtual bool Jacobian(const Eigen::VectorXd& x, Eigen::MatrixXd& J) = 0;
  // Whether x is a state the model allows beyond its bounds (positive
  // widths at every angle, say).
  virtual bool Feasible(const Eigen::VectorXd&) { return true; }
};

struct LeastSquaresOptions {
  int maxIterations = 100;
  // Converged when every shift is below this fraction of its esd, or the
  // sum falls by less than this relative amount in a step (chi2 changes in
  // its fifth digit).
  double shiftOverEsd = 0.01;
  double relativeDecrease = 1e-5;
  std::atomic<bool>* cancel = nullptr;
  // The normal matrix's inverse at the solution (a Jacobian more); a stage
  // that only brings values near goes without.
  bool covariance = true;
  // After every step: the sum and the weighted residuals reached.
  std::function<void(int iteration, double sum, const Eigen::VectorXd& residuals)> progress;
};

struct LeastSquaresResult {
  Eigen::VectorXd x;
  double sum = 0.0;     // sum of squared weighted residuals at x
  int iterations = 0;
  bool converged = false;
  bool singular = false;  // the normal matrix has no inverse at the solution
  bool cancelled = false;
  bool failed = false;    // the model could not be evaluated at the start
  // (J^T J)^-1 at the solution, not yet scaled by the reduced chi-square;
  // empty without options.covariance.
  Eigen::MatrixXd inverseNormal;
};

LeastSquaresResult MinimiseBounded(LeastSquaresProblem& problem, const Eigen::VectorXd& start,
                                   const Eigen::VectorXd& lower, const Eigen::VectorXd& upper,
                                   const LeastSquaresOptions& options);

}  // namespace pelmora::refinement
