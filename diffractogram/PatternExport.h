// Numeric export of the displayed stretch of a pattern: the built-in text
// format and the chart-format plug-ins. The save dialog itself is the GUI's;
// everything it needs to decide and write is here.
#pragma once

#include <string>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/XAxis.h"
#include "plugins/PluginLists.h"

namespace pelmora {

// Grid points i0 ... i0 + count - 1 of the window [x0, x1]: i0 = round(x0 / 0.005),
// count = round((x1 - x0) / 0.005), held inside the grid.
struct PatternWindow {
  int first = 0;
  int count = 0;
};
PatternWindow ExportWindow(double x0, double x1);

// Largest intensity in the window, starting from 0.0.
double WindowMaximum(const PatternGrid& grid, PatternWindow window);

// 10000 / M; 1 when the window holds nothing above zero (an all-zero
// window would otherwise give an infinite scale).
double DefaultExportScale(double maximum);

// The save dialog's label of the maximum: "Wart. maksymalna: 2.5".
std::string FormatMaximumLabel(double maximum);

// The built-in text format: two header lines, then "%8.4f%10.2f" per point
// (intensity times scale), every line ended by CR LF. With d or Q as the
// abscissa (for the wavelength lambda) the header names it and the first
// column is "%10.5f" of d or Q; a point without a finite d (2-theta = 0) is
// left out.
std::string FormatPatternText(const PatternPoint* points, int count, double scale,
                              XAxisUnit unit = XAxisUnit::TwoTheta, double lambda = 0.0);

// The extension, without the dot, that a name typed without one gets:
// "txt" for the text format, the plug-in's pelmora_GetFileExt text for a
// plug-in format (empty when the plug-in does not export it).
std::string DefaultChartExtension(const ChartFormat& format);

// The name to write: when the typed name has no extension, ".txt" for the
// text format or "." and the plug-in's pelmora_GetFileExt text for a plug-in
// format (nothing when the plug-in does not export it).
std::string ExportFileName(const std::string& typed, const ChartFormat& format);

// Writes the points in the given format (entry of BuildChartFormats). False
// with *error set when nothing usable was written: the file could not be
// written, the plug-in lacks pelmora_SaveChart, or the plug-in left no file.
// A plug-in receives d or Q in the points' angle field when asked for them.
bool SavePattern(const ChartFormat& format, const std::string& fileName, double scale, const PatternPoint* points,
                 int count, std::string* error, XAxisUnit unit = XAxisUnit::TwoTheta, double lambda = 0.0);

// The format named by a label, an extension ("xy", ".xy") or a pattern
// ("*.xy"), compared without regard to case; -1 when none matches.
int FindChartFormat(const std::vector<ChartFormat>& formats, const std::string& name);

}  // namespace pelmora
