// Reads a CIF with gemmi's own small-structure reader and prints what it
// makes of it: the space group, the cell, then every atom of the unit cell
// as "Z x y z occupancy B", Z the atomic number. The CIF-out test compares it
// with the structure the CIF was written from.
#include <cstdio>

#include <gemmi/cif.hpp>
#include <gemmi/smcif.hpp>

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const gemmi::cif::Document doc = gemmi::cif::read_file(argv[1]);
  const gemmi::SmallStructure st = gemmi::make_small_structure_from_block(doc.sole_block());
  const gemmi::SpaceGroup* sg = st.find_spacegroup();
  std::printf("%s\n", sg ? sg->xhm().c_str() : "?");
  std::printf("%.6f %.6f %.6f %.6f %.6f %.6f\n", st.cell.a, st.cell.b, st.cell.c, st.cell.alpha, st.cell.beta,
              st.cell.gamma);
  for (const gemmi::SmallStructure::Site& s : st.get_all_unit_cell_sites())
    std::printf("%d %.6f %.6f %.6f %.6f %.6f\n", s.element.atomic_number(), s.fract.x, s.fract.y, s.fract.z, s.occ,
                s.u_iso * gemmi::u_to_b());
  return 0;
}
