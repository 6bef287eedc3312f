// The cell's summary for the info panel: the formula unit in the order of
// a formula (metals, then non-metals by electronegativity), Z as the common
// divisor of the counts, and the density from IUPAC's standard atomic
// weights (Na 22.98977, Cl 35.453, Ti 47.867, O 15.9994, C 12.0107,
// H 1.00794, Fe 55.845, Ni 58.6934), worked out by hand:
// rho = sum(m) * 1.66053906660 / V. xraylib's weights, which the program
// takes, carry four figures: agreement to 1e-3.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "refdata/Composition.h"

using namespace pelmora;

namespace {

AtomSite Atom(int nr, double x, double y, double z, double occupancy = 1.0) {
  AtomSite a = test::MakeAtom("A", x, y, z);
  a.nr = nr;
  a.occupancy = occupancy;
  return a;
}

}  // namespace

TEST(Composition, FormulaZAndDensityOfKnownCells) {
  struct Case {
    const char* what;
    double a, c;
    std::vector<AtomSite> atoms;
    const char* formula;
    int z;
    double mass, density;
  };
  const std::vector<Case> cases = {
      // Rock salt: four Na and four Cl in the F cell.
      {"NaCl", 5.6402, 5.6402,
       {Atom(11, 0, 0, 0), Atom(11, 0.5, 0.5, 0), Atom(11, 0.5, 0, 0.5), Atom(11, 0, 0.5, 0.5),
        Atom(17, 0.5, 0.5, 0.5), Atom(17, 0, 0, 0.5), Atom(17, 0, 0.5, 0), Atom(17, 0.5, 0, 0)},
       "NaCl", 4, 58.44277, 2.1634973522744874},
      // Rutile, oxygen listed first: the formula still reads TiO2.
      {"TiO2", 4.594, 2.959,
       {Atom(8, 0.3, 0.3, 0), Atom(8, 0.7, 0.7, 0), Atom(8, 0.8, 0.2, 0.5), Atom(8, 0.2, 0.8, 0.5),
        Atom(22, 0, 0, 0), Atom(22, 0.5, 0.5, 0.5)},
       "TiO2", 2, 79.8658, 4.247300536592528},
      // A disordered bcc alloy: half-occupied sites give no whole counts.
      {"FeNi", 2.87, 2.87,
       {Atom(26, 0, 0, 0, 0.5), Atom(28, 0, 0, 0, 0.5), Atom(26, 0.5, 0.5, 0.5, 0.5), Atom(28, 0.5, 0.5, 0.5, 0.5)},
       "FeNi", 1, 114.5384, 8.045527421405131},
      // Carbon, hydrogen, then oxygen, as an organic formula reads.
      {"C2H6O", 10.0, 10.0,
       {Atom(8, 0.1, 0, 0), Atom(1, 0.2, 0, 0), Atom(1, 0.3, 0, 0), Atom(6, 0.4, 0, 0), Atom(1, 0.5, 0, 0),
        Atom(1, 0.6, 0, 0), Atom(6, 0.7, 0, 0), Atom(1, 0.8, 0, 0), Atom(1, 0.9, 0, 0)},
       "C2H6O", 1, 46.06844, 0.0764984443573181},
  };
  for (const Case& c : cases) {
    CKomorka doc;
    test::SetCell(doc.cell, c.a, c.a, c.c, 90, 90, 90);
    doc.crystal.cellAtoms = c.atoms;
    const CellComposition got = CompositionOf(doc);
    EXPECT_EQ(got.formula, c.formula) << c.what;
    EXPECT_EQ(got.z, c.z) << c.what;
    EXPECT_NEAR(got.formulaMass, c.mass, 1e-3 * c.mass) << c.what;
    EXPECT_NEAR(got.density, c.density, 1e-3 * c.density) << c.what;
  }
  // An empty cell has nothing to sum; a flat one no density.
  CKomorka empty;
  EXPECT_EQ(CompositionOf(empty).z, 0);
  EXPECT_EQ(CompositionOf(empty).formula, "");
  CKomorka flat;
  test::SetCell(flat.cell, 4, 4, 4, 90, 90, 180);
  flat.crystal.cellAtoms = {Atom(14, 0, 0, 0)};
  EXPECT_EQ(CompositionOf(flat).formula, "Si");
  EXPECT_EQ(CompositionOf(flat).density, 0.0);
}
