// Structure's cell, lattice type and space group, set by the edit rules
// every front end shares (engine/StructureEdits.h).
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "Bindings.h"
#include "engine/SpaceGroup.h"

namespace pelmora::python {
namespace {

// A cell constant by the crystal system's ties: a tied one is refused, a free
// one carries those that follow it.
void CellConstant(StructureClass& cls, const char* name, int index, const char* doc) {
  cls.def_property(
      name, [index](Structure& s) { return With(s, [index](CKomorka& d) { return ConstantsOf(d.cell)[index]; }); },
      [index](Structure& s, double v) { Edit(s, [index, v](CKomorka& d) { return SetCellConstant(d, index, v); }); },
      doc);
}

std::pair<std::string, std::string> LatticeOf(LatticeType t) {
  return {SystemEnglishName(t), std::string(1, CentringLetterOf(t))};
}

// As the structure page sets it, but a new lattice type that would remove
// the sites is refused: Python cannot ask, and the sites are not thrown away
// unasked. The refusal names what was given, as the core's cannot.
void SetLattice(Structure& s, const std::pair<std::string, std::string>& lattice) {
  const LatticeType type = LatticeTypeFromNames(lattice.first, lattice.second);
  if (type == 0)
    throw py::value_error("not one of the 14 lattice types: (\"" + lattice.first + "\", \"" + lattice.second +
                          "\"); " + LatticeNamesText());
  Edit(s, [type](CKomorka& doc) { return SetLatticeType(doc, type, SitesOnLatticeChange::kRefuse); });
}

std::optional<std::string> SpaceGroupOfDoc(Structure& s) {
  const std::string name = With(s, [](CKomorka& d) { return d.crystal.spaceGroup; });
  return name.empty() ? std::nullopt : std::optional<std::string>(name);
}

std::optional<int> SpaceGroupNumber(Structure& s) {
  const std::optional<std::string> name = SpaceGroupOfDoc(s);
  if (!name) return std::nullopt;
  const std::optional<SpaceGroupSetting> g = FindSpaceGroup(*name);
  return g ? std::optional<int>(g->number) : std::nullopt;
}

// As the structure page sets it: a symbol, a number or a Hall symbol; None
// removes the group and keeps the generated atoms, each on its own. Atoms
// given without a group become the group's sites.
void SetSpaceGroupOf(Structure& s, const py::object& value) {
  std::string name;
  if (!value.is_none()) {
    std::string text;
    if (py::isinstance<py::bool_>(value)) throw py::type_error("a space group is a symbol, a number or None");
    if (py::isinstance<py::int_>(value)) text = std::to_string(value.cast<long long>());
    else if (py::isinstance<py::str>(value)) text = value.cast<std::string>();
    else throw py::type_error("a space group is a symbol, a number or None");
    const std::optional<SpaceGroupSetting> g = FindSpaceGroup(text);
    if (!g)
      throw py::value_error("unknown space group \"" + text +
                            "\": give a Hermann-Mauguin symbol (P 42/m n m), a number (1-230) or a Hall symbol");
    name = g->Name();
  }
  const bool fits = With(s, [&name](CKomorka& d) { return SetSpaceGroup(d, name).ok(); });
  if (!fits)
    Warn({"the cell holds at most " + std::to_string(Crystal::kMaxAtoms) + " atoms; the atoms beyond are left out"});
}

// The group spglib finds for the cell's atoms within `tolerance` angstrom,
// in the cell's own axes and origin; with `apply` the structure takes it
// and its asymmetric unit, as the structure page's "find" does.
py::object FindCellSymmetry(Structure& s, double tolerance, bool apply) {
  if (!(tolerance > 0.0) || !std::isfinite(tolerance)) throw py::value_error("the tolerance must be greater than 0");
  const std::optional<FoundSymmetry> found = With(s, [&](CKomorka& d) {
    std::optional<FoundSymmetry> f = FindSymmetry(d.cell.WithFreshMetric(), d.crystal.cellAtoms, tolerance);
    if (f && apply) {
      d.crystal.spaceGroup = f->group.Name();
      d.crystal.asymmetricUnit = f->sites;
      TieCellToGroup(f->group, d.cell);
      d.crystal.ExpandCellAtoms();
      d.cell.RefreshCellMetric();
    }
    return f;
  });
  if (!found) return py::none();
  return py::make_tuple(found->group.Name(), found->group.number, found->sites.size());
}

}  // namespace

void RegisterCell(StructureClass& cls) {
  constexpr const char* kCellNames[6] = {"a", "b", "c", "alpha", "beta", "gamma"};
  constexpr const char* kCellDocs[6] = {
      "The cell edge a in angstrom; the crystal system's ties carry b and c along.",
      "The cell edge b in angstrom; refused where the crystal system ties it to a.",
      "The cell edge c in angstrom; refused where the crystal system ties it to a.",
      "The cell angle alpha (between b and c) in degrees; refused where the system fixes it.",
      "The cell angle beta (between a and c) in degrees; refused where the system fixes it.",
      "The cell angle gamma (between a and b) in degrees; refused where the system fixes it."};
  for (int i = 0; i < 6; ++i) CellConstant(cls, kCellNames[i], i, kCellDocs[i]);
  cls.def_property(
      "cell", [](Structure& s) { return py::tuple(py::cast(With(s, [](CKomorka& d) { return ConstantsOf(d.cell); }))); },
      [](Structure& s, const CellConstants& c) { Edit(s, [&c](CKomorka& d) { return SetCell(d, c); }); },
      "(a, b, c, alpha, beta, gamma): the constants the crystal system ties must agree with the free ones.");
  cls.def_property_readonly(
      "volume", [](Structure& s) { return With(s, [](CKomorka& d) { return d.cell.WithFreshMetric().CellVolume(); }); },
      "The cell volume in cubic angstrom.");
  cls.def_property(
      "lattice", [](Structure& s) { return With(s, [](CKomorka& d) { return LatticeOf(d.crystal.latticeType); }); },
      &SetLattice,
      "(system, centring): one of the 14 lattice types, e.g. (\"cubic\", \"F\"), (\"monoclinic\", \"C\").\n"
      "Systems: cubic, tetragonal, orthorhombic, rhombohedral, hexagonal, monoclinic, triclinic;\n"
      "centrings P, I, F, C. Setting it is refused while there are sites or a space group.");
}

void RegisterSpaceGroup(StructureClass& cls) {
  cls.def_property("space_group", &SpaceGroupOfDoc, &SetSpaceGroupOf,
                   "The space group's setting (\"P 42/m n m\", \"F d -3 m:2\") or None. Set a symbol, a number or\n"
                   "a Hall symbol: the cell is generated from the sites (atoms given without a group become its\n"
                   "sites), the lattice type and cell constants follow the group. None keeps the atoms.");
  cls.def_property_readonly("space_group_number", &SpaceGroupNumber, "The space group's number, or None.");
  cls.def("find_symmetry", &FindCellSymmetry, py::arg("tolerance") = 0.01, py::arg("apply") = false,
          "Looks for the space group whose operations keep the cell's atoms within tolerance angstrom,\n"
          "in the cell's own axes and origin (spglib). Returns (symbol, number, sites) -- the group's\n"
          "setting, its number and how many independent sites it leaves -- or None when no group fits\n"
          "the cell unchanged. With apply=True the structure takes the group and those sites.");
}

}  // namespace pelmora::python
