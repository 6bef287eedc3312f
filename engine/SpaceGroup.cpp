#include "engine/SpaceGroup.h"

#include <spglib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>

#include "engine/Angles.h"
#include "engine/CellTies.h"
#include "engine/Crystal.h"
#include "engine/Symmetry.h"
#include "engine/UnitCell.h"

namespace pelmora {

using symmetry::Op;
using symmetry::Xyz;

namespace {

const gemmi::SpaceGroup* TableEntryOf(const SpaceGroupSetting& g) {
  for (const gemmi::SpaceGroup& sg : gemmi::spacegroup_tables::main)
    if (g.hall == sg.hall && g.Name() == sg.xhm()) return &sg;
  return nullptr;
}

SpaceGroupSetting SettingOf(const gemmi::SpaceGroup& sg) {
  SpaceGroupSetting g;
  g.number = sg.number;
  g.hm = sg.hm;
  g.ext = sg.ext ? std::string(1, sg.ext) : std::string();
  g.hall = sg.hall;
  g.qualifier = sg.qualifier;
  const std::vector<Op> ops = symmetry::OperatorsOf(sg);
  g.system = symmetry::CrystalSystemOf(ops);
  g.order = static_cast<int>(ops.size());
  return g;
}

std::string Squeezed(std::string_view text) {
  std::string out;
  for (char ch : text)
    if (!std::isspace(static_cast<unsigned char>(ch)) && ch != '_') out += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

std::vector<Op> OpsOf(const SpaceGroupSetting& g) {
  const gemmi::SpaceGroup* sg = TableEntryOf(g);
  return sg ? symmetry::OperatorsOf(*sg) : std::vector<Op>{Op::identity()};
}

}  // namespace

const std::vector<SpaceGroupSetting>& SpaceGroupSettings() {
  static const std::vector<SpaceGroupSetting> table = [] {
    std::vector<SpaceGroupSetting> t;
    for (const gemmi::SpaceGroup& sg : gemmi::spacegroup_tables::main) {
      SpaceGroupSetting g = SettingOf(sg);
      // The table repeats a few settings under other names: one of each.
      const bool repeated = std::any_of(t.begin(), t.end(), [&](const SpaceGroupSetting& o) {
        return o.Name() == g.Name();
      });
      if (!repeated) t.push_back(std::move(g));
    }
    return t;
  }();
  return table;
}

std::optional<SpaceGroupSetting> FindSpaceGroup(std::string_view text) {
  std::string s(text);
  const size_t first = s.find_first_not_of(" \t"), last = s.find_last_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  s = s.substr(first, last - first + 1);
  const std::vector<SpaceGroupSetting>& table = SpaceGroupSettings();
  // A number: the group's first setting.
  if (std::all_of(s.begin(), s.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); })) {
    const int n = std::atoi(s.c_str());
    for (const SpaceGroupSetting& g : table)
      if (g.number == n) return g;
    return std::nullopt;
  }
  // The name or the Hall symbol as the table spells it; then the symbol
  // with or without spaces ("P42/mnm", "P 4_2/m n m"). A few texts are both
  // a Hall symbol and, squeezed, a symbol: "P 4 2" is the Hall symbol of
  // P 4 2 2, "P42" the symbol of P 42.
  std::string spaced;
  for (char ch : s)
    if (!(ch == ' ' && (spaced.empty() || spaced.back() == ' '))) spaced += ch;
  for (const SpaceGroupSetting& g : table)
    if (g.Name() == spaced) return g;
  for (const SpaceGroupSetting& g : table)
    if (g.hall == spaced) return g;
  const std::string key = Squeezed(s);
  for (const SpaceGroupSetting& g : table)
    if (Squeezed(g.Name()) == key) return g;
  if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(s))
    for (const SpaceGroupSetting& g : table)
      if (g.Name() == sg->xhm()) return g;
  // A Hall symbol.
  for (const SpaceGroupSetting& g : table)
    if (Squeezed(g.hall) == key) return g;
  try {
    const gemmi::GroupOps ops = gemmi::symops_from_hall(s.c_str());
    if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_ops(ops))
      for (const SpaceGroupSetting& g : table)
        if (g.Name() == sg->xhm()) return g;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::vector<std::string> SymmetryTriplets(const SpaceGroupSetting& g) {
  std::vector<std::string> out;
  for (const Op& op : OpsOf(g)) out.push_back(op.triplet());
  return out;
}

