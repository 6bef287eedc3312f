#include "app/ui/PatternAdapter.h"

#include <cmath>

#include "diffractogram/ui/DownView.h"

namespace pelmora {

// Development stand-in until the synthesis module is merged.
double SynthesisePattern(CKomorka& doc, const CSettings&, int, std::vector<ChartPoint>& grid) {
  double maximum = 0;
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = {i * 0.005, 0.0};
  for (const Reflection& r : doc.reflectionsAll) {
    const double tt = TwoThetaDegrees(r);
    const double H = 0.1;
    for (int i = std::max(0, int((tt - 1) / 0.005)); i < std::min<int>(grid.size(), int((tt + 1) / 0.005)); ++i) {
      if (grid[i].twoTheta < doc.angleMin || grid[i].twoTheta > doc.angleMax) continue;
      const double d = grid[i].twoTheta - tt;
      grid[i].intensity += r.intensity * 0.939437278699651 / H * std::exp(-2.77258872223978 * d * d / (H * H));
      maximum = std::max(maximum, grid[i].intensity);
    }
  }
  return maximum;
}

void PrepareProfile(CMainFrame&, int) {}
void ExportDisplayedPattern(QWidget*, CDownView&) {}
void ShowPluginsDialog(QWidget*) {}

}  // namespace pelmora
