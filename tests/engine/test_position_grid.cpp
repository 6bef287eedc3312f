#include <gtest/gtest.h>

#include <random>
#include <set>

#include "engine/LatticeType.h"
#include "engine/PositionGrid.h"

namespace pelmora {

// Every pair closer than the tolerance (up to whole cell translations) is
// offered, also across the cell's faces and for positions outside the cell;
// no position is offered twice.
TEST(PositionGrid, OffersEveryNearPositionOnce) {
  const double tol = 0.002;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.5, 2.5);
  std::vector<std::array<double, 3>> points;
  for (int i = 0; i < 3000; ++i) points.push_back({u(rng), u(rng), u(rng)});
  // Near twins, some across a face: 0.9995 beside 0.0005, -0.0009 beside 0.0009.
  points.push_back({0.9995, 0.5, 0.25});
  points.push_back({0.0005, 0.5, 0.2515});
  points.push_back({-0.0009, 2.0, 1.0});
  points.push_back({0.0009, 0.9991, 0.0});
  for (size_t expected : {size_t{1}, size_t{8}, points.size()}) {
    PositionGrid grid(tol, expected);
    for (size_t i = 0; i < points.size(); ++i) grid.Add(points[i], static_cast<int>(i));
    size_t pairs = 0;
    for (size_t q = 0; q < points.size(); ++q) {
      std::multiset<int> offered;
      grid.ForNear(points[q], [&](int id) { offered.insert(id); });
      for (int id : offered) ASSERT_EQ(offered.count(id), 1u);
      for (size_t i = 0; i < points.size(); ++i)
        if (SameSite(kTriclinic, points[q], points[i], tol)) {
          ++pairs;
          EXPECT_EQ(offered.count(static_cast<int>(i)), 1u) << expected << " " << q << " " << i;
        }
    }
    EXPECT_GE(pairs, points.size() + 4);  // each with itself, and the two twins both ways
  }
}

}  // namespace pelmora
