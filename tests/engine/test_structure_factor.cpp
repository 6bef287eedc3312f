// Structure factors and the intensity formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <random>

#include "TestUtil.h"
#include "engine/Intensities.h"
#include "engine/Komorka.h"
#include "engine/StructureFactorKernel.h"

using namespace pelmora;
using namespace pelmora::test;

// The search sums many rows of one h in blocks of atoms and takes each
// reflection's Friedel mate from its sums: both must give the bits of the
// plain row-by-row sums, or reflection lists would change with the cell size.
TEST(StructureFactor, BlockedRowsAndFriedelMatesGiveTheSameBits) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<AtomSite> atoms;
  for (int i = 0; i < 701; ++i) {  // species segments cross the blocks' edges
    AtomSite at = MakeAtom("A", u(rng), u(rng), u(rng), 3.0 + (i % 3), 5.0, 0.5, 4.0);
    if (i % 50 == 0) at.x = at.y = at.z = 0.0;  // sines of exactly zero
    atoms.push_back(at);
  }
  // Tables large enough to be filled on two threads.
  const StructureFactorKernel kernel(atoms, 8, 5, 7);
  const int ns = kernel.speciesCount();
  ASSERT_EQ(ns, 3);
  StructureFactorKernel::Scratch scratch, plainScratch;
  const std::vector<int> ks = {-5, -2, 0, 3, 5};
  const std::vector<std::vector<int>> ls = {{-7, 0, 7}, {1}, {-3, -2, -1, 4, 6}, {0}, {2, 5}};
  for (int h : {-6, 0, 4}) {
    std::vector<std::vector<double>> outs;
    std::vector<StructureFactorKernel::Row> rows;
    for (size_t r = 0; r < ks.size(); ++r) outs.emplace_back(ls[r].size() * ns * 2, -1.0);
    for (size_t r = 0; r < ks.size(); ++r)
      rows.push_back({ks[r], ls[r].data(), static_cast<int>(ls[r].size()), outs[r].data()});
    ASSERT_TRUE(kernel.PhaseSumsRows(h, rows.data(), static_cast<int>(rows.size()), scratch, nullptr));
    for (size_t r = 0; r < ks.size(); ++r)
      for (size_t j = 0; j < ls[r].size(); ++j) {
        std::vector<double> plain(ns * 2), mate(ns * 2);
        const int l = ls[r][j], minusL = -l;
        kernel.PhaseSums(h, ks[r], &l, 1, plain.data(), plainScratch);
        kernel.PhaseSums(-h, -ks[r], &minusL, 1, mate.data(), plainScratch);
        for (int s = 0; s < ns; ++s) {
          SCOPED_TRACE(::testing::Message() << h << " " << ks[r] << " " << l << " species " << s);
          const double C = outs[r][j * ns * 2 + 2 * s], S = outs[r][j * ns * 2 + 2 * s + 1];
          EXPECT_EQ(std::bit_cast<std::uint64_t>(C), std::bit_cast<std::uint64_t>(plain[2 * s]));
          EXPECT_EQ(std::bit_cast<std::uint64_t>(S), std::bit_cast<std::uint64_t>(plain[2 * s + 1]));
          EXPECT_EQ(mate[2 * s], C);
          EXPECT_EQ(std::bit_cast<std::uint64_t>(mate[2 * s + 1]), std::bit_cast<std::uint64_t>(0.0 - S));
          // And the sums themselves, straight from the positions.
          double c = 0.0, sn = 0.0;
          for (size_t i = s; i < atoms.size(); i += 3) {
            const double phi = 2.0 * M_PI * (h * atoms[i].x + ks[r] * atoms[i].y + l * atoms[i].z);
            c += std::cos(phi);
            sn += std::sin(phi);
          }
          EXPECT_NEAR(C, c, 1e-9);
          EXPECT_NEAR(S, sn, 1e-9);
        }
      }
  }
  // A cancel stops the sums.
  std::atomic<bool> cancel{true};
  std::vector<double> out(ns * 2);
  const int l = 1;
  const StructureFactorKernel::Row row{0, &l, 1, out.data()};
  EXPECT_FALSE(kernel.PhaseSumsRows(1, &row, 1, scratch, &cancel));
}

TEST(Intensity, FactorsAndConstants) {
  const double theta = 0.35;
  EXPECT_EQ(DebyeWallerFactor(theta, 1.5, 2.0, 0), 1.0);
  EXPECT_DOUBLE_EQ(DebyeWallerFactor(theta, 1.5, 2.0, 1), std::exp(-4.0 * std::pow(std::sin(theta) / 1.5, 2)));
  EXPECT_EQ(PolarisationFactor(theta, 1), 1.0);

  CKomorka doc;
  doc.cell.a = doc.cell.b = doc.cell.c = 4.0;
  doc.cell.RefreshCellMetric();
  Reflection g;
  g.theta = theta;
  g.f2 = 100.0;
  g.multiplicity = 6;
  // Worked by hand: K = re^2 / 16 pi, lambda = 1.54059 A, V = 64 A^3, R = 0.2 m,
  // slit and beam 1e-5 m^2-ish, speed one arc minute, absorption 0.01.
  const double lm = 1.54059e-10, K = 2.817938e-15 * 2.817938e-15 / 50.26548245743664;
  const double expected = lm * lm * lm * 1e6 * K * 1e-5 * 1e-5 * 100.0 * LorentzFactor(theta) *
                          PolarisationFactor(theta, 0) * 6 /
                          (0.04 * (64e-30 * 64e-30) * 0.0002908882086657213 * (2 * 1e-4 * 100));
  EXPECT_NEAR(doc.GroupIntensity(g, 1), expected, 1e-12 * expected);
  doc.experiment.ratio = 0.0;
  EXPECT_EQ(doc.GroupIntensity(g, 2), 0.0);
  doc.experiment.ratio = 0.5;
  EXPECT_NEAR(doc.GroupIntensity(g, 2) / expected, 0.5 * std::pow(doc.experiment.lambda2 / doc.experiment.lambda1, 3),
              1e-12);
  doc.experiment.radiation = 1;
  const double neutron = doc.GroupIntensity(g, 1);
  EXPECT_NEAR(neutron / expected, 1.989436788648694e-32 / K / PolarisationFactor(theta, 0), 1e-12);
}
