#include "engine/Komorka.h"

#include <algorithm>
#include <cmath>

#include "engine/SpaceGroup.h"
#include "io/NumberFormat.h"

namespace pelmora {

double NeutronEnergyMeV(double lambda) {
  constexpr double h = 6.62607015e-34;      // Planck constant, J s
  constexpr double mn = 1.67492749804e-27;  // neutron mass, kg
  constexpr double e = 1.602176634e-19;     // J per eV
  const double metres = lambda * 1e-10;
  return h * h / (2.0 * mn * metres * metres) / e * 1e3;
}

CKomorka::CKomorka(const ExperimentValues& defaults) {
  crystal.structureAtoms.reserve(64);
  experiment.ApplyValues(defaults);
}

bool CKomorka::SetSpaceGroup(const std::string& name) {
  if (name.empty()) {
    crystal.DropSpaceGroup();
    return true;
  }
  const std::optional<SpaceGroupSetting> g = FindSpaceGroup(name);
  if (!g) return false;
  TieCellToGroup(*g, cell);
  return crystal.TakeSpaceGroup(*g);
}

std::pair<int, int> ReflectionRange(const std::vector<Reflection>& list, double from, double to) {
  const auto lo = std::lower_bound(list.begin(), list.end(), from,
                                   [](const Reflection& r, double a) { return TwoThetaDegrees(r) < a; });
  const auto hi = std::upper_bound(list.begin(), list.end(), to,
                                   [](double a, const Reflection& r) { return a < TwoThetaDegrees(r); });
  const int n = static_cast<int>(list.size());
  int first = static_cast<int>(lo - list.begin());
  int last = static_cast<int>(hi - list.begin()) - 1;
  if (first < n && list[first].theta < ThetaOfTwoTheta(from)) ++first;
  if (last >= 0 && list[last].theta > ThetaOfTwoTheta(to)) --last;
  if (first > last || first >= n || last < 0) return {-1, -1};
  return {first, last};
}

std::pair<int, int> CalculationResults::FindReflectionRange(double from, double to) const {
  return ReflectionRange(reflectionsAll, from, to);
}

bool CKomorka::OnNewDocument() {
  cell.a = cell.b = cell.c = 1.0;
  cell.alfa = cell.beta = cell.gamma = 90.0;
  crystal.latticeType = kCubic;
  crystal.bravaisIndex = 0;
  experiment.radiation = 0;
  // A document starts empty: keeping atoms here would carry a previous
  // structure's atoms into a "new" one.
  crystal.structureAtoms.clear();
  crystal.cellAtoms.clear();
  crystal.spaceGroup.clear();
  crystal.asymmetricUnit.clear();
  return true;
}

}  // namespace pelmora
