// The structures the benchmarks time.
#pragma once

#include <random>

#include "engine/Komorka.h"

namespace pelmora::bench {

// Case LARGE: cubic P, a = 25 A, 400 atoms of four elements at fixed
// pseudo-random positions, Cu Ka1 1.54056 A only, 2-theta 5..150 degrees.
// Other atom counts and cell lengths make the scale cases (2000 atoms in
// 40 A, ...); a hexagonal c makes a hexagonal cell a, a, hexC (the size of a
// protein crystal's cell).
inline void BuildLargeCase(CKomorka& doc, int atoms = 400, double a = 25.0, double hexC = 0.0) {
  doc.crystal.latticeType = hexC > 0.0 ? kHexagonal : kCubic;
  doc.cell.a = doc.cell.b = a;
  doc.cell.c = hexC > 0.0 ? hexC : a;
  doc.cell.alfa = doc.cell.beta = 90.0;
  doc.cell.gamma = hexC > 0.0 ? 120.0 : 90.0;
  doc.experiment.lambda1 = 1.54056;
  doc.experiment.lambda2 = 0.0;
  doc.experiment.angleMin = 5.0;
  doc.experiment.angleMax = 150.0;
  // IT1992 coefficients of O, Si, Ca and Fe.
  const double coef[4][9] = {
      {3.0485, 13.2771, 2.2868, 5.7011, 1.5463, 0.3239, 0.867, 32.9089, 0.2508},
      {6.2915, 2.4386, 3.0353, 32.3337, 1.9891, 0.6785, 1.541, 81.6937, 1.1407},
      {8.6266, 10.4421, 7.3873, 0.6599, 1.5899, 85.7484, 1.0211, 178.437, 1.3751},
      {11.7695, 4.7611, 7.3573, 0.3072, 3.5222, 15.3535, 2.3045, 76.8805, 1.0369},
  };
  const char* names[4] = {"O", "Si", "Ca", "Fe"};
  std::mt19937 rng(20261206);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  doc.crystal.structureAtoms.clear();
  for (int i = 0; i < atoms; ++i) {
    const double* c = coef[i % 4];
    AtomSite at;
    at.name = names[i % 4];
    at.x = u(rng);
    at.y = u(rng);
    at.z = u(rng);
    at.a1 = c[0], at.b1 = c[1], at.a2 = c[2], at.b2 = c[3], at.a3 = c[4], at.b3 = c[5], at.a4 = c[6], at.b4 = c[7];
    at.c = c[8];
    at.siteIndex = i;
    doc.crystal.structureAtoms.push_back(at);
  }
  doc.crystal.ExpandCellAtoms();
}

}  // namespace pelmora::bench
