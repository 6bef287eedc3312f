// pelmora-cli calc: read a structure, calculate, write the reflection list
// and, on request, the diffractogram synthesised with a peak profile.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/TerminalProgress.h"
#include "settings/Paths.h"
#include "documents/AtomicFile.h"
#include "documents/StructureFile.h"
#include "editors/ReflectionExport.h"
#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternRun.h"
#include "engine/CalculationRunner.h"
#include "plugins/PluginLists.h"

namespace pelmora::cli {
namespace {

struct CalcOptions {
  std::string structure;
  std::string reflections = "-";
  std::string radiation;
  std::vector<double> range;
  ReflectionFilter filter;
  bool reflectionsGiven = false;
  std::string pattern;  // empty: no diffractogram
  std::string profile;  // empty: the settings' "PeakProfile", as the chart bar selects it
  double scale = NAN;   // NaN: 10000 / maximum of the written window
  std::string format;   // empty: the built-in text format
  std::string pluginsDir;  // empty: the settings' "PluginsDir"
  SessionOptions session;
};

bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty() || path == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0;
  }
  std::string error;
  if (!WriteFileAtomically(path, text, &error)) {
    std::cerr << "pelmora-cli: " << error << "\n";
    return false;
  }
  return true;
}

int RunCalc(const CalcOptions& o) {
  Session s;
  OpenSession(o.session, s);
  CKomorka doc(s.settings.ExperimentDefaultsOf());
  if (const int status = OpenDocument(o.session, s, o.structure, doc); status != 0) return status;
  if (o.radiation == "x") doc.radiation = 0;
  if (o.radiation == "n") doc.radiation = 1;
  if (o.range.size() == 2) {
    doc.angleMin = o.range[0];
    doc.angleMax = o.range[1];
  }
  if (o.pattern.empty()) {
    if (const std::string why = doc.ValidateCalculation(); !why.empty()) {
      std::cerr << "pelmora-cli: " << why << "\n";
      return 3;
    }
    {
      TerminalProgress progress;
      CalculationRunner runner;
      runner.Start(doc, progress, nullptr);
      runner.Wait();
    }
    return WriteOutput(o.reflections, FormatReflectionList(doc, o.filter)) ? 0 : 4;
  }

  // The diffractogram: plug-ins, profile and format first, so that a wrong
  // name is reported before a long calculation.
  const CSettings& settings = s.settings;
  PluginTable plugins;
  // --plugins is the user's own choice; the settings' folder is looked for
  // beside the executable only.
  const std::string pluginsDir = o.pluginsDir.empty() ? ResolvePluginsFolder(settings.PluginsDir) : o.pluginsDir;
  if (const std::string error = ScanPlugins(pluginsDir, plugins); !error.empty())
    std::cerr << "pelmora-cli: Error: " << error << "\n";
  const std::vector<ProfileChoice> profiles = BuildProfileList(plugins);
  SynthesisSetup setup;
  setup.plugins = &plugins;
  setup.options = settings.SynthesisOptionsOf();
  if (o.profile.empty()) {
    setup.profile = SelectProfile(profiles, settings.PeakProfile);
  } else {
    bool found = false;
    for (const ProfileChoice& c : profiles)
      if (c.label == o.profile) setup.profile = c.id, found = true;
    if (!found) {
      std::cerr << "pelmora-cli: unknown profile \"" << o.profile << "\"; available:";
      for (const ProfileChoice& c : profiles) std::cerr << " \"" << c.label << "\"";
      std::cerr << "\n";
      return 1;
    }
  }
  const std::vector<ChartFormat> formats = BuildChartFormats(plugins);
  const int format = o.format.empty() ? 0 : FindChartFormat(formats, o.format);
  if (format < 0) {
    std::cerr << "pelmora-cli: unknown diffractogram format \"" << o.format << "\"; available:";
    for (const ChartFormat& f : formats) std::cerr << " \"" << f.label << "\"";
    std::cerr << "\n";
    return 1;
  }
  const bool toStdout = o.pattern == "-";
  if (toStdout && formats[format].module) {
    std::cerr << "pelmora-cli: a plug-in format writes files only; give --pattern a file name\n";
    return 1;
  }
  if (!std::isnan(o.scale) && !std::isfinite(o.scale)) {
    std::cerr << "pelmora-cli: the scale must be a finite number\n";
    return 1;
  }

  std::vector<PseudoVoigtInfo> info;
  setup.pseudoVoigtInfo = &info;
  auto grid = std::make_unique<PatternGrid>();
  PatternRunResult run;
  {
    TerminalProgress progress;
    run = RunPatternCalculation(doc, progress, setup, *grid);
  }
  if (!run.refusal.empty()) {
    std::cerr << "pelmora-cli: " << run.refusal << "\n";
    return 3;
  }
  if (run.outcome != CalcOutcome::Ok) return 4;
  if (const std::string note = RefusedPeaksMessage(run.synthesis.refusedPeaks); !note.empty())
    std::cerr << "pelmora-cli: " << note << "\n";
  if (const std::string note = SubGridPeaksMessage(run.synthesis.subGridPeaks); !note.empty())
    std::cerr << "pelmora-cli: " << note << "\n";

  const PatternWindow window = ExportWindow(doc.angleMin, doc.angleMax);
  const double scale = std::isnan(o.scale) ? DefaultExportScale(WindowMaximum(*grid, window)) : o.scale;
  const PatternPoint* first = grid->points() + window.first;
  if (toStdout) {
    if (!WriteOutput("-", FormatPatternText(first, window.count, scale))) return 4;
  } else {
    const std::string name = ExportFileName(o.pattern, formats[format]);
    std::string error;
    if (!SavePattern(formats[format], name, scale, first, window.count, &error)) {
      std::cerr << "pelmora-cli: " << error << "\n";
      return 4;
    }
  }
  if (o.reflectionsGiven && !WriteOutput(o.reflections, FormatReflectionList(doc, o.filter))) return 4;
  return 0;
}

}  // namespace

