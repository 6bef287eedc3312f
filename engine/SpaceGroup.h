// Space groups of a structure: the settings of International Tables (from
// gemmi's table), the cell generated from an asymmetric unit, the Wyckoff
// positions of its sites and the group of a whole cell (spglib).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AtomSite.h"
#include "engine/LatticeType.h"

namespace pelmora {

struct Crystal;
struct UnitCell;

// Images of one site closer than this in every fractional coordinate (after
// wrapping into the cell) are one atom: a site on a special position.
inline constexpr double kSiteMergeTolerance = 0.002;

// One setting of a space group.
struct SpaceGroupSetting {
  int number = 0;
  std::string hm;    // Hermann-Mauguin symbol of this setting: "P 42/m n m", "P b n m", "R -3 m"
  std::string ext;   // "1" or "2" (origin choice), "H" or "R" (axes), or empty
  std::string hall;  // Hall symbol
  std::string qualifier;  // the monoclinic cell choice and unique axis ("b1", "-c3"), or empty
  LatticeType system = kTriclinic;  // the program's crystal system of the setting
  int order = 1;                    // operators including the centring
  // "P 42/m n m", "F d -3 m:2", "R -3 m:H": what the structure file and the
  // document keep.
  std::string Name() const { return ext.empty() ? hm : hm + ":" + ext; }
};

// Every setting gemmi lists, in its order (by number).
const std::vector<SpaceGroupSetting>& SpaceGroupSettings();
// The setting a user or a file names: a Hermann-Mauguin symbol with or
// without its setting (":2", ":H"), a number (its first setting), or a
// Hall symbol. Nothing for text that is none of them.
std::optional<SpaceGroupSetting> FindSpaceGroup(std::string_view text);
// The symmetry operators of a setting as "x,y,z" triplets, centring included.
std::vector<std::string> SymmetryTriplets(const SpaceGroupSetting& g);
// One operator as an integer rotation (row-major) and a fractional
// translation: x' = R x + t. For code that does not see gemmi.
struct SymmetryOperator {
  std::array<int, 9> rot{};
  std::array<double, 3> tran{};
};
// Every operator of a crystal's cell: its group's with the centring, or
// without a group the identity and the lattice's centring shifts. The
// identity comes first.
std::vector<SymmetryOperator> SymmetryOperatorsOf(const Crystal& crystal);

// The lattice type a group gives: its crystal system, with the program's
// centring when the group has one of the program's lattice types.
LatticeType LatticeTypeOf(const SpaceGroupSetting& g);
// The axis whose angle a monoclinic setting leaves free ("P 1 1 2" has c,
// "P 2 1 1" a, the others b); 'b' for the other systems.
char UniqueAxisOf(const SpaceGroupSetting& g);
// Ties the cell constants as the group's crystal system demands (the unique
// axis of a monoclinic setting keeps its angle free).
void TieCellToGroup(const SpaceGroupSetting& g, UnitCell& cell);

// The structure atoms of a group's cell: every site's images, one of each
// centring class of latticeType. Each atom keeps its site in asymSite.
// False (and only what fits) when they would be more than maxAtoms.
struct GeneratedCell {
  LatticeType latticeType = kTriclinic;
  std::vector<AtomSite> structureAtoms;
  bool fits = true;
};
GeneratedCell GenerateCell(const SpaceGroupSetting& g, const std::vector<AtomSite>& sites, size_t maxAtoms);

// The number of atoms a site at p gives in the cell (its multiplicity).
int SiteMultiplicity(const SpaceGroupSetting& g, const std::array<double, 3>& p);
// The special position a site typed near one stands for (0.3333 for 1/3):
// the position with coordinates in 24ths whose images the site's merge
// into; nothing when the site is exactly on it or on no special position.
std::optional<std::array<double, 3>> NearSpecialPosition(const SpaceGroupSetting& g, const std::array<double, 3>& p);

// The Wyckoff letter of each site of a generated cell (spglib's, in the
// group's setting); '?' where spglib gives none, and for every site while
// the atoms have a higher symmetry than the group. A cell of more than 2000
// atoms is asked site by site, as WyckoffLettersByProbes does.
std::vector<char> WyckoffLetters(const SpaceGroupSetting& g, const UnitCell& cell, const std::vector<AtomSite>& cellAtoms,
                                 int siteCount);
// Each site's letter from a small cell of its own images and those of a
// point in general position: no search over the whole cell (a protein's
// tens of thousands of atoms), and a letter in the group whatever symmetry
// the other atoms add.
std::vector<char> WyckoffLettersByProbes(const SpaceGroupSetting& g, const UnitCell& cell,
                                         const std::vector<AtomSite>& cellAtoms, int siteCount);

// The group spglib finds for a whole cell within `tolerance` angstrom, in
// the setting of the cell as it is (its axes and origin), and the
// asymmetric unit: one atom of each orbit at the orbit's symmetrised
// position, the mean of its members brought back by the operators (on a
// special position, the mean over the operators that keep it too), with
// the largest distance of a member from its symmetrised place. Nothing
// when spglib finds no group or none that fits the cell unchanged.
struct FoundSymmetry {
  SpaceGroupSetting group;
  std::vector<AtomSite> sites;
  std::vector<double> deviations;  // per site, in angstrom
};
std::optional<FoundSymmetry> FindSymmetry(const UnitCell& cell, const std::vector<AtomSite>& cellAtoms,
                                          double tolerance);

}  // namespace pelmora
