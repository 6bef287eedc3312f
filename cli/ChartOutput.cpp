#include "cli/ChartOutput.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/ChartModule.h"
#include "settings/Paths.h"

namespace pelmora::cli {
namespace {

// The module beside the executable, loaded once; null after a message when
// it cannot be loaded.
const ChartModule* LoadChartModule() {
  static const ChartModule* module = [] {
    const std::string path = (std::filesystem::path(ExecutableDir()) / kChartModuleFile).string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle ? reinterpret_cast<ChartModuleEntry>(dlsym(handle, kChartModuleEntry)) : nullptr;
    if (!entry) {
      const char* why = dlerror();
      std::cerr << "pelmora-cli: pictures of the chart need " << kChartModuleFile << " beside the program: "
                << (why ? why : "no entry point") << "\n";
      return static_cast<const ChartModule*>(nullptr);
    }
    return entry();
  }();
  return module;
}

}  // namespace

void AddChartOptions(CLI::App& cmd, ChartOptions& o) {
  cmd.add_option("--chart", o.file,
                 "Draw the diffractogram's chart into FILE; the extension picks the format: .png, .svg, .pdf, .emf")
      ->type_name("FILE");
  cmd.add_option("--size", o.size, "Chart size in pixels at 150 dpi (default 1417x1003, 240 x 170 mm)")
      ->type_name("WxH");
  cmd.add_flag("--descriptions", o.descriptions, "Describe the reflections on the chart (Miller indices)");
  cmd.add_flag("!--no-desc-ka1", o.ka1, "Do not describe the reflections of the first line");
  cmd.add_flag("!--no-desc-ka2", o.ka2, "Do not describe the reflections of the second line");
}

int CheckChartOptions(ChartOptions& o) {
  const ChartModule* module = LoadChartModule();
  if (!module) return 4;
  if (!module->knowsFormat(o.file)) {
    std::cerr << "pelmora-cli: unknown picture format of \"" << o.file << "\"; use .png, .svg, .pdf or .emf\n";
    return 1;
  }
  module->defaultSize(&o.width, &o.height);
  if (!o.size.empty()) {
    // The margins round the chart need some room; a picture wider than
    // this gains nothing and a PNG of it would not fit in memory.
    constexpr int kMin = 200, kMax = 10000;
    int w = 0, h = 0;
    char rest = 0;
    if (std::sscanf(o.size.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < kMin || h < kMin || w > kMax ||
        h > kMax) {
      std::cerr << "pelmora-cli: --size takes WxH in pixels, each from " << kMin << " to " << kMax << "\n";
      return 1;
    }
    o.width = w;
    o.height = h;
  }
  return 0;
}

int WriteChart(const ChartOptions& o, const CKomorka& doc, const PatternGrid& grid, const CSettings& settings) {
  const ChartModule* module = LoadChartModule();
  return module ? module->writeChart(o, doc, grid, settings) : 4;
}

}  // namespace pelmora::cli
