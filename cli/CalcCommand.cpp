// pelmora-cli calc: read a structure, calculate, write the reflection list
// and, on request, the diffractogram synthesised with a peak profile.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/ChartOutput.h"
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
  ChartOptions chart;
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

void Complain(const std::string& message) { std::cerr << "pelmora-cli: " << message << "\n"; }

// The reflections alone: calculated and listed.
int RunReflectionList(const CalcOptions& o, CKomorka& doc) {
  if (const std::string why = doc.ValidateCalculation(); !why.empty()) {
    Complain(why);
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

// The profile by its label, or the settings' choice; false for an unknown
// name, which is reported with the names there are.
bool ChooseProfile(const CalcOptions& o, const CSettings& settings, const PluginTable& plugins,
                   SynthesisSetup& setup) {
  const std::vector<ProfileChoice> profiles = BuildProfileList(plugins);
  if (o.profile.empty()) {
    setup.profile = SelectProfile(profiles, settings.PeakProfile);
    return true;
  }
  for (const ProfileChoice& c : profiles)
    if (c.label == o.profile) {
      setup.profile = c.id;
      return true;
    }
  std::cerr << "pelmora-cli: unknown profile \"" << o.profile << "\"; available:";
  for (const ProfileChoice& c : profiles) std::cerr << " \"" << c.label << "\"";
  std::cerr << "\n";
  return false;
}

// The format's index in the list, or -1 for an unknown name or a plug-in
// format asked to write to standard output (both reported).
int ChooseFormat(const CalcOptions& o, const std::vector<ChartFormat>& formats) {
  const int format = o.format.empty() ? 0 : FindChartFormat(formats, o.format);
  if (format < 0) {
    std::cerr << "pelmora-cli: unknown diffractogram format \"" << o.format << "\"; available:";
    for (const ChartFormat& f : formats) std::cerr << " \"" << f.label << "\"";
    std::cerr << "\n";
    return -1;
  }
  if (o.pattern == "-" && formats[format].module) {
    Complain("a plug-in format writes files only; give --pattern a file name");
    return -1;
  }
  return format;
}

// Writes the synthesised window in the chosen format.
bool WritePattern(const CalcOptions& o, const CKomorka& doc, const PatternGrid& grid, const ChartFormat& format) {
  const PatternWindow window = ExportWindow(doc.angleMin, doc.angleMax);
  const double scale = std::isnan(o.scale) ? DefaultExportScale(WindowMaximum(grid, window)) : o.scale;
  const PatternPoint* first = grid.points() + window.first;
  if (o.pattern == "-") return WriteOutput("-", FormatPatternText(first, window.count, scale));
  std::string error;
  if (!SavePattern(format, ExportFileName(o.pattern, format), scale, first, window.count, &error)) {
    Complain(error);
    return false;
  }
  return true;
}

// The diffractogram: plug-ins, profile and format first, so that a wrong
// name is reported before a long calculation.
int RunPattern(const CalcOptions& o, const CSettings& settings, CKomorka& doc) {
  PluginTable plugins;
  // --plugins is the user's own choice; the settings' folder is looked for
  // beside the executable only.
  const std::string pluginsDir = o.pluginsDir.empty() ? ResolvePluginsFolder(settings.PluginsDir) : o.pluginsDir;
  if (const std::string error = ScanPlugins(pluginsDir, plugins); !error.empty())
    std::cerr << "pelmora-cli: Error: " << error << "\n";
  SynthesisSetup setup;
  setup.plugins = &plugins;
  setup.options = settings.SynthesisOptionsOf();
  if (!ChooseProfile(o, settings, plugins, setup)) return 1;
  const std::vector<ChartFormat> formats = BuildChartFormats(plugins);
  const int format = ChooseFormat(o, formats);
  if (format < 0) return 1;
  if (!std::isnan(o.scale) && !std::isfinite(o.scale)) {
    Complain("the scale must be a finite number");
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
    Complain(run.refusal);
    return 3;
  }
  if (run.outcome != CalcOutcome::Ok) return 4;
  if (const std::string note = RefusedPeaksMessage(run.synthesis.refusedPeaks); !note.empty()) Complain(note);
  if (const std::string note = SubGridPeaksMessage(run.synthesis.subGridPeaks); !note.empty()) Complain(note);
  if (!o.pattern.empty() && !WritePattern(o, doc, *grid, formats[format])) return 4;
  if (!o.chart.file.empty())
    if (const int status = WriteChart(o.chart, doc, *grid, settings); status != 0) return status;
  if (o.reflectionsGiven && !WriteOutput(o.reflections, FormatReflectionList(doc, o.filter))) return 4;
  return 0;
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
  // A pattern or a chart needs the synthesis; the list alone does not.
  return o.pattern.empty() && o.chart.file.empty() ? RunReflectionList(o, doc) : RunPattern(o, s.settings, doc);
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
                  "Plug-ins folder (default: the settings' PluginsDir, \"Plugins\" beside the program)")
      ->type_name("DIR");
  AddChartOptions(*cmd, o->chart);
  return [o, refl] {
    o->reflectionsGiven = refl->count() > 0;
    if (!o->chart.file.empty() && CheckChartOptions(o->chart) != 0) return 1;
    return RunCalc(*o);
  };
}

}  // namespace pelmora::cli
