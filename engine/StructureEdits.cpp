#include "engine/StructureEdits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "engine/PositionGrid.h"
#include "io/NumberFormat.h"

namespace pelmora {

char UniqueAxisOf(const Crystal& crystal) {
  if (crystal.spaceGroup.empty() || (crystal.latticeType & kSystemMask) != kMonoclinic) return 'b';
  const std::optional<SpaceGroupSetting> g = FindSpaceGroup(crystal.spaceGroup);
  return g ? UniqueAxisOf(*g) : 'b';
}

bool TieDocumentCell(CKomorka& doc) {
  const CellConstants before = ConstantsOf(doc.cell);
  TieCell(doc.crystal.latticeType, UniqueAxisOf(doc.crystal), doc.cell);
  return ConstantsOf(doc.cell) != before;
}

EditResult SetCellConstant(CKomorka& doc, int index, double value) {
  EditResult r;
  if (index < 0 || index > 5) return {EditStatus::kNoSite};
  if (!FreeCellConstants(doc.crystal.latticeType, UniqueAxisOf(doc.crystal))[static_cast<size_t>(index)]) {
    // The value it has already is no change (s.a = s.b = s.c = 6.0 in Python).
    if (ConstantsOf(doc.cell)[static_cast<size_t>(index)] == value) return r;
    r.status = EditStatus::kTiedConstant;
    r.index = index;
    r.other = ConstantFollowed(doc.crystal.latticeType, index);
    return r;
  }
  if (!std::isfinite(value)) return {EditStatus::kNotFinite, index};
  CellConstants c = ConstantsOf(doc.cell);
  c[static_cast<size_t>(index)] = value;
  TieCell(doc.crystal.latticeType, UniqueAxisOf(doc.crystal), c);
  SetConstants(doc.cell, c);
  return r;
}

EditResult SetCell(CKomorka& doc, const CellConstants& values) {
  for (int i = 0; i < 6; ++i)
    if (!std::isfinite(values[static_cast<size_t>(i)])) return {EditStatus::kNotFinite, i};
  CellConstants tied = values;
  TieCell(doc.crystal.latticeType, UniqueAxisOf(doc.crystal), tied);
  for (int i = 0; i < 6; ++i)
    if (tied[static_cast<size_t>(i)] != values[static_cast<size_t>(i)]) {
      EditResult r{EditStatus::kTiesBroken, i};
      r.other = ConstantFollowed(doc.crystal.latticeType, i);
      return r;
    }
  SetConstants(doc.cell, values);
  return {};
}

// --- lattice type and space group -------------------------------------------------

namespace {
constexpr const char* kSystemEnglish[8] = {"",          "cubic",      "tetragonal", "orthorhombic",
                                           "rhombohedral", "hexagonal", "monoclinic", "triclinic"};
}  // namespace

const char* SystemEnglishName(LatticeType type) { return kSystemEnglish[type & kSystemMask]; }

std::string LatticeNamesText() {
  std::string text = "systems: ";
  for (LatticeType code = 1; code <= 7; ++code) text += std::string(code > 1 ? ", " : "") + kSystemEnglish[code];
  return text + "; centrings: P, I, F, C";
}

LatticeType LatticeTypeFromNames(const std::string& system, const std::string& centring) {
  LatticeType type = 0;
  for (LatticeType code = 1; code <= 7; ++code)
    if (system == kSystemEnglish[code] || system == kSystemNames[code]) type = code;
  if (centring == "I") type |= kBodyCentred;
  else if (centring == "F") type |= kFaceCentred;
  else if (centring == "C") type |= kBaseCentred;
  else if (centring != "P") return 0;
  for (const BravaisEntry& e : BravaisTable)
    if (e.type == type) return type;
  return 0;
}

EditResult SetLatticeType(CKomorka& doc, LatticeType type, SitesOnLatticeChange sites) {
  if (!doc.crystal.spaceGroup.empty()) return {EditStatus::kGroupDecides};
  int index = -1;
  for (int i = 0; i < kBravaisCount; ++i)
    if (BravaisTable[static_cast<size_t>(i)].type == type) index = i;
  if (index < 0) return {EditStatus::kNoLatticeType};
  if (!doc.crystal.structureAtoms.empty()) {
    if (sites == SitesOnLatticeChange::kRefuse) return {EditStatus::kSitesPresent};
    doc.crystal.structureAtoms.clear();
  }
  doc.crystal.bravaisIndex = index;
  doc.crystal.latticeType = type;
  doc.crystal.ExpandCellAtoms();
  TieDocumentCell(doc);
  return {};
}

EditResult SetSpaceGroup(CKomorka& doc, const std::string& text) {
  std::string name;
  if (!text.empty()) {
    const std::optional<SpaceGroupSetting> g = FindSpaceGroup(text);
    if (!g) return {EditStatus::kUnknownGroup};
    name = g->Name();
  }
  if (name == doc.crystal.spaceGroup) return {};
  if (!doc.SetSpaceGroup(name)) return {EditStatus::kOverCapacity};
  return {};
}

// --- sites ----------------------------------------------------------------------------

bool SiteValuesValid(const AtomSite& s) {
  return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && OccupancyValid(s.occupancy) &&
         SiteBValid(s.biso);
}

bool OccupancyValid(double occupancy) { return occupancy > 0.0 && occupancy <= 1.0; }

bool SiteBValid(const std::optional<double>& b) { return !b || (std::isfinite(*b) && *b >= 0.0); }

namespace {

// The site among `sites` (other than `skip`) on the position of `p`, up to
// whole translations and the centring; -1 when none is.
int OccupiedAmong(LatticeType type, const std::vector<AtomSite>& sites, const AtomSite& p, size_t skip) {
  for (size_t i = 0; i < sites.size(); ++i)
    if (i != skip && SameSite(type, {sites[i].x, sites[i].y, sites[i].z}, {p.x, p.y, p.z}))
      return static_cast<int>(i);
  return -1;
}

// The editable site (other than `skip`) that stands on the position of `p`.
// With a group the structure atoms are the sites' images, so a position any
// image of another site holds is taken.
int OccupiedSite(const Crystal& crystal, const AtomSite& p, size_t skip) {
  if (crystal.spaceGroup.empty()) return OccupiedAmong(crystal.latticeType, crystal.structureAtoms, p, skip);
  for (const AtomSite& at : crystal.structureAtoms)
    if (static_cast<size_t>(at.asymSite) != skip && SameSite(crystal.latticeType, {at.x, at.y, at.z}, {p.x, p.y, p.z}))
      return at.asymSite;
  return -1;
}

// Installs the editable atoms and expands them; the old ones come back when
// the cell would overflow.
EditResult Install(Crystal& crystal, std::vector<AtomSite> atoms) {
  if (crystal.spaceGroup.empty() && !Crystal::FitsCapacity(crystal.latticeType, atoms.size()))
    return {EditStatus::kOverCapacity};
  for (size_t i = 0; i < atoms.size(); ++i) atoms[i].siteIndex = static_cast<std::int32_t>(i);
  std::vector<AtomSite> old = std::exchange(crystal.EditableAtoms(), std::move(atoms));
  if (crystal.ExpandCellAtoms()) return {};
  crystal.EditableAtoms() = std::move(old);
  crystal.ExpandCellAtoms();
  return {EditStatus::kOverCapacity};
}

}  // namespace

EditResult AddSite(Crystal& crystal, AtomSite site) {
  if (!SiteValuesValid(site)) return {EditStatus::kBadSiteValue};
  if (const int at = OccupiedSite(crystal, site, SIZE_MAX); at >= 0) return {EditStatus::kSiteOccupied, at};
  std::vector<AtomSite> atoms = crystal.EditableAtoms();
  atoms.push_back(std::move(site));
  return Install(crystal, std::move(atoms));
}

EditResult ReplaceSite(Crystal& crystal, std::size_t index, AtomSite site) {
  std::vector<AtomSite> atoms = crystal.EditableAtoms();
  if (index >= atoms.size()) return {EditStatus::kNoSite};
  if (!SiteValuesValid(site)) return {EditStatus::kBadSiteValue, static_cast<int>(index)};
  if (const int at = OccupiedSite(crystal, site, index); at >= 0) return {EditStatus::kSiteOccupied, at};
  atoms[index] = std::move(site);
  return Install(crystal, std::move(atoms));
}

EditResult ReplaceSites(Crystal& crystal, std::vector<AtomSite> sites) {
  for (size_t i = 0; i < sites.size(); ++i)
    if (!SiteValuesValid(sites[i])) return {EditStatus::kBadSiteValue, static_cast<int>(i)};
  if (crystal.spaceGroup.empty() && !Crystal::FitsCapacity(crystal.latticeType, sites.size()))
    return {EditStatus::kOverCapacity};
  // Binned, so that tens of thousands of sites are not compared pairwise.
  PositionGrid grid(kSameSiteTolerance, sites.size());
  std::vector<std::array<double, 3>> shifts = CentringShifts(crystal.latticeType);
  shifts.insert(shifts.begin(), {0.0, 0.0, 0.0});
  for (size_t i = 0; i < sites.size(); ++i) {
    const AtomSite& p = sites[i];
    int at = -1;
    for (const auto& d : shifts)
      grid.ForNear({p.x + d[0], p.y + d[1], p.z + d[2]}, [&](int id) {
        const AtomSite& q = sites[static_cast<size_t>(id)];
        if (at < 0 && SameSite(crystal.latticeType, {q.x, q.y, q.z}, {p.x, p.y, p.z})) at = id;
      });
    if (at >= 0) return {EditStatus::kSiteOccupied, at, static_cast<int>(i)};
    grid.Add({p.x, p.y, p.z}, static_cast<int>(i));
  }
  return Install(crystal, std::move(sites));
}

// --- experiment ------------------------------------------------------------------------

AngleWindow ClampAngleRange(double angleMin, double angleMax, bool* clamped) {
  AngleWindow w;
  w.angleMin = std::max(angleMin, 0.0);
  w.angleMax = std::min(angleMax, 180.0);
  if (clamped) *clamped = w.angleMin != angleMin || w.angleMax != angleMax;
  return w;
}

EditResult SetAngleRange(ExperimentParams& e, double angleMin, double angleMax) {
  if (!std::isfinite(angleMin) || !std::isfinite(angleMax)) return {EditStatus::kNotFinite};
  EditResult r;
  const AngleWindow w = ClampAngleRange(angleMin, angleMax, &r.clamped);
  if (!(w.angleMin < w.angleMax)) return {EditStatus::kEmptyRange};
  static_cast<AngleWindow&>(e) = w;
  return r;
}

bool HasAnomalTerms(const Crystal& crystal) {
  for (const AtomSite& at : crystal.structureAtoms)
    if (at.fprim != 0.0 || at.fbis != 0.0) return true;
  return false;
}

// Wavelengths closer than this (relative; under 1 eV at Cu K alpha) have the
// same terms for every purpose: two tables' values of one line differ more.
constexpr double kSameWavelength = 1e-4;

bool AnomalTermsStale(const CKomorka& doc) {
  return doc.experiment.radiation == 0 && doc.experiment.lambda1 > 0.0 && doc.crystal.anomalLambda > 0.0 &&
         std::abs(doc.crystal.anomalLambda - doc.experiment.lambda1) > kSameWavelength * doc.experiment.lambda1 && HasAnomalTerms(doc.crystal);
}

void NoteSourceChange(Crystal& crystal, double previousLambda1, int previousRadiation) {
  if (crystal.anomalLambda <= 0.0 && previousRadiation == 0 && previousLambda1 > 0.0) crystal.anomalLambda = previousLambda1;
}

EditResult SetSource(CKomorka& doc, const RadiationSource& source) {
  const double lambda1 = doc.experiment.lambda1;
  const int radiation = doc.experiment.radiation;
  doc.experiment.ApplySource(source);
  EditResult r;
  if (doc.experiment.lambda1 != lambda1 || doc.experiment.radiation != radiation) {
    NoteSourceChange(doc.crystal, lambda1, radiation);
    r.anomalStale = AnomalTermsStale(doc);
  }
  return r;
}

EditResult SetWavelengths(CKomorka& doc, const Wavelengths& w) {
  RadiationSource source;
  source.lambda1 = w.lambda1;
  source.lambda2 = w.lambda2;
  source.ratio = w.ratio;
  source.name = doc.experiment.sourceName;
  source.radiation = doc.experiment.radiation;
  return SetSource(doc, source);
}

EditResult SetRadiation(CKomorka& doc, int radiation) {
  return SetSource(doc, {doc.experiment.lambda1, doc.experiment.lambda2, doc.experiment.ratio, doc.experiment.sourceName, radiation});
}

// --- what the command line and Python say ----------------------------------------------------

namespace {

std::string Number(double v) { return cformat("%g", v); }

// "b follows a in a cubic cell" or "alfa is fixed at 90 degrees in a cubic cell".
std::string TieText(const EditResult& r, const CKomorka& doc) {
  const std::string system = std::string(" in a ") + SystemEnglishName(doc.crystal.latticeType) + " cell";
  const std::string name = kCellConstantNames[r.index];
  if (r.other >= 0) return name + " follows " + kCellConstantNames[r.other] + system;
  CellConstants c = ConstantsOf(doc.cell);
  TieCell(doc.crystal.latticeType, UniqueAxisOf(doc.crystal), c);
  return name + " is fixed at " + Number(c[static_cast<size_t>(r.index)]) + " degrees" + system;
}

}  // namespace

std::string RefusalText(const EditResult& r, const CKomorka& doc) {
  switch (r.status) {
    case EditStatus::kDone: return {};
    case EditStatus::kTiedConstant: return TieText(r, doc) + "; set the constant it follows";
    case EditStatus::kTiesBroken: return "the cell breaks its ties: " + TieText(r, doc);
    case EditStatus::kGroupDecides: return "the space group decides the lattice type; set space_group = None first";
    case EditStatus::kNoLatticeType: return "not one of the 14 lattice types; " + LatticeNamesText();
    case EditStatus::kSitesPresent:
      return "a new lattice type removes the structure's " + std::to_string(doc.crystal.EditableAtoms().size()) +
             " sites; remove them first (sites = [])";
    case EditStatus::kUnknownGroup:
      return "unknown space group: give a Hermann-Mauguin symbol (P 42/m n m), a number (1-230) or a Hall symbol";
    case EditStatus::kSiteOccupied:
      return "site " + std::to_string(r.index) +
             " already stands on that position (up to whole cell translations and the centring)";
    case EditStatus::kOverCapacity:
      return "the cell holds at most " + std::to_string(Crystal::kMaxAtoms) + " atoms after the centring";
    case EditStatus::kBadSiteValue:
      return "site " + std::to_string(r.index) +
             ": the coordinates must be numbers, the occupancy greater than 0 and at most 1, B 0 or more";
    case EditStatus::kNoSite: return "the site is no longer in the structure";
    case EditStatus::kNotFinite: return "the value must be a finite number";
    case EditStatus::kEmptyRange: return "the 2-theta range needs a minimum below its maximum, within 0-180 degrees";
  }
  return {};
}

std::vector<std::string> EditNotes(const EditResult& r, const CKomorka& doc) {
  std::vector<std::string> notes;
  if (r.clamped)
    notes.push_back("the 2-theta range was clamped to 0-180 degrees: " + Number(doc.experiment.angleMin) + " to " +
                    Number(doc.experiment.angleMax));
  if (r.anomalStale)
    notes.push_back("the atoms' f' and f'' are for lambda = " + Number(doc.crystal.anomalLambda) +
                    " A, not for the current source (lambda = " + Number(doc.experiment.lambda1) +
                    " A); take them for this source in the program's anomalous-factors page");
  return notes;
}

}  // namespace pelmora
