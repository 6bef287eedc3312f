// The Site class and Structure.sites: a structure's sites changed one by
// one or all at once by the edit rules (engine/StructureEdits.h), which
// also say which values a site can have.
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "Bindings.h"
#include "engine/SpaceGroup.h"
#include "refdata/ElementTable.h"

namespace pelmora::python {
namespace {

// One site: a view of a structure's site, whose changes go straight into
// the structure, or a free-standing one to put into a structure. With a
// space group the sites are those of the asymmetric unit, and a change
// regenerates the cell from them.
struct Site {
  StructurePtr owner;
  size_t index = 0;
  AtomSite own;

  template <class F>
  auto Read(F&& f) {
    if (!owner) return f(own);
    return With(*owner, [&](CKomorka& doc) {
      if (index >= doc.crystal.EditableAtoms().size()) throw py::index_error("the site is no longer in the structure");
      return f(doc.crystal.EditableAtoms()[index]);
    });
  }
  // A change of a structure's site goes by the rules: refused when the site
  // would land on another's position or overflow the cell.
  template <class F>
  void Change(F&& f) {
    if (!owner) return f(own);
    Edit(*owner, [&](CKomorka& doc) {
      if (index >= doc.crystal.EditableAtoms().size()) throw py::index_error("the site is no longer in the structure");
      AtomSite at = doc.crystal.EditableAtoms()[index];
      f(at);
      return ReplaceSite(doc.crystal, index, std::move(at));
    });
  }
  AtomSite Value() {
    return Read([](AtomSite& a) { return a; });
  }
};

std::vector<Site> SitesOf(const StructurePtr& s) {
  const size_t n = With(*s, [](CKomorka& doc) { return doc.crystal.EditableAtoms().size(); });
  std::vector<Site> out(n);
  for (size_t i = 0; i < n; ++i) out[i].owner = s, out[i].index = i;
  return out;
}

void SetSites(const StructurePtr& s, std::vector<Site*> sites) {
  std::vector<AtomSite> atoms;
  for (Site* site : sites) {
    if (!site) throw py::type_error("sites must be Site objects");
    atoms.push_back(site->Value());
  }
  Edit(*s, [&](CKomorka& doc) { return ReplaceSites(doc.crystal, std::move(atoms)); });
}

// The occupancy and B are checked as they are set, on a free-standing site
// too, and refused in the words of the one value.
void SetOccupancy(Site& s, double v) {
  if (!OccupancyValid(v)) throw py::value_error("the occupancy must be greater than 0 and at most 1");
  s.Change([v](AtomSite& a) { a.occupancy = v; });
}

// The site's own B; None for the experiment's.
void SetSiteB(Site& s, std::optional<double> v) {
  if (!SiteBValid(v)) throw py::value_error("B must be a finite number, 0 or more");
  s.Change([v](AtomSite& a) { a.biso = v; });
}

template <class T>
void SiteField(py::class_<Site>& cls, const char* name, T AtomSite::*member, const char* doc) {
  cls.def_property(
      name, [member](Site& s) { return s.Read([member](AtomSite& a) { return a.*member; }); },
      [member](Site& s, T v) { s.Change([member, &v](AtomSite& a) { a.*member = v; }); }, doc);
}

double AtomSite::*const kSiteA[4] = {&AtomSite::a1, &AtomSite::a2, &AtomSite::a3, &AtomSite::a4};
double AtomSite::*const kSiteB[4] = {&AtomSite::b1, &AtomSite::b2, &AtomSite::b3, &AtomSite::b4};

// The four a or b Cromer-Mann coefficients as one value.
void SiteCoefficients(py::class_<Site>& cls, const char* name, double AtomSite::*const (&members)[4],
                      const char* doc) {
  cls.def_property(
      name,
      [&members](Site& s) {
        const auto values = s.Read([&members](AtomSite& at) {
          std::array<double, 4> out;
          for (size_t i = 0; i < 4; ++i) out[i] = at.*members[i];
          return out;
        });
        return py::tuple(py::cast(values));
      },
      [&members](Site& s, const std::array<double, 4>& v) {
        s.Change([&members, &v](AtomSite& at) {
          for (size_t i = 0; i < 4; ++i) at.*members[i] = v[i];
        });
      },
      doc);
}

// The element symbols: the program's own table, as built in.
const ElementTable& Elements() {
  static const ElementTable table;
  return table;
}

std::string SymbolOf(int nr) { return nr == 0 ? std::string("X") : Elements().Entry(nr).symbol; }

int NumberOfSymbol(const std::string& symbol) {
  const int nr = Elements().NumberOf(symbol);
  if (nr == 0) throw py::value_error("unknown element symbol \"" + symbol + "\"");
  return nr == ElementTable::kPlaceholder ? 0 : nr;
}

// The site's Wyckoff letter and multiplicity in the structure's group; a
// site of a structure without a group has no letter and the centring's
// multiplicity, a free-standing one neither.
std::pair<std::optional<std::string>, std::optional<int>> WyckoffOf(Site& s) {
  if (!s.owner) return {std::nullopt, std::nullopt};
  return With(*s.owner, [&s](CKomorka& d) -> std::pair<std::optional<std::string>, std::optional<int>> {
    const auto& sites = d.crystal.EditableAtoms();
    if (s.index >= sites.size()) throw py::index_error("the site is no longer in the structure");
    const AtomSite& at = sites[s.index];
    const std::optional<SpaceGroupSetting> g =
        d.crystal.spaceGroup.empty() ? std::nullopt : FindSpaceGroup(d.crystal.spaceGroup);
    if (!g) {
      const LatticeType c = d.crystal.latticeType & kCentringMask;
      return {std::nullopt, c == kFaceCentred ? 4 : c == kBodyCentred || c == kBaseCentred ? 2 : 1};
    }
    const std::vector<char> letters =
        WyckoffLetters(*g, d.cell, d.crystal.cellAtoms, static_cast<int>(sites.size()));
    std::optional<std::string> letter;
    if (s.index < letters.size() && letters[s.index] != '?') letter = std::string(1, letters[s.index]);
    return {letter, SiteMultiplicity(*g, {at.x, at.y, at.z})};
  });
}

// name, element, charge, position and the scattering values.
void SiteValues(py::class_<Site>& site) {
  site.def_property(
      "name", [](Site& s) { return s.Read([](AtomSite& a) { return a.name; }); },
      [](Site& s, const std::string& v) { s.Change([&v](AtomSite& a) { a.name = v; }); },
      "The site's label, as the structure file and the program's atom list show it (\"Na\", \"O2\").");
  site.def_property(
      "element", [](Site& s) { return SymbolOf(s.Read([](AtomSite& a) { return a.nr; })); },
      [](Site& s, const std::string& symbol) {
        const int nr = NumberOfSymbol(symbol);
        s.Change([nr](AtomSite& a) { a.nr = nr; });
      },
      "The element's symbol (\"Si\"); \"X\" for an atom of no element. Setting it changes the element\n"
      "only: the scattering factors stay as they are.");
  site.def_property(
      "atomic_number", [](Site& s) { return s.Read([](AtomSite& a) { return a.nr; }); },
      [](Site& s, int nr) {
        if (nr < 0 || nr > ElementTable::kElementCount) throw py::value_error("atomic_number must lie in 0-119");
        s.Change([nr](AtomSite& a) { a.nr = nr; });
      },
      "The element's number (14 for Si); 0 for an atom of no element.");
  site.def_property(
      "charge", [](Site& s) { return s.Read([](AtomSite& a) { return a.ionCharge; }); },
      [](Site& s, int v) { s.Change([v](AtomSite& a) { a.ionCharge = v; }); },
      "The ion's charge (0 for a neutral atom), as chosen with its scattering factors.");
  site.def_property_readonly(
      "wyckoff", [](Site& s) { return WyckoffOf(s).first; },
      "The site's Wyckoff letter in the structure's space group (spglib's, in the group's setting);\n"
      "None without a group, for a free-standing site, or where the atoms have more symmetry than the group.");
  site.def_property_readonly(
      "multiplicity", [](Site& s) { return WyckoffOf(s).second; },
      "How many atoms the site gives in the cell: its space group's multiplicity, or without a group\n"
      "the lattice centring's (1, 2 or 4); None for a free-standing site.");
  SiteField(site, "x", &AtomSite::x, "The fractional x coordinate.");
  SiteField(site, "y", &AtomSite::y, "The fractional y coordinate.");
  SiteField(site, "z", &AtomSite::z, "The fractional z coordinate.");
  site.def_property(
      "position",
      [](Site& s) { return s.Read([](AtomSite& a) { return std::tuple{a.x, a.y, a.z}; }); },
      [](Site& s, std::tuple<double, double, double> p) {
        s.Change([&p](AtomSite& a) { std::tie(a.x, a.y, a.z) = p; });
      },
      "(x, y, z) at once: a site moved coordinate by coordinate may pass a position another\n"
      "site holds, which is refused.");
  SiteField<double>(site, "c", &AtomSite::c, "The constant c of the Cromer-Mann X-ray scattering factor.");
  SiteField<double>(site, "neutron_length", &AtomSite::s, "The coherent neutron scattering length in fm.");
  SiteField<double>(site, "f_prime", &AtomSite::fprim, "The anomalous-dispersion term f' (electrons).");
  SiteField<double>(site, "f_double_prime", &AtomSite::fbis, "The anomalous-dispersion term f'' (electrons).");
  site.def_property(
      "occupancy", [](Site& s) { return s.Read([](AtomSite& a) { return a.occupancy; }); }, &SetOccupancy,
      "The share of the site its atom fills, greater than 0 and at most 1.");
  site.def_property(
      "b_iso", [](Site& s) { return s.Read([](AtomSite& a) { return a.biso; }); }, &SetSiteB,
      "The site's own isotropic displacement B in square angstrom; None: the structure's b_factor\n"
      "(when temperature_factor is on).");
  SiteCoefficients(site, "a", kSiteA,
                   "(a1, a2, a3, a4): the Cromer-Mann coefficients a of the X-ray scattering factor.");
  SiteCoefficients(site, "b", kSiteB, "(b1, b2, b3, b4): the Cromer-Mann coefficients b, in square angstrom.");
}

}  // namespace

void RegisterSite(py::module_& m) {
  py::class_<Site> site(m, "Site",
                        "One atom site. Taken from Structure.sites it is a view whose changes go into the\n"
                        "structure; Site(...) and copy() make free-standing sites for Structure.sites = [...].");
  site.def(py::init([](const std::string& name, double x, double y, double z) {
             Site s;
             s.own.name = name;
             s.own.x = x, s.own.y = y, s.own.z = z;
             return s;
           }),
           py::arg("name") = "", py::arg("x") = 0.0, py::arg("y") = 0.0, py::arg("z") = 0.0,
           "A free-standing site with a label and fractional coordinates; put it into a structure with\n"
           "Structure.sites = [...].");
  SiteValues(site);
  site.def(
      "copy",
      [](Site& s) {
        Site c;
        c.own = s.Value();
        return c;
      },
      "A free-standing copy of the site's values, no longer tied to a structure.");
  site.def("__repr__", [](Site& s) {
    const AtomSite a = s.Value();
    return py::str("Site({!r}, {}, {}, {})").format(a.name, a.x, a.y, a.z);
  }, "Site(name, x, y, z).");
}

void RegisterSiteList(StructureClass& cls) {
  cls.def_property("sites", &SitesOf, &SetSites,
                   "The sites: with a space group those of the asymmetric unit, from which the cell is\n"
                   "generated; else the atoms of the lattice type's cell.");
}

}  // namespace pelmora::python
