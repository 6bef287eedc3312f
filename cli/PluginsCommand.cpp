// pelmora-cli plugins: the plug-in table as the plug-ins dialog lists it,
// with the profiles and diffractogram formats the program would offer.
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "engine/TextFormat.h"
#include "plugins/PluginLists.h"

namespace pelmora::cli {
namespace {

int RunPlugins(const std::string& dirSetting) {
  const std::string dir = ResolveProgramDir(dirSetting);
  PluginTable table;
  const std::string error = ScanPlugins(dir, table);
  std::cout << "Katalog wtyczek: " << dir << "\n";
  for (const PluginKindGroup& group : kPluginKindGroups) {
    std::cout << group.title << "\n";
    for (const PluginEntry& e : table.entries()) {
      if (e.kind != group.kind) continue;
      std::cout << "  " << e.path << cformat("  (wersja 0x%X", e.version);
      if (e.flags & kPluginFlagOldProfile) std::cout << ", przestarzała: nieużywana";
      std::cout << ")\n";
    }
  }
  std::cout << "Profile pików w programie:";
  for (const ProfileChoice& c : BuildProfileList(table)) std::cout << " \"" << c.label << "\"";
  std::cout << "\nFormaty eksportu dyfraktogramu:";
  for (const ChartFormat& f : BuildChartFormats(table)) std::cout << " \"" << f.label << "\"";
  std::cout << "\n";
  if (!error.empty()) {
    std::cerr << "pelmora-cli: Error: " << error << "\n";
    return 2;
  }
  return 0;
}

}  // namespace

Runner AddPluginsCommand(CLI::App& app) {
  auto dir = std::make_shared<std::string>("Plugins");
  CLI::App* cmd = app.add_subcommand("plugins", "List the plug-ins that the program loads.");
  cmd->footer(
      "Scans the folder as the program does at start-up: libraries in name order, the scan ending\n"
      "at the first one that fails (its message goes to standard error, exit status 2).");
  cmd->add_option("--plugins", *dir, "Plug-ins folder (default: Plugins, here or beside the program)")
      ->type_name("DIR");
  return [dir] { return RunPlugins(*dir); };
}

}  // namespace pelmora::cli