Runner AddCalcCommand(CLI::App& app) {
  auto o = std::make_shared<CalcOptions>();
  CLI::App* cmd = app.add_subcommand("calc", "Calculate the reflections of a structure and write their list.");
  cmd->footer(
      "The list has the format of the reflection table's text export: one line per reflection in the\n"
      "2-theta range. With --pattern the diffractogram is written instead (the list too when -o is\n"
      "given); a file name without extension gets the format's. Exit status: 0 done, 1 bad\n"
      "arguments, 2 unreadable or unknown file,\n"
      "3 structure or experiment refused, 4 output not written.");
  cmd->add_option("structure", o->structure, "Structure file (.xml) or older input file (.dat) to calculate")
      ->required();
  AddSessionOptions(*cmd, o->session);
  CLI::Option* refl =
      cmd->add_option("--reflections,-o", o->reflections,
                      "Write the reflection list to FILE ('-': standard output; the default without --pattern)")
          ->type_name("FILE");
  cmd->add_option("--radiation", o->radiation, "x = X-rays, n = neutrons (default: the file's source)")
      ->check(CLI::IsMember({"x", "n"}));
  cmd->add_option("--range", o->range, "2-theta range in degrees (default: the file's)")
      ->expected(2)
      ->type_name("MIN MAX");
  cmd->add_flag("--ka1,!--no-ka1", o->filter.firstLine, "List reflections of the first line (default on)");
  cmd->add_flag("--ka2,!--no-ka2", o->filter.secondLine, "List reflections of the second line (default off)");
  cmd->add_flag("--extinct", o->filter.extinct, "Also list extinct reflections (F^2 = 0)");
  cmd->add_option("--pattern", o->pattern,
                  "Write the diffractogram over the 2-theta range to FILE ('-': standard output, text format)")
      ->type_name("FILE");
  cmd->add_option("--profile", o->profile,
                  "Peak profile: \"brak\", \"Gauss\", \"Lorentz\", \"pseudo Voigt\" or a plug-in's "
                  "(default: the settings' PeakProfile when it names one, else \"brak\")")
      ->type_name("NAME");
  cmd->add_option("--scale", o->scale, "Multiply the written intensities by S (default: 10000 / maximum)")
      ->type_name("S");
  cmd->add_option("--format", o->format,
                  "Diffractogram format: a plug-in format's label or extension (default: the text format)")
      ->type_name("NAME");
  cmd->add_option("--plugins", o->pluginsDir,
                  "Plug-ins folder (default: the settings' PluginsDir, \"Plugins\": here, else beside the program)")
      ->type_name("DIR");
  return [o, refl] {
    o->reflectionsGiven = refl->count() > 0;
    return RunCalc(*o);
  };
}

}  // namespace pelmora::cli
