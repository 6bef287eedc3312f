#include "engine/Crystal.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/CellCoordinate.h"
#include "engine/PositionGrid.h"
#include "engine/SpaceGroup.h"

namespace pelmora {

bool Crystal::FitsCapacity(LatticeType type, size_t nStructureAtoms) {
  return nStructureAtoms * static_cast<size_t>(CentringMultiplicity(type)) <= static_cast<size_t>(kMaxAtoms);
}

void Crystal::DropSpaceGroup() {
  for (AtomSite& at : structureAtoms) at.asymSite = -1;
  spaceGroup.clear();
  asymmetricUnit.clear();
  ExpandCellAtoms();
}

bool Crystal::TakeSpaceGroup(const SpaceGroupSetting& g) {
  if (spaceGroup.empty()) {
    // The atoms as they stand, each kept unless an earlier kept one of the
    // same kind gives it.
    std::vector<AtomSite> sites;
    std::vector<GeneratedCell> orbits;
    // The kept sites' images by position; an atom is looked for there and
    // at its centring copies (whichever centring the orbit has).
    PositionGrid images(kSiteMergeTolerance, cellAtoms.size());
    static constexpr std::array<double, 3> kShifts[] = {
        {0, 0, 0}, {0.5, 0.5, 0}, {0.5, 0, 0.5}, {0, 0.5, 0.5}, {0.5, 0.5, 0.5}};
    for (const AtomSite& at : cellAtoms) {
      bool given = false;
      const auto check = [&](int id) {
        const size_t i = static_cast<size_t>(id);
        if (given || !(sites[i].factors() == at.factors() && sites[i].name == at.name &&
                       sites[i].occupancy == at.occupancy && sites[i].biso == at.biso))
          return;
        for (const AtomSite& a : orbits[i].structureAtoms)
          given = given || SameSite(orbits[i].latticeType, {a.x, a.y, a.z}, {at.x, at.y, at.z}, kSiteMergeTolerance);
      };
      for (const auto& shift : kShifts)
        if (!given) images.ForNear({at.x + shift[0], at.y + shift[1], at.z + shift[2]}, check);
      if (given) continue;
      AtomSite site = at;
      site.asymSite = static_cast<int>(sites.size());
      orbits.push_back(GenerateCell(g, {site}, kMaxAtoms));
      for (const AtomSite& a : orbits.back().structureAtoms) images.Add({a.x, a.y, a.z}, site.asymSite);
      sites.push_back(std::move(site));
    }
    asymmetricUnit = std::move(sites);
  }
  spaceGroup = g.Name();
  return ExpandCellAtoms();
}

bool Crystal::ExpandCellAtoms() {
  bool generatedAll = true;
  if (!spaceGroup.empty()) {
    if (const std::optional<SpaceGroupSetting> g = FindSpaceGroup(spaceGroup)) {
      GeneratedCell cell = GenerateCell(*g, asymmetricUnit, kMaxAtoms);
      generatedAll = cell.fits;
      latticeType = cell.latticeType;
      for (int i = 0; i < kBravaisCount; ++i)
        if (BravaisTable[static_cast<size_t>(i)].type == latticeType) bravaisIndex = i;
      for (size_t i = 0; i < asymmetricUnit.size(); ++i) asymmetricUnit[i].asymSite = static_cast<int>(i);
      structureAtoms = std::move(cell.structureAtoms);
    }
  }
  const int n = CentringMultiplicity(latticeType);
  static constexpr double kFaceShifts[4][3] = {{0, 0, 0}, {0.5, 0.5, 0}, {0.5, 0, 0.5}, {0, 0.5, 0.5}};
  const size_t fit = std::min(structureAtoms.size(), static_cast<size_t>(kMaxAtoms / n));
  cellAtoms.clear();
  cellAtoms.reserve(fit * n);
  for (size_t i = 0; i < fit; ++i) {
    for (int copy = 0; copy < n; ++copy) {
      AtomSite at = structureAtoms[i];
      if (copy > 0) {
        double dx = 0, dy = 0, dz = 0;
        if (latticeType & kFaceCentred) {
          dx = kFaceShifts[copy][0];
          dy = kFaceShifts[copy][1];
          dz = kFaceShifts[copy][2];
        } else if (latticeType & kBaseCentred) {
          dx = dy = 0.5;
        } else {  // body-centred
          dx = dy = dz = 0.5;
        }
        at.x += dx;
        at.y += dy;
        at.z += dz;
      }
      cellAtoms.push_back(std::move(at));
    }
  }
  for (AtomSite& at : cellAtoms) {
    at.x = IntoCell(at.x);
    at.y = IntoCell(at.y);
    at.z = IntoCell(at.z);
  }
  return generatedAll && fit == structureAtoms.size();
}

int Crystal::CopyStructureAtoms(std::vector<AtomSite>& out) const {
  out = structureAtoms;
  return static_cast<int>(out.size());
}

int Crystal::CopyCellAtoms(std::vector<AtomSite>& out) const {
  out = cellAtoms;
  if (latticeType == 0) return static_cast<int>(out.size());
  const size_t nCell = cellAtoms.size();
  for (size_t i = 0; i < nCell; ++i) {
    for (int dz = -1; dz <= 1; ++dz)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0 && dz == 0) continue;
          const AtomSite& src = cellAtoms[i];
          const double x = src.x + dx, y = src.y + dy, z = src.z + dz;
          if (x < 0.0 || x > 1.0 || y < 0.0 || y > 1.0 || z < 0.0 || z > 1.0) continue;
          if (out.size() >= static_cast<size_t>(kMaxImageRecords)) return static_cast<int>(out.size());
          AtomSite img = src;
          img.x = x;
          img.y = y;
          img.z = z;
          out.push_back(std::move(img));
        }
  }
  return static_cast<int>(out.size());
}

