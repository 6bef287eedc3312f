// pelmora-cli plugins: the plug-in table as the plug-ins dialog lists it,
// with the profiles and diffractogram formats the program would offer.
#include <iostream>
#include <memory>

#include "settings/Paths.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "io/NumberFormat.h"
#include "plugins/PluginLists.h"

namespace pelmora::cli {
namespace {

struct PluginsOptions {
  std::string dir;       // empty: the settings' "PluginsDir"
  std::string settings;  // empty: the program's own settings store
};

int RunPlugins(const PluginsOptions& o) {
  const std::string dir = o.dir.empty() ? ResolvePluginsFolder(ReadSettings(o.settings).PluginsDir) : o.dir;
  PluginTable table;
  const std::string error = ScanPlugins(dir, table);
  std::cout << Tr(QT_TRANSLATE_NOOP("cli", "Katalog wtyczek: ")) << dir << "\n";
  for (const PluginKindGroup& group : kPluginKindGroups) {
    std::cout << TrText("plugins", group.title) << "\n";
    for (const PluginEntry& e : table.entries()) {
      if (e.kind != group.kind) continue;
      std::cout << "  " << e.path << cformat(Tr(QT_TRANSLATE_NOOP("cli", "  (wersja 0x%X")).c_str(), e.version);
      if (e.flags & kPluginFlagOldProfile) std::cout << Tr(QT_TRANSLATE_NOOP("cli", ", przestarzała: nieużywana"));
      std::cout << ")\n";
    }
  }
  std::cout << Tr(QT_TRANSLATE_NOOP("cli", "Profile pików w programie:"));
  for (const ProfileChoice& c : BuildProfileList(table)) std::cout << " \"" << c.label << "\"";
  std::cout << "\n" << Tr(QT_TRANSLATE_NOOP("cli", "Formaty eksportu dyfraktogramu:"));
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
  auto o = std::make_shared<PluginsOptions>();
  CLI::App* cmd = app.add_subcommand("plugins", "List the plug-ins that the program loads.");
  cmd->footer(
      "Scans the folder as the program does at start-up: libraries in name order, the scan ending\n"
      "at the first one that fails (its message goes to standard error, exit status 2).");
  cmd->add_option("--plugins", o->dir,
                  "Plug-ins folder (default: the settings' PluginsDir, \"Plugins\": here, else beside the program)")
      ->type_name("DIR");
  cmd->add_option("--settings", o->settings, "Read the settings from this INI file instead of the program's own store")
      ->type_name("FILE");
  return [o] { return RunPlugins(*o); };
}

}  // namespace pelmora::cli
