// The rules by which every front end edits a structure: the desktop pages,
// the command line's options, the Python setters and the fit's free cell
// constants all change a crystal through these, so that one crystal obeys
// one set of rules whichever of them edits it. Each operation either keeps
// the document's invariants or changes nothing and says why; the wording of
// a refusal is the front end's (Polish in the program, English in Python).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/CellTies.h"
#include "engine/Komorka.h"
#include "engine/SpaceGroup.h"

namespace pelmora {

enum class EditStatus {
  kDone,
  kTiedConstant,     // the constant follows another one in this crystal system
  kTiesBroken,       // a whole cell whose tied constants disagree
  kGroupDecides,     // the space group decides the lattice type
  kNoLatticeType,    // not one of the 14 lattice types
  kSitesPresent,     // a new lattice type would remove the structure's sites
  kUnknownGroup,     // no space group of that name
  kSiteOccupied,     // another site stands there (up to translations and centring)
  kOverCapacity,     // the cell would hold more than CKomorka::kMaxAtoms atoms
  kBadSiteValue,     // a coordinate, occupancy or B no site can have
  kNoSite,           // no site of that index
  kNotFinite,        // a value that is no number
  kEmptyRange,       // a 2-theta range whose minimum is not below its maximum
};

struct EditResult {
  EditStatus status = EditStatus::kDone;
  // kTiedConstant, kTiesBroken: the constant (0..5, a b c alfa beta gamma);
  // kSiteOccupied: the site already there; kBadSiteValue: the site's index.
  int index = -1;
  // kTiedConstant, kTiesBroken: the constant it follows; kSiteOccupied from
  // ReplaceSites: the site that would land there.
  int other = -1;
  // The edit was made, but something changed besides what was asked (the
  // range clamped to 0..180 degrees, f' and f'' left from another wavelength).
  bool clamped = false;
  bool anomalStale = false;

  bool ok() const { return status == EditStatus::kDone; }
};

// --- the cell -------------------------------------------------------------------

// The axis whose angle a monoclinic cell leaves free: 'b', or the one the
// document's space group setting names ("P 1 1 2" has c, "P 2 1 1" a).
char UniqueAxisOf(const Crystal& crystal);

// The document's cell tied by its lattice type (and group); true when a
// constant changed (a file whose cell broke the ties has been mended).
bool TieDocumentCell(CKomorka& doc);

// One constant set: a free one, with the constants that follow it. A tied
// or fixed constant is refused (kTiedConstant), as the page keeps its field
// shut, unless it is given the value it has.
EditResult SetCellConstant(CKomorka& doc, int index, double value);
// All six at once: the free ones are taken, and the tied ones must agree with
// them (kTiesBroken names the first that does not); nothing changes then.
EditResult SetCell(CKomorka& doc, const CellConstants& values);

// --- lattice type and space group -----------------------------------------------

// What becomes of the structure's sites when the lattice type changes: a
// new lattice empties the atom list, which the user must agree to.
enum class SitesOnLatticeChange { kRefuse, kClear };
// Sets one of the 14 lattice types (refused with a space group, which
// decides it). With sites present: kRefuse leaves everything as it is
// (kSitesPresent), kClear removes them. The cell is tied.
EditResult SetLatticeType(CKomorka& doc, LatticeType type, SitesOnLatticeChange sites);
// The lattice type of a system name (English or the program's own Polish)
// and a centring letter P, I, F or C; 0 when it is none of the 14.
LatticeType LatticeTypeFromNames(const std::string& system, const std::string& centring);
// The English name of a crystal system, as Python and the command line use.
const char* SystemEnglishName(LatticeType type);
// The English names LatticeTypeFromNames takes, as a refusal lists them:
// "systems: cubic, ...; centrings: P, I, F, C".
std::string LatticeNamesText();

// Sets the space group by symbol, number or Hall symbol (empty: none).
// Atoms typed without a group become its sites; without the group the
// generated atoms stay, each on its own. kOverCapacity: the group was set,
// but its atoms beyond the capacity are left out.
EditResult SetSpaceGroup(CKomorka& doc, const std::string& text);

// --- sites -----------------------------------------------------------------------

// Whether a site's own values are ones a site can have: finite coordinates,
// an occupancy OccupancyValid takes, a B SiteBValid takes.
bool SiteValuesValid(const AtomSite& site);
// The share of the site its atom fills: greater than 0 and at most 1.
bool OccupancyValid(double occupancy);
// The site's own B: none (the structure's is used), or finite and not negative.
bool SiteBValid(const std::optional<double>& b);
// Adds a site to the atoms the user edits (the group's sites, or the
// structure atoms): refused on an occupied position or over capacity.
EditResult AddSite(Crystal& crystal, AtomSite site);
// Replaces the site at `index`; refused when it would land where another
// site stands, or over capacity.
EditResult ReplaceSite(Crystal& crystal, std::size_t index, AtomSite site);
// Replaces every site: refused when two stand on one position, over
// capacity, or for a site with values no site can have.
EditResult ReplaceSites(Crystal& crystal, std::vector<AtomSite> sites);

// --- experiment ---------------------------------------------------------------------

// The 2-theta window as every editor takes it: clamped to 0..180 degrees.
// Sets `clamped` when it had to.
AngleWindow ClampAngleRange(double angleMin, double angleMax, bool* clamped = nullptr);
// Sets the window clamped; refused (nothing changed) for no numbers or a
// minimum not below the maximum.
EditResult SetAngleRange(ExperimentParams& e, double angleMin, double angleMax);

// Whether any structure atom has a non-zero f' or f''.
bool HasAnomalTerms(const Crystal& crystal);
// True when the atoms carry f' and f'' taken for another wavelength than the
// first one of the document's X-ray source.
bool AnomalTermsStale(const CKomorka& doc);
// Takes a radiation source (a table's entry, or the wavelengths typed):
// remembers which wavelength the atoms' f' and f'' belonged to, and sets
// anomalStale when they are now another wavelength's.
EditResult SetSource(CKomorka& doc, const RadiationSource& source);
EditResult SetWavelengths(CKomorka& doc, const Wavelengths& w);
// X-rays (0) or neutrons (1) with the source's wavelengths and name kept,
// as the command line's --radiation and Python's radiation switch it.
EditResult SetRadiation(CKomorka& doc, int radiation);
// For a front end that changed the source itself: the terms the atoms had
// were for the source left when nothing had said otherwise.
void NoteSourceChange(Crystal& crystal, double previousLambda1, int previousRadiation);

// What the command line and Python say of a refused edit (English; the
// program's pages word theirs in Polish): the document is the one edited.
std::string RefusalText(const EditResult& r, const CKomorka& doc);
// What they say besides of an edit that was made: the range clamped, f'
// and f'' of another wavelength; empty for none.
std::vector<std::string> EditNotes(const EditResult& r, const CKomorka& doc);

}  // namespace pelmora