std::vector<SymmetryOperator> SymmetryOperatorsOf(const Crystal& crystal) {
  std::vector<SymmetryOperator> out;
  if (!crystal.spaceGroup.empty()) {
    if (const std::optional<SpaceGroupSetting> g = FindSpaceGroup(crystal.spaceGroup)) {
      for (const Op& op : OpsOf(*g)) {
        SymmetryOperator s;
        for (int i = 0; i < 3; ++i) {
          for (int j = 0; j < 3; ++j) s.rot[static_cast<size_t>(3 * i + j)] = op.rot[i][j] / Op::DEN;
          s.tran[static_cast<size_t>(i)] = static_cast<double>(op.tran[i]) / Op::DEN;
        }
        out.push_back(s);
      }
      return out;
    }
  }
  SymmetryOperator identity;
  identity.rot = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  out.push_back(identity);
  for (const std::array<double, 3>& shift : CentringShifts(crystal.latticeType)) {
    identity.tran = shift;
    out.push_back(identity);
  }
  return out;
}

LatticeType LatticeTypeOf(const SpaceGroupSetting& g) {
  const std::vector<Op> ops = OpsOf(g);
  return g.system | symmetry::CentringOf(ops, g.system);
}

char UniqueAxisOf(const SpaceGroupSetting& g) {
  if (g.system != kMonoclinic) return 'b';
  return g.qualifier.find('c') != std::string::npos   ? 'c'
         : g.qualifier.find('a') != std::string::npos ? 'a'
                                                      : 'b';
}

void TieCellToGroup(const SpaceGroupSetting& g, UnitCell& cell) { TieCell(g.system, UniqueAxisOf(g), cell); }

GeneratedCell GenerateCell(const SpaceGroupSetting& g, const std::vector<AtomSite>& sites, size_t maxAtoms) {
  const std::vector<Op> ops = OpsOf(g);
  const LatticeType system = symmetry::CrystalSystemOf(ops);
  LatticeType centring = symmetry::CentringOf(ops, system);
  std::vector<std::vector<Xyz>> orbits, reps;
  for (const AtomSite& s : sites) orbits.push_back(symmetry::Images(ops, {s.x, s.y, s.z}));
  if (centring != 0 && !symmetry::CentringRepresentatives(orbits, centring, reps)) {
    centring = 0;
    reps.clear();
  }
  if (centring == 0) reps = orbits;
  GeneratedCell out;
  out.latticeType = system | centring;
  const size_t perAtom = static_cast<size_t>(CentringMultiplicity(out.latticeType));
  for (size_t i = 0; i < sites.size(); ++i)
    for (const Xyz& p : reps[i]) {
      if ((out.structureAtoms.size() + 1) * perAtom > maxAtoms) {
        out.fits = false;
        return out;
      }
      AtomSite a = sites[i];
      a.x = p[0];
      a.y = p[1];
      a.z = p[2];
      a.asymSite = static_cast<int>(i);
      a.siteIndex = static_cast<int>(out.structureAtoms.size());
      out.structureAtoms.push_back(std::move(a));
    }
  return out;
}

int SiteMultiplicity(const SpaceGroupSetting& g, const std::array<double, 3>& p) {
  return static_cast<int>(symmetry::Images(OpsOf(g), p).size());
}

std::optional<std::array<double, 3>> NearSpecialPosition(const SpaceGroupSetting& g, const std::array<double, 3>& p) {
  const std::vector<Op> ops = OpsOf(g);
  const size_t merged = symmetry::Images(ops, p).size();
  // Images that merged mean a special position; which one, the 24ths say.
  Xyz snapped = p;
  for (double& v : snapped) {
    const double k = std::round(v * 24.0);
    if (std::fabs(v * 24.0 - k) < kSiteMergeTolerance * 24.0) v = k / 24.0;
  }
  if (snapped == p) return std::nullopt;
  size_t exact = 0;
  {
    std::vector<Xyz> distinct;
    for (const Op& op : ops) {
      Xyz q = symmetry::Apply(op, snapped);
      if (std::none_of(distinct.begin(), distinct.end(), [&](const Xyz& d) { return symmetry::SamePosition(q, d, 1e-9); }))
        distinct.push_back(q);
    }
    exact = distinct.size();
  }
  if (exact != merged || merged == ops.size()) return std::nullopt;
  return snapped;
}

