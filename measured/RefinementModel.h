// The refinement's model inside: the fitted points of each pattern, each
// phase's lines, the values and where each acts, y_calc and its
// derivatives. Private to measured/.
#pragma once

#include <Eigen/Core>

#include <array>
#include <complex>
#include <map>
#include <memory>
#include <vector>

#include "engine/Angles.h"
#include "measured/LeastSquares.h"
#include "measured/Refinement.h"
#include "measured/RefinementStructure.h"

namespace pelmora::refinement {

// Microstrain's Lorentzian FWHM in degrees per unit strain and tan(theta):
// integral breadth 4 e tan(theta) radians, FWHM 2 / pi of it.
inline constexpr double kStrainWidth = 8.0 / kPi * kRadToDeg;

struct PatternData {
  RefinementPattern input;
  std::vector<double> t, yo, w, sw;
  // The background's basis at the points, point-major, K per point: the
  // Chebyshev terms, or the hat functions of the background points.
  std::vector<double> chebyshev;
  int K = 0;
  double rangeMin = 0.0, rangeMax = 0.0;
  std::vector<std::pair<double, double>> lines;  // (lambda, ratio)
  // Value indices: zero, displacement, transparency, U V W X Y, SH/L.
  int zero = -1, displacement = -1, transparency = -1, u = -1, v = -1, w_ = -1, x = -1, y = -1, sl = -1;
  int lambda = -1;  // the first line's wavelength; a second keeps its ratio to it
  std::vector<int> background;
};

// The reflections of one spacing: one line of the pattern.
struct LineGroup {
  std::vector<std::array<int, 3>> hkl;
};

struct PhaseData {
  RefinementPhase input;
  std::unique_ptr<CKomorka> doc;  // private copy: cell, lattice, experiment's intensity constants
  std::unique_ptr<StructureModel> structure;
  LatticeType type = 0;
  char axis = 'b';
  std::vector<LineGroup> groups;
  double cellMass = 0.0;
  double volume0 = 0.0;
  std::vector<std::array<double, 2>> constant0;  // per pattern, per line: K at volume0
  // Value indices.
  std::vector<int> scale;           // per pattern
  std::array<int, 6> cell{-1, -1, -1, -1, -1, -1};
  int inverseSize = -1, strain = -1, orientation = -1;
  std::vector<int> coordinate;      // per structure coordinate: its value, or -1
  // Occupancies that follow: (site, the sites whose sum they complete, the sum).
  struct Follow {
    int site;
    std::vector<int> others;
    double total;
  };
  std::vector<Follow> follows;
  // Le Bail: free line intensities per pattern.
  std::vector<std::vector<double>> leBail;
  // Cached sum P |F|^2 per group and radiation, with the key it is for.
  std::array<std::vector<double>, 2> sums;
  std::array<std::vector<double>, 2> sumsKey;
  // Cached per reflection (the groups' in order, group g's from
  // groupStart[g]): each site's phase sums and, when a Jacobian asked, their
  // turns, for the sites' positions in phaseKey. A cell, an occupancy or a
  // B that moves leaves them be.
  std::vector<size_t> groupStart;
  std::vector<std::complex<double>> phaseSums, phaseTurns;
  std::vector<double> phaseKey;
  bool phaseTurnsKept = false;
};

// One peak of a pattern: a group of a phase at one wavelength, with its
// profile at the points [first, first + profile.size()) and, when a
// Jacobian asks, the profile's derivatives by the peak's position, width
// and mixing, and (when asymmetric) by the axial divergence's SH/L.
struct Peak {
  int phase, group, line;
  double factor;     // K L P ratio (V0 / V)^2: intensity = scale * factor * sum P |F|^2
  double intensity;  // that intensity
  double theta;      // the Bragg angle before the shifts
  double tth, H, eta;
  double gG, gL, gs, ls;  // the Gaussian and Lorentzian widths; the size terms per 1 / D
  double dHdG, dHdL, dEdG, dEdL;
  int first;
  bool asymmetric;  // drawn with axial divergence (more than one node)
  std::vector<double> profile, dpos, dwidth, dmix, daxial;
};

class Model : public LeastSquaresProblem {
 public:
  std::vector<PatternData> patterns;
  std::vector<PhaseData> phases;
  std::vector<RefinedValue> values;
  std::vector<int> refined;  // indices of values refined in the current stage
  std::atomic<bool>* cancel = nullptr;