void Crystal::UpdateAtomDisplay(const AtomSite& edited) {
  // With a group the site keeps the look of its images.
  if (!spaceGroup.empty() && edited.asymSite >= 0 && static_cast<size_t>(edited.asymSite) < asymmetricUnit.size()) {
    AtomSite& site = asymmetricUnit[static_cast<size_t>(edited.asymSite)];
    site.color = edited.color;
    site.radius = edited.radius;
    site.visible = edited.visible;
  }
  for (AtomSite& at : structureAtoms) {
    if (at.siteIndex != edited.siteIndex) continue;
    at.color = edited.color;
    at.radius = edited.radius;
    at.visible = edited.visible;
  }
  ExpandCellAtoms();
}

int Crystal::FindOccupiedSite(double x, double y, double z) const {
  for (size_t i = 0; i < structureAtoms.size(); ++i) {
    const AtomSite& at = structureAtoms[i];
    if (SameSite(latticeType, {at.x, at.y, at.z}, {x, y, z})) return static_cast<int>(i);
  }
  return -1;
}

bool Crystal::HasSiteDisplacements() const {
  return std::any_of(cellAtoms.begin(), cellAtoms.end(), [](const AtomSite& at) { return at.biso.has_value(); });
}

void Crystal::RebuildStructureFromCell() {
  // The cell list holds the n centring copies of each site one after another.
  const int n = CentringMultiplicity(latticeType);
  const int N = static_cast<int>(cellAtoms.size());
  structureAtoms.clear();
  for (int i = std::max(N - kMaxRebuiltSites * n, 0); i <= N - 1; i += n) {
    AtomSite at = cellAtoms[i];
    at.siteIndex = static_cast<int>(structureAtoms.size());
    structureAtoms.push_back(std::move(at));
  }
}

bool Crystal::SetSystemFromName(const std::string& name) {
  for (LatticeType code = 1; code <= 7; ++code) {
    if (name == kSystemNames[code]) {
      latticeType = code;
      return true;
    }
  }
  return false;
}

bool Crystal::SetCentringFromLetter(const std::string& letter) {
  if (letter == "P") return true;
  if (letter == "I") {
    latticeType |= kBodyCentred;
    return true;
  }
  if (letter == "F") {
    latticeType |= kFaceCentred;
    return true;
  }
  if (letter == "C") {
    latticeType |= kBaseCentred;
    return true;
  }
  return false;
}

}  // namespace pelmora
