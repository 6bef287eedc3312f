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
void SiteField(py::class_<Site>& cls, const char* name, T AtomSite::*member) {
  cls.def_property(
      name, [member](Site& s) { return s.Read([member](AtomSite& a) { return a.*member; }); },
      [member](Site& s, T v) { s.Change([member, &v](AtomSite& a) { a.*member = v; }); });
}

double AtomSite::*const kSiteA[4] = {&AtomSite::a1, &AtomSite::a2, &AtomSite::a3, &AtomSite::a4};
double AtomSite::*const kSiteB[4] = {&AtomSite::b1, &AtomSite::b2, &AtomSite::b3, &AtomSite::b4};

// The four a or b Cromer-Mann coefficients as one value.
void SiteCoefficients(py::class_<Site>& cls, const char* name, double AtomSite::*const (&members)[4]) {
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
      });
}

// name, element, charge, position and the scattering values.
void SiteValues(py::class_<Site>& site) {
  SiteField(site, "name", &AtomSite::name);
  SiteField(site, "element", &AtomSite::nr);
  SiteField(site, "charge", &AtomSite::ionCharge);
  SiteField(site, "x", &AtomSite::x);
  SiteField(site, "y", &AtomSite::y);
  SiteField(site, "z", &AtomSite::z);
  site.def_property(
      "position",
      [](Site& s) { return s.Read([](AtomSite& a) { return std::tuple{a.x, a.y, a.z}; }); },
      [](Site& s, std::tuple<double, double, double> p) {
        s.Change([&p](AtomSite& a) { std::tie(a.x, a.y, a.z) = p; });
      },
      "(x, y, z) at once: a site moved coordinate by coordinate may pass a position another\n"
      "site holds, which is refused.");
  SiteField<double>(site, "c", &AtomSite::c);
  SiteField<double>(site, "neutron_length", &AtomSite::s);
  SiteField<double>(site, "f_prime", &AtomSite::fprim);
  SiteField<double>(site, "f_double_prime", &AtomSite::fbis);
  site.def_property(
      "occupancy", [](Site& s) { return s.Read([](AtomSite& a) { return a.occupancy; }); }, &SetOccupancy,
      "The share of the site its atom fills, greater than 0 and at most 1.");
  site.def_property(
      "b_iso", [](Site& s) { return s.Read([](AtomSite& a) { return a.biso; }); }, &SetSiteB,
      "The site's own isotropic displacement B in square angstrom; None: the structure's b_factor\n"
      "(when temperature_factor is on).");
  SiteCoefficients(site, "a", kSiteA);
  SiteCoefficients(site, "b", kSiteB);
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
           py::arg("name") = "", py::arg("x") = 0.0, py::arg("y") = 0.0, py::arg("z") = 0.0);
  SiteValues(site);
  site.def("copy", [](Site& s) {
    Site c;
    c.own = s.Value();
    return c;
  });
  site.def("__repr__", [](Site& s) {
    const AtomSite a = s.Value();
    return py::str("Site({!r}, {}, {}, {})").format(a.name, a.x, a.y, a.z);
  });
}

void RegisterSiteList(StructureClass& cls) {
  cls.def_property("sites", &SitesOf, &SetSites,
                   "The sites: with a space group those of the asymmetric unit, from which the cell is\n"
                   "generated; else the atoms of the lattice type's cell.");
}

}  // namespace pelmora::python