  int pointCount() const;
  // Every value set from the refined ones in x.
  void Take(const Eigen::VectorXd& x);
  Eigen::VectorXd Refined() const;

  // y_calc of pattern p, with each phase's part and the peaks drawn.
  void Evaluate(size_t p, std::vector<double>& yc, std::vector<std::vector<double>>* phaseParts,
                std::vector<Peak>* peaks);
  // Phase f's part of pattern p, its peaks into *peaks when given, with
  // their derivatives when `derivatives`.
  void PhaseCurve(size_t p, size_t f, std::vector<double>& out, std::vector<Peak>* peaks, bool derivatives = false);
  // A peak's profile (and derivatives) over its window for the pattern's
  // axial divergence sl, hl.
  void DrawPeak(const PatternData& pat, double sl, double hl, Peak& peak, bool derivatives) const;
  std::vector<double> BackgroundCurve(size_t p) const;

  bool Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& r) override;
  bool Jacobian(const Eigen::VectorXd& x, Eigen::MatrixXd& J) override;
  // Every Gaussian FWHM^2 above kLeastGaussWidth2 where U V W are refined.
  bool Feasible(const Eigen::VectorXd& x) override;
  static constexpr double kLeastGaussWidth2 = 1e-8;
  static double LowestGaussWidth2(const PatternData& pat, double U, double V, double W);
  // The soft wall that keeps U V W off zero width (extra residual rows).
  static constexpr int kWallAngles = 24;
  bool WidthsRefined(const PatternData& pat) const;
  int WallRows() const;
  void WallResiduals(double* r, Eigen::MatrixXd* J, Eigen::Index firstRow) const;
  // A start whose widths are not positive everywhere moved to one that is;
  // what was changed, for the warnings.
  std::vector<std::string> MendWidths();

  // The sums P |F|^2 of phase f's groups for a radiation, cached; with
  // grad, also their derivatives by the phase's structure coordinates and
  // (last column) by the orientation's r.
  const std::vector<double>& Sums(size_t f, int radiation);
  void SumGradients(size_t f, int radiation, Eigen::MatrixXd& grad);
  // Phase f's phase sums (and turns) brought up to its sites' positions.
  void UpdatePhases(size_t f, bool turns);
  // Phase f's cell from its values, tied; with `moved` >= 0 that value
  // taken as `value` instead.
  UnitCell CellOf(size_t f, int moved = -1, double value = 0.0) const;
  // The structure model's positions, occupancies and B from the values.
  void PushStructure(size_t f);

 public:
  // The peaks the last PhaseCurve(p, f) drew: the first `count` of the list.
  const std::vector<Peak>& Drawn(size_t p, size_t f, size_t& count) const;

 private:
  std::vector<Peak>& DrawnList(size_t p, size_t f);
  std::vector<std::vector<std::vector<Peak>>> drawn_;
  std::vector<std::vector<size_t>> drawnCount_;
  // The columns of values that scale peaks (with each phase's and
  // radiation's sums and, for the structure's values, their gradients), and
  // of those that move peaks or change their widths. Either may run beside
  // the other columns.
  using SumsByPhase = std::map<std::pair<size_t, int>, std::pair<const std::vector<double>*, Eigen::MatrixXd>>;
  void IntensityColumn(const RefinedValue& v, int index, const SumsByPhase& sums, double* column,
                       const std::vector<Eigen::Index>& row0) const;
  struct ShapeTarget {
    const RefinedValue* value;
    double* column;  // at the pattern's first row
  };
  void ShapeColumns(const std::vector<ShapeTarget>& targets, size_t p, size_t f) const;
  void ShapeTask(const std::vector<size_t>& columns, const std::vector<Eigen::Index>& row0, Eigen::MatrixXd& J) const;
  SumsByPhase ColumnSums();
};

// The solution's figures, esds, correlations and warnings into out.
void Describe(Model& m, const LeastSquaresResult& solution, RefinementOutcome& out);

}  // namespace pelmora::refinement

namespace pelmora {
struct Refinement::Model : refinement::Model {};
}  // namespace pelmora
