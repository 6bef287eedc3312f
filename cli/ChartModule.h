// The chart pictures of pelmora-cli live in a module of their own,
// pelmora-cli-chart.so beside the program, loaded only when --chart asks
// for a picture: linking Qt's GUI libraries into the tool itself would make
// every run pay for loading them.
#pragma once

#include <string>

#include "cli/ChartOutput.h"

namespace pelmora::cli {

struct ChartModule {
  // The picture format named by the file's extension is known.
  bool (*knowsFormat)(const std::string& file);
  // The default picture size in pixels.
  void (*defaultSize)(int* width, int* height);
  // Draws the chart over the document's 2-theta range: 0, or 4 after a
  // message when the file was not written.
  int (*writeChart)(const ChartOptions& o, const CKomorka& doc, const PatternGrid& grid, const CSettings& settings);
};

inline constexpr const char* kChartModuleFile = "pelmora-cli-chart.so";
inline constexpr const char* kChartModuleEntry = "pelmora_cli_chart_module";
using ChartModuleEntry = const ChartModule* (*)();

}  // namespace pelmora::cli
