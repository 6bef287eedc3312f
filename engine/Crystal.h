// The crystal model of a structure document: the lattice type, the space
// group and the atom sites, and what concerns them alone (the expansion into
// the cell, the images for the 3D view, the readers' lattice words).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/AtomSite.h"
#include "engine/LatticeType.h"

namespace pelmora {

struct SpaceGroupSetting;

struct Crystal {
  static constexpr int kMaxAtoms = 100000;     // capacity of each atom list
  static constexpr int kMaxImageRecords = 255;  // CopyCellAtoms' list with boundary images
  static constexpr int kMaxRebuiltSites = 14;   // RebuildStructureFromCell keeps the last 14 sites

  // --- lattice --------------------------------------------------------------
  LatticeType latticeType = kCubic;
  // The row of BravaisTable the structure dialog shows; kept apart from the
  // type, since an older input file may give a row and keep the type.
  int bravaisIndex = 0;

  // --- space group ------------------------------------------------------------
  // The setting's name as SpaceGroupSetting::Name gives it ("P 42/m n m",
  // "F d -3 m:2"); empty for a structure given by its lattice type alone.
  // With a group, asymmetricUnit holds the sites and structureAtoms are
  // generated from them.
  std::string spaceGroup;
  std::vector<AtomSite> asymmetricUnit;

  // --- atoms (each list holds at most kMaxAtoms) ----------------------------
  std::vector<AtomSite> structureAtoms;
  std::vector<AtomSite> cellAtoms;

  // The first wavelength the atoms' f' and f'' were taken for; 0 while
  // nothing says (they are then taken to be the current source's). Not
  // saved: a file's terms are those of its own source.
  double anomalLambda = 0.0;

  // The atoms the user edits: the sites with a group, else the structure
  // atoms. ExpandCellAtoms after a change.
  std::vector<AtomSite>& EditableAtoms() { return spaceGroup.empty() ? structureAtoms : asymmetricUnit; }
  const std::vector<AtomSite>& EditableAtoms() const { return spaceGroup.empty() ? structureAtoms : asymmetricUnit; }

  // With the group removed the generated atoms stay, each on its own.
  void DropSpaceGroup();
  // Takes the group and the lattice type it gives. From no group the atoms
  // as they stand become the sites (an atom that is an image of an earlier
  // one of the same kind is dropped). ExpandCellAtoms' result.
  bool TakeSpaceGroup(const SpaceGroupSetting& g);

  // Rebuilds cellAtoms from structureAtoms and the lattice type; with a
  // space group, structureAtoms (and the lattice type) first from the
  // asymmetric unit. Returns false (and expands only what fits) when the
  // expansion would exceed the list's capacity.
  bool ExpandCellAtoms();
  // True when n structure atoms expand into at most kMaxAtoms cell atoms.
  static bool FitsCapacity(LatticeType type, size_t nStructureAtoms);
  int CopyStructureAtoms(std::vector<AtomSite>& out) const;
  // Cell atoms followed by their images on faces, edges and corners, for the
  // 3D view; the images stop at kMaxImageRecords records.
  int CopyCellAtoms(std::vector<AtomSite>& out) const;
  void UpdateAtomDisplay(const AtomSite& edited);
  // The first structure atom on the site (x, y, z) of this lattice, up to
  // whole cell translations and the centring vectors; -1 when it is free.
  int FindOccupiedSite(double x, double y, double z) const;
  void RebuildStructureFromCell();
  // Whether any cell atom has a displacement B of its own.
  bool HasSiteDisplacements() const;

  // --- file reader helpers ----------------------------------------------------
  bool SetSystemFromName(const std::string& name);
  bool SetCentringFromLetter(const std::string& letter);

  // Every member alike: an edit's history tells changed parts from kept ones.
  bool operator==(const Crystal&) const = default;
};

}  // namespace pelmora