namespace {

// spglib's Hall number of a setting, by its Hall symbol.
int SpglibHallNumber(const SpaceGroupSetting& g) {
  static const std::map<std::string, int> byHall = [] {
    std::map<std::string, int> m;
    for (int n = 1; n <= 530; ++n) {
      const SpglibSpacegroupType t = spg_get_spacegroup_type(n);
      m.emplace(Squeezed(t.hall_symbol), n);
    }
    return m;
  }();
  const auto it = byHall.find(Squeezed(g.hall));
  return it == byHall.end() ? 0 : it->second;
}

// The cell's axes as rows, as spglib takes them... transposed: spglib wants
// the basis vectors as columns.
void Lattice(const UnitCell& cell, double lattice[3][3]) {
  const double ca = std::cos(cell.alfa * kPi / 180), cb = std::cos(cell.beta * kPi / 180),
               cg = std::cos(cell.gamma * kPi / 180), sg = std::sin(cell.gamma * kPi / 180);
  const double cx = cb, cy = (ca - cb * cg) / sg, cz = std::sqrt(std::max(0.0, 1 - cx * cx - cy * cy));
  const double vectors[3][3] = {{cell.a, 0, 0}, {cell.b * cg, cell.b * sg, 0}, {cell.c * cx, cell.c * cy, cell.c * cz}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) lattice[i][j] = vectors[j][i];
}

// One type per kind of atom: what scatters alike is alike to spglib.
std::vector<int> Types(const std::vector<AtomSite>& atoms) {
  std::vector<int> types;
  std::vector<const AtomSite*> kinds;
  for (const AtomSite& a : atoms) {
    size_t k = 0;
    while (k < kinds.size() && !(kinds[k]->factors() == a.factors() && kinds[k]->name == a.name &&
                                 kinds[k]->occupancy == a.occupancy && kinds[k]->biso == a.biso))
      ++k;
    if (k == kinds.size()) kinds.push_back(&a);
    types.push_back(static_cast<int>(k) + 1);
  }
  return types;
}

struct DatasetDeleter {
  void operator()(SpglibDataset* d) const { spg_free_dataset(d); }
};

// A whole cell of more atoms than this is not handed to spglib: its search
// grows with the square of the atoms (minutes for a protein's 34 000).
constexpr size_t kWholeCellWyckoffAtoms = 2000;

// The letter of a site in a probe cell: its own images beside those of a
// point in general position, which keep the probe's group the setting's
// (a site's images alone often have more symmetry). '?' where spglib gives
// none.
char ProbeLetter(const SpaceGroupSetting& g, int hall, double lattice[3][3], const std::vector<Op>& ops,
                 const Xyz& site) {
  static constexpr Xyz kGeneral = {0.1372, 0.2619, 0.3847};
  std::vector<Xyz> positions = symmetry::Images(ops, site);
  const std::vector<Xyz> general = symmetry::Images(ops, kGeneral);
  if (general.size() != ops.size()) return '?';
  std::vector<int> types(positions.size(), 1);
  positions.insert(positions.end(), general.begin(), general.end());
  types.resize(positions.size(), 2);
  const auto xyz = reinterpret_cast<double(*)[3]>(positions.data());
  const int n = static_cast<int>(positions.size());
  std::unique_ptr<SpglibDataset, DatasetDeleter> own(spg_get_dataset(lattice, xyz, types.data(), n, 1e-4));
  if (!own || own->spacegroup_number != g.number) return '?';
  std::unique_ptr<SpglibDataset, DatasetDeleter> ds(
      spg_get_dataset_with_hall_number(lattice, xyz, types.data(), n, hall, 1e-4));
  if (!ds || ds->n_atoms != n) return '?';
  return static_cast<char>('a' + ds->wyckoffs[0]);
}

// An operator's rotation and translation as plain numbers, with the
// rotation's inverse.
struct RealOp {
  double rot[3][3], inv[3][3], tran[3];
  explicit RealOp(const Op& op) {
    for (int r = 0; r < 3; ++r) {
      tran[r] = static_cast<double>(op.tran[static_cast<size_t>(r)]) / Op::DEN;
      for (int c = 0; c < 3; ++c)
        rot[r][c] = static_cast<double>(op.rot[static_cast<size_t>(r)][static_cast<size_t>(c)]) / Op::DEN;
    }
    const double det = rot[0][0] * (rot[1][1] * rot[2][2] - rot[1][2] * rot[2][1]) -
                       rot[0][1] * (rot[1][0] * rot[2][2] - rot[1][2] * rot[2][0]) +
                       rot[0][2] * (rot[1][0] * rot[2][1] - rot[1][1] * rot[2][0]);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
        inv[r][c] = (rot[r1][c1] * rot[r2][c2] - rot[r1][c2] * rot[r2][c1]) / det;
      }
  }
  Xyz Apply(const Xyz& p) const {
    Xyz q;
    for (int r = 0; r < 3; ++r) q[r] = rot[r][0] * p[0] + rot[r][1] * p[1] + rot[r][2] * p[2] + tran[r];
    return q;
  }
};

