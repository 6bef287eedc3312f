#include "refdata/Composition.h"

#include "engine/Xraylib.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <numeric>

#include "engine/Komorka.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"

namespace pelmora {

namespace {

// Atomic mass units per gram times 1e24 cubic angstrom per cubic centimetre:
// a cell of V cubic angstrom holding m atomic mass units weighs
// m * 1.66053906660 / V g/cm^3.
constexpr double kDensityFactor = 1.66053906660;

double MassOf(int nr) {
  if (nr < 1 || nr > 103) return 0.0;  // xraylib's weights end at lawrencium
  return xraylib::AtomicWeight(nr).value_or(0.0);
}

// The non-metals from the least to the most electronegative, in the
// order IUPAC writes them in a formula; every other element comes before
// them, alphabetically: NaCl, TiO2, SiO2, C2H6O.
int NonMetalRank(const std::string& symbol) {
  static const char* const order[] = {"B", "Si", "C", "Sb", "As", "P", "N", "H", "Te",
                                      "Se", "S", "At", "I", "Br", "Cl", "O", "F"};
  for (int i = 0; i < static_cast<int>(std::size(order)); ++i)
    if (symbol == order[i]) return i + 1;
  return 0;
}

bool FormulaBefore(const std::string& a, const std::string& b) {
  const int ra = NonMetalRank(a), rb = NonMetalRank(b);
  if (ra != rb) return ra < rb;
  return a < b;
}

// A count as the formula writes it: none for 1, else the number.
std::string CountText(double n) {
  if (std::fabs(n - 1.0) < 1e-6) return {};
  if (std::fabs(n - std::round(n)) < 1e-6) return cformat("%d", static_cast<int>(std::lround(n)));
  std::string s = cformat("%.3f", n);
  while (s.back() == '0') s.pop_back();
  return s;
}

}  // namespace

CellComposition CompositionOf(const CKomorka& doc) {
  static const ElementTable elements;
  std::map<std::string, double> counts;
  double mass = 0.0;
  for (const AtomSite& a : doc.crystal.cellAtoms) {
    const std::string symbol = a.nr == 0 ? std::string("X") : elements.Entry(a.nr).symbol;
    counts[symbol] += a.occupancy;
    mass += a.occupancy * MassOf(a.nr);
  }
  CellComposition c;
  if (counts.empty()) return c;
  c.cellCounts.assign(counts.begin(), counts.end());
  std::sort(c.cellCounts.begin(), c.cellCounts.end(),
            [](const auto& x, const auto& y) { return FormulaBefore(x.first, y.first); });
  long long divisor = 0;
  for (const auto& [symbol, n] : c.cellCounts) {
    const double whole = std::round(n);
    if (std::fabs(n - whole) > 1e-6 || whole < 1.0) {
      divisor = 1;
      break;
    }
    divisor = std::gcd(divisor, static_cast<long long>(whole));
  }
  c.z = static_cast<int>(std::max(1LL, divisor));
  for (const auto& [symbol, n] : c.cellCounts) c.formula += symbol + CountText(n / c.z);
  c.formulaMass = mass / c.z;
  const double volume = doc.cell.WithFreshMetric().CellVolume();
  if (std::isfinite(volume) && volume > 0.0) c.density = mass * kDensityFactor / volume;
  return c;
}

}  // namespace pelmora
