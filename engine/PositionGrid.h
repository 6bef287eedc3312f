// Fractional positions binned in the unit cell, so that the ones near a
// position (up to whole cell translations) are found without looking at
// all of them: merging the images of tens of thousands of sites would
// otherwise take time growing with the square of their number.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pelmora {

class PositionGrid {
 public:
  // Positions closer than `tolerance` in every coordinate are found; about
  // `expected` positions will be added.
  PositionGrid(double tolerance, size_t expected) {
    // Bins at least twice the tolerance wide, so a near position lies in
    // the bin of the query or in one beside it; about two positions a bin,
    // at most 64³ bins.
    const double widest = std::floor(1.0 / (2.0 * std::max(tolerance, 1e-12)));
    const double wanted = std::cbrt(static_cast<double>(std::max<size_t>(expected, 1)) / 2.0);
    n_ = static_cast<int>(std::clamp(std::floor(wanted), 1.0, std::min(widest, 64.0)));
    bins_.resize(static_cast<size_t>(n_) * n_ * n_);
  }

  void Add(const std::array<double, 3>& p, int id) {
    const std::array<int, 3> b = BinOf(p);
    bins_[Index(b[0], b[1], b[2])].push_back(id);
  }

  // Calls f(id) for every id whose position may be within the tolerance of
  // p: a superset, each id once; the caller compares the positions.
  template <class F>
  void ForNear(const std::array<double, 3>& p, F&& f) const {
    const std::array<int, 3> b = BinOf(p);
    std::array<std::array<int, 3>, 3> axis{};
    std::array<int, 3> count{};
    for (int k = 0; k < 3; ++k)
      for (int d = -1; d <= 1; ++d) {
        const int v = ((b[k] + d) % n_ + n_) % n_;
        if (std::find(axis[k].begin(), axis[k].begin() + count[k], v) == axis[k].begin() + count[k])
          axis[k][count[k]++] = v;
      }
    for (int i = 0; i < count[0]; ++i)
      for (int j = 0; j < count[1]; ++j)
        for (int k = 0; k < count[2]; ++k)
          for (int id : bins_[Index(axis[0][i], axis[1][j], axis[2][k])]) f(id);
  }

 private:
  std::array<int, 3> BinOf(const std::array<double, 3>& p) const {
    std::array<int, 3> b{};
    for (int k = 0; k < 3; ++k) {
      double v = p[k] - std::floor(p[k]);
      if (!std::isfinite(v)) v = 0.0;
      b[k] = std::clamp(static_cast<int>(v * n_), 0, n_ - 1);
    }
    return b;
  }
  size_t Index(int i, int j, int k) const { return (static_cast<size_t>(i) * n_ + j) * n_ + k; }

  int n_ = 1;
  std::vector<std::vector<int>> bins_;
};

}  // namespace pelmora
