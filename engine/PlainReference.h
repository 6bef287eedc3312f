// The calculation done the plain way, to check the fast one against: every
// structure factor as the written sum over the cell atoms, every index
// triple of the search box tried one by one, d from the reciprocal cell.
// Slow (sines, cosines and exponentials for every atom of every reflection)
// but with nothing in it beyond the formulas; `pelmora-cli calc --check`
// runs it beside the calculation.
#pragma once

#include <string>
#include <vector>

#include "engine/CalcProgress.h"
#include "engine/Komorka.h"

namespace pelmora {

// 1/d^2 of (h k l) from the reciprocal cell constants: h^2 a*^2 + k^2 b*^2
// + l^2 c*^2 + 2 hk a* b* cos(gamma*) + 2 hl a* c* cos(beta*) + 2 kl b* c* cos(alpha*).
class ReciprocalMetric {
 public:
  explicit ReciprocalMetric(const UnitCell& cell);
  double InverseD2(int h, int k, int l) const {
    const double hd = h, kd = k, ld = l;
    return hd * hd * aa_ + kd * kd * bb_ + ld * ld * cc_ + hd * kd * ab_ + hd * ld * ac_ + kd * ld * bc_;
  }

 private:
  double aa_, bb_, cc_, ab_, ac_, bc_;
};

// F of (h k l) summed atom by atom at s^2 = (sin(theta) / lambda)^2, with the
// conventions of the calculation: X-rays sum (f0 + f' + i f'') w exp(-i phi),
// neutrons b w exp(+i phi), phi = 2 pi (hx + ky + lz), w = occ exp(-B s^2)
// with the atom's own B or else defaultB.
void PlainStructureFactor(const std::vector<AtomSite>& atoms, int radiation, double defaultB, int h, int k, int l,
                          double s2, double& re, double& im);

// A line of the list and its two values of one column.
struct CheckedLine {
  int h = 0, k = 0, l = 0, line = 0;  // line 0: none
  double fast = 0.0, plain = 0.0;
};

// One column of the reflection list, fast against plain.
struct QuantityCheck {
  std::string name;
  int width = 0, precision = 0;  // the list's format of the column
  double maxAbs = 0.0;           // largest |fast - plain|
  double maxRel = 0.0;           // the same over max(|fast|, |plain|), where that prints above zero
  CheckedLine atAbs, atRel;      // where they occur
  long differing = 0;            // lines whose values print apart (see PrintsAlike)
  CheckedLine firstDiffering;
};

// The outcome of CheckAgainstPlainReference.
struct PlainCheck {
  std::string refusal;        // non-empty: too large to check, nothing compared
  long lines = 0;             // lines of the list compared
  long plainReflections = 0;  // index triples (and lines) of the box in range
  int limits[3] = {0, 0, 0};  // the box: |h|, |k|, |l| up to these
  std::vector<QuantityCheck> quantities;
  // Lines in one list but not the other, wrong multiplicities, lines out
  // of order; the first few described, all counted.
  std::vector<std::string> problems;
  long problemCount = 0;

  bool Agrees() const;
};

// Whether two values print the same with "%W.Pf", or lie less than half a
// unit of the last digit apart (then they print at most one unit apart,
// straddling a rounding half).
bool PrintsAlike(double fast, double plain, int width, int precision);

// Reflections x atoms above this are refused: some 30 ns a term, so up to
// three quarters of an hour of one core.
inline constexpr double kMaxPlainTerms = 1.0e11;

// Why the check of doc's calculation would be refused (the box or its sums
// too large), or empty; the cell and experiment alone decide, so this can
// be asked before calculating.
std::string PlainCheckRefusal(const CKomorka& doc);

// Checks `list` (the merged list of both lines as the calculation of `doc`
// made it, with its maxIntensity) against the plain calculation of the
// same cell and experiment: the same lines (extinct ones too), each with
// its multiplicity and 2-theta, d, F, |F|^2 and intensity to the digits the
// list prints. Positions 0..1000 go to progress.
PlainCheck CheckAgainstPlainReference(const CKomorka& doc, const std::vector<Reflection>& list, double maxIntensity,
                                      CalcProgress& progress);

}  // namespace pelmora
