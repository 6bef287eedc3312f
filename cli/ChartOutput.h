// pelmora-cli calc --chart: the chart of the calculated pattern as a PNG,
// SVG, PDF or EMF picture, drawn by the program's own chart painter.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace pelmora {
class CKomorka;
class PatternGrid;
struct CSettings;
}  // namespace pelmora

namespace pelmora::cli {

struct ChartOptions {
  std::string file;  // empty: no chart
  std::string size;  // "WxH" in pixels; empty: 1417x1003 (240 x 170 mm at 150 dpi)
  bool descriptions = false;
  bool ka1 = true, ka2 = true;
  int width = 0, height = 0;  // from `size` after the check
};

void AddChartOptions(CLI::App& cmd, ChartOptions& o);

// Checks the file's extension and the size before any calculation: 0, or
// after a message 1 (bad arguments) or 4 (the chart module cannot be loaded).
int CheckChartOptions(ChartOptions& o);

// Draws the chart over the document's 2-theta range: 0, or 4 when the file
// was not written.
int WriteChart(const ChartOptions& o, const CKomorka& doc, const PatternGrid& grid, const CSettings& settings);

}  // namespace pelmora::cli