// q - p with each fractional coordinate brought into [-1/2, 1/2).
Xyz Wrapped(const Xyz& q, const Xyz& p) {
  Xyz d;
  for (int i = 0; i < 3; ++i) d[i] = q[i] - p[i] - std::floor(q[i] - p[i] + 0.5);
  return d;
}

double Length(const double lattice[3][3], const Xyz& d) {
  double sum = 0;
  for (int r = 0; r < 3; ++r) {
    const double v = lattice[r][0] * d[0] + lattice[r][1] * d[1] + lattice[r][2] * d[2];
    sum += v * v;
  }
  return std::sqrt(sum);
}

// The symmetrised position of the orbit `members` (atom positions, the
// representative `p` among them): each member brought back next to p by
// every operator that takes p within the tolerance of it (the nearest one
// when none does), averaged.
Xyz Symmetrised(const std::vector<RealOp>& ops, const double lattice[3][3], const Xyz& p,
                const std::vector<Xyz>& members, double tolerance) {
  Xyz sum = {0, 0, 0};
  int count = 0;
  for (const Xyz& m : members) {
    double best = 1e300;
    for (const RealOp& g : ops) best = std::min(best, Length(lattice, Wrapped(m, g.Apply(p))));
    for (const RealOp& g : ops) {
      const Xyz d = Wrapped(m, g.Apply(p));
      if (Length(lattice, d) > std::max(tolerance, best)) continue;
      for (int r = 0; r < 3; ++r) sum[r] += p[r] + g.inv[r][0] * d[0] + g.inv[r][1] * d[1] + g.inv[r][2] * d[2];
      ++count;
    }
  }
  for (double& v : sum) v = symmetry::IntoCell(v / count);
  return sum;
}

// The largest distance of a member from the nearest image of the
// symmetrised position s.
double LargestDeviation(const std::vector<RealOp>& ops, const double lattice[3][3], const Xyz& s,
                        const std::vector<Xyz>& members) {
  double largest = 0;
  for (const Xyz& m : members) {
    double best = 1e300;
    for (const RealOp& g : ops) best = std::min(best, Length(lattice, Wrapped(m, g.Apply(s))));
    largest = std::max(largest, best);
  }
  return largest;
}

}  // namespace

std::vector<char> WyckoffLettersByProbes(const SpaceGroupSetting& g, const UnitCell& cell,
                                         const std::vector<AtomSite>& cellAtoms, int siteCount) {
  std::vector<char> letters(static_cast<size_t>(siteCount), '?');
  const int hall = SpglibHallNumber(g);
  if (hall == 0) return letters;
  double lattice[3][3];
  Lattice(cell, lattice);
  const std::vector<Op> ops = OpsOf(g);
  std::vector<bool> asked(letters.size(), false);
  char general = 0;  // every site in general position has the same letter
  for (const AtomSite& a : cellAtoms) {
    const int site = a.asymSite;
    if (site < 0 || site >= siteCount || asked[static_cast<size_t>(site)]) continue;
    asked[static_cast<size_t>(site)] = true;
    const Xyz p = {a.x, a.y, a.z};
    if (symmetry::Images(ops, p).size() == ops.size()) {
      if (!general) general = ProbeLetter(g, hall, lattice, ops, p);
      letters[static_cast<size_t>(site)] = general;
    } else {
      letters[static_cast<size_t>(site)] = ProbeLetter(g, hall, lattice, ops, p);
    }
  }
  return letters;
}

