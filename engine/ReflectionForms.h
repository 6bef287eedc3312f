// Which reflections make one form, and so one line of the list: the images
// of (h k l) under the Laue group of the structure's space group, or, for a
// structure given by its lattice alone, under the symmetry of its metric
// that its atoms keep. Bijvoet mates belong to one form: a powder pattern
// cannot tell them apart.
#pragma once

#include <array>
#include <vector>

namespace pelmora {

struct Crystal;
struct UnitCell;

class ReflectionForms {
 public:
  using Matrix = std::array<int, 9>;  // row-major, acting on (h k l) as a column

  // The operators given, with their negatives, as a group.
  explicit ReflectionForms(const std::vector<Matrix>& ops);
  // The Laue group of the crystal's space group; without one, the integer
  // matrices with entries -1, 0, 1 that keep the cell's reciprocal metric
  // and whose operations map the cell's atoms onto atoms of their kind
  // (within kSiteMergeTolerance, with some translation).
  static ReflectionForms Of(const Crystal& crystal, const UnitCell& cell);

  // Indices that all members of the form share and no other form has.
  std::array<int, 3> Key(int h, int k, int l) const;
  int order() const { return static_cast<int>(ops_.size()); }

 private:
  // Groups met in nearly every search get a shortcut.
  enum class Kind { kFriedel, kSignedPermutations, kSigns, kGeneral };
  std::vector<Matrix> ops_;
  Kind kind_ = Kind::kGeneral;
};

}  // namespace pelmora