std::vector<char> WyckoffLetters(const SpaceGroupSetting& g, const UnitCell& cell, const std::vector<AtomSite>& cellAtoms,
                                 int siteCount) {
  if (cellAtoms.size() > kWholeCellWyckoffAtoms) return WyckoffLettersByProbes(g, cell, cellAtoms, siteCount);
  std::vector<char> letters(static_cast<size_t>(siteCount), '?');
  const int hall = SpglibHallNumber(g);
  if (hall == 0 || cellAtoms.empty()) return letters;
  double lattice[3][3];
  Lattice(cell, lattice);
  std::vector<std::array<double, 3>> positions;
  for (const AtomSite& a : cellAtoms) positions.push_back({a.x, a.y, a.z});
  const std::vector<int> types = Types(cellAtoms);
  // spglib's letters in a given setting take seconds to fail when the atoms
  // have more symmetry than the group (a site or two typed so far): only a
  // cell whose own group is this one is asked.
  std::unique_ptr<SpglibDataset, DatasetDeleter> own(spg_get_dataset(
      lattice, reinterpret_cast<double(*)[3]>(positions.data()), types.data(), static_cast<int>(positions.size()), 1e-4));
  if (!own || own->spacegroup_number != g.number) return letters;
  std::unique_ptr<SpglibDataset, DatasetDeleter> ds(spg_get_dataset_with_hall_number(
      lattice, reinterpret_cast<double(*)[3]>(positions.data()), types.data(), static_cast<int>(positions.size()), hall,
      1e-4));
  if (!ds || ds->n_atoms != static_cast<int>(cellAtoms.size())) return letters;
  for (size_t i = 0; i < cellAtoms.size(); ++i) {
    const int site = cellAtoms[i].asymSite;
    if (site >= 0 && site < siteCount && letters[static_cast<size_t>(site)] == '?')
      letters[static_cast<size_t>(site)] = static_cast<char>('a' + ds->wyckoffs[i]);
  }
  return letters;
}

std::optional<FoundSymmetry> FindSymmetry(const UnitCell& cell, const std::vector<AtomSite>& cellAtoms,
                                          double tolerance) {
  if (cellAtoms.empty()) return std::nullopt;
  double lattice[3][3];
  Lattice(cell, lattice);
  std::vector<std::array<double, 3>> positions;
  for (const AtomSite& a : cellAtoms) positions.push_back({a.x, a.y, a.z});
  const std::vector<int> types = Types(cellAtoms);
  std::unique_ptr<SpglibDataset, DatasetDeleter> ds(spg_get_dataset(
      lattice, reinterpret_cast<double(*)[3]>(positions.data()), types.data(), static_cast<int>(positions.size()),
      tolerance));
  if (!ds) return std::nullopt;
  // The operators spglib finds act on the cell as it is: the setting of the
  // table with exactly these operators is the group in the user's axes.
  std::vector<Op> ops;
  for (int i = 0; i < ds->n_operations; ++i) {
    Op op;
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) op.rot[r][c] = ds->rotations[i][r][c] * Op::DEN;
      const double t = ds->translations[i][r] * Op::DEN;
      op.tran[r] = static_cast<int>(std::lround(t)) % Op::DEN;
    }
    op.wrap();
    ops.push_back(op);
  }
  ops = symmetry::Normalised(ops);
  const gemmi::SpaceGroup* sg = nullptr;
  try {
    sg = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(ops));
  } catch (const std::exception&) {
  }
  if (!sg) return std::nullopt;
  FoundSymmetry found;
  for (const SpaceGroupSetting& g : SpaceGroupSettings())
    if (g.Name() == sg->xhm()) found.group = g;
  if (found.group.number == 0) return std::nullopt;
  // One atom of each orbit at the orbit's symmetrised place.
  std::vector<RealOp> real;
  for (const Op& op : ops) real.emplace_back(op);
  for (size_t i = 0; i < cellAtoms.size(); ++i)
    if (ds->equivalent_atoms[i] == static_cast<int>(i)) {
      std::vector<Xyz> members;
      for (size_t j = 0; j < cellAtoms.size(); ++j)
        if (ds->equivalent_atoms[j] == static_cast<int>(i)) members.push_back({cellAtoms[j].x, cellAtoms[j].y, cellAtoms[j].z});
      const Xyz p = {cellAtoms[i].x, cellAtoms[i].y, cellAtoms[i].z};
      const Xyz at = Symmetrised(real, lattice, p, members, tolerance);
      AtomSite a = cellAtoms[i];
      a.x = at[0], a.y = at[1], a.z = at[2];
      a.asymSite = static_cast<int>(found.sites.size());
      found.sites.push_back(std::move(a));
      found.deviations.push_back(LargestDeviation(real, lattice, at, members));
    }
  return found;
}

}  // namespace pelmora
