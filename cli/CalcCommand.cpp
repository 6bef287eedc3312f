// pelmora-cli calc: read a structure, calculate, write the reflection list
// and, on request, the diffractogram synthesised with a peak profile.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "cli/ChartOutput.h"
#include "cli/Commands.h"
#include "cli/PlainCheckReport.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "cli/TerminalProgress.h"
#include "io/AtomicFile.h"
#include "documents/StructureFile.h"
#include "engine/ReflectionExport.h"
#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternRun.h"
#include "plugins/PluginLists.h"
#include "io/NumberFormat.h"
#include "engine/Validation.h"

namespace pelmora::cli {
namespace {

struct CalcOptions {
  std::vector<std::string> structures;
  std::string reflections = "-";
  std::string radiation;
  std::vector<double> range;
  ReflectionFilter filter;
  bool reflectionsGiven = false;
  bool patternGiven = false;
  std::string pattern;  // empty: no diffractogram
  std::string profile;  // empty: the settings' "PeakProfile", as the chart bar selects it
  double scale = NAN;   // NaN: 10000 / maximum of the written window
  std::string format;   // empty: the built-in text format
  std::string pluginsDir;  // empty: the settings' "PluginsDir"
  std::string xAxisName = "2theta";        // as given: 2theta, d or q
  XAxisUnit xAxis = XAxisUnit::TwoTheta;  // the abscissa of the written diffractogram
  std::string outDir;      // non-empty: one list (and pattern) per input in this folder
  unsigned jobs = 0;       // 0: one per core
  ChartOptions chart;      // a picture of the chart, single runs only
  bool check = false;      // the plain reference after the outputs (the list only to -o FILE)
  std::vector<std::string> solvent;  // --solvent [K B]: nothing for the usual values
  bool solventGiven = false;
  SessionOptions session;
};

// Messages of the runs go out whole, one line at a time, also when several
// files run at once.
std::mutex gOutputMutex;

void Complain(const std::string& text) {
  std::lock_guard<std::mutex> lock(gOutputMutex);
  std::cerr << "pelmora-cli: " << text << "\n";
}

bool WriteOutput(const std::string& path, const std::function<bool(const PieceWriter&)>& produce) {
  if (path.empty() || path == "-") {
    std::lock_guard<std::mutex> lock(gOutputMutex);
    const bool made = produce([](std::string_view text) { return std::fwrite(text.data(), 1, text.size(), stdout) == text.size(); });
    return std::fflush(stdout) == 0 && made;
  }
  // Lists and patterns are made again by running the command again, so a
  // run does not wait for the disk (an 8 MB list's fsync costs more than
  // formatting it).
  std::string error;
  if (!WriteFileAtomically(path, produce, &error, FileDurability::kUnsynced)) {
    Complain(error);
    return false;
  }
  return true;
}

bool WriteOutput(const std::string& path, const std::vector<std::string_view>& pieces) {
  return WriteOutput(path, [&pieces](const PieceWriter& write) {
    for (std::string_view text : pieces)
      if (!write(text)) return false;
    return true;
  });
}

bool WriteOutput(const std::string& path, const std::string& text) {
  return WriteOutput(path, std::vector<std::string_view>{text});
}

// The reflection list, block by block as it is formatted; a long one two
// blocks at once unless the files of a batch already share the cores.
bool WriteReflectionList(const CalcOptions& o, const CKomorka& doc, const std::string& path) {
  constexpr size_t kRowsForTwoThreads = 20000;
  const unsigned threads = o.outDir.empty() && doc.results.reflectionsAll.size() >= kRowsForTwoThreads ? 2 : 1;
  return WriteOutput(path, [&](const PieceWriter& write) { return WriteReflectionListBlocks(doc, o.filter, threads, write); });
}

// What every file of a run shares: the session as started, with its
// plug-ins, and the chosen profile and format.
struct CalcShared {
  std::unique_ptr<Session> session;
  SynthesisSetup setup;
  int format = 0;
  bool usesPlugins = false;
};

// Where the results of one input go.
struct CalcTargets {
  std::string reflections;  // empty: no list
  std::string pattern;      // empty: no diffractogram
  bool chart = false;       // the picture of --chart
};

// The format's index in the list, or -1 for an unknown name or a plug-in
// format asked to write to standard output (both reported).
int ChooseFormat(const CalcOptions& o, const Session& session) {
  int format = 0;
  SessionError error;
  if (!session.ChooseFormat(Named(o.format), &format, &error)) {
    Complain(error.text);
    return -1;
  }
  if (o.pattern == "-" && session.Format(format).module) {
    Complain("a plug-in format writes files only; give --pattern a file name");
    return -1;
  }
  return format;
}

// Plug-ins, profile and format, before any calculation, so that a wrong
// name is reported before a long run. 0, or 1 for a bad argument.
int SetUpSynthesis(const CalcOptions& o, CalcShared& shared) {
  Session& session = *shared.session;
  if (const std::string error = session.EnsurePlugins(); !error.empty()) Complain("Error: " + error);
  shared.setup = session.workspace().SetupFor(kProfileStick, nullptr);
  if (!ChooseProfile(o.profile, session, shared.setup)) return 1;
  shared.format = ChooseFormat(o, session);
  if (shared.format < 0) return 1;
  const std::optional<double> scale = std::isnan(o.scale) ? std::nullopt : std::optional<double>(o.scale);
  if (SessionError error; !CheckExportScale(scale, &error)) {
    Complain(error.text);
    return 1;
  }
  shared.usesPlugins = shared.setup.profile >= 0;
  return 0;
}

// Writes the synthesised window in the chosen format.
bool WritePattern(const CalcOptions& o, CalcShared& shared, const CKomorka& doc, const PatternGrid& grid,
                  const std::string& target) {
  const ExportSpan span =
      ExportSpanOf(grid, doc, std::isnan(o.scale) ? std::nullopt : std::optional<double>(o.scale));
  if (o.xAxis != XAxisUnit::TwoTheta && !(doc.experiment.lambda1 > 0.0)) {
    Complain("d and Q need the first wavelength, which is not above zero");
    return false;
  }
  if (target == "-")
    return WriteOutput("-", FormatPatternText(span.first, span.count, span.scale, o.xAxis, doc.experiment.lambda1));
  const ChartFormat& format = shared.session->Format(shared.format);
  std::string error;
  const std::unique_lock<std::mutex> lock = shared.session->LockPlugins(format.module != nullptr);
  if (!SavePattern(format, ExportFileName(target, format), span.scale, span.first, span.count, &error, o.xAxis,
                   doc.experiment.lambda1)) {
    Complain(error);
    return false;
  }
  return true;
}

// The reflections alone: calculated and listed.
int RunReflectionList(const CalcOptions& o, CKomorka& doc, const CalcTargets& to, CalcProgress& progress,
                      const std::string& where) {
  const PatternRunResult run = RunReflectionCalculation(doc, progress);
  if (!run.refusal.empty()) {
    Complain(where + run.refusal);
    return 3;
  }
  if (run.outcome != CalcOutcome::Ok) {
    if (!run.failure.empty()) Complain(where + run.failure);
    return 4;
  }
  return to.reflections.empty() || WriteReflectionList(o, doc, to.reflections) ? 0 : 4;
}

// The diffractogram of one document, then what was asked of it.
int RunPattern(const CalcOptions& o, CalcShared& shared, const CSettings& settings, CKomorka& doc,
               const CalcTargets& to, CalcProgress& progress, const std::string& where) {
  std::vector<PseudoVoigtInfo> info;
  SynthesisSetup setup = shared.setup;
  setup.pseudoVoigtInfo = &info;
  auto grid = std::make_unique<PatternGrid>();
  PatternRunResult run;
  {
    const std::unique_lock<std::mutex> lock = shared.session->LockPlugins(shared.usesPlugins);
    run = RunPatternCalculation(doc, progress, setup, *grid);
  }
  if (!run.refusal.empty()) {
    Complain(where + run.refusal);
    return 3;
  }
  if (run.outcome != CalcOutcome::Ok) {
    if (!run.failure.empty()) Complain(where + run.failure);
    return 4;
  }
  if (const std::string note = RefusedPeaksMessage(run.synthesis.refusedPeaks); !note.empty()) Complain(where + note);
  if (const std::string note = SubGridPeaksMessage(run.synthesis.subGridPeaks); !note.empty()) Complain(where + note);
  if (!to.pattern.empty() && !WritePattern(o, shared, doc, *grid, to.pattern)) return 4;
  if (to.chart)
    if (const int status = WriteChart(o.chart, doc, *grid, settings); status != 0) return status;
  if (!to.reflections.empty() && !WriteReflectionList(o, doc, to.reflections)) return 4;
  return 0;
}

// --solvent with K and B, or with nothing for the usual values.
int TakeSolvent(std::vector<std::string> given, ExperimentParams& experiment) {
  std::erase(given, std::string());
  BulkSolvent& solvent = experiment.solvent;
  solvent.on = true;
  if (given.size() == 2) {
    const std::optional<double> k = parseDouble(given[0]), b = parseDouble(given[1]);
    if (k && b) solvent.k = *k, solvent.b = *b;
    else given.clear(), given.resize(1);
  }
  std::string why = CheckExperimentValue(experiment, ExperimentValue::Solvent);
  if (given.size() == 1) why = Tr(QT_TRANSLATE_NOOP("cli", "podaj K i B (np. --solvent 0.8 200) albo nic dla tych wartości."));
  if (why.empty()) return 0;
  Complain("--solvent: " + why);
  return 1;
}

// One input from opening to written results; the exit status of its run.
int CalcOne(const CalcOptions& o, CalcShared& shared, const std::string& input, const CalcTargets& to,
            CalcProgress& progress) {
  // Each file joins its own source and instrument set to the tables: a copy
  // keeps the files apart, so that every result equals a single run.
  Workspace& w = shared.session->workspace();
  ReferenceData tables = w.reference;
  std::unique_ptr<CKomorka> opened;
  if (const int status = OpenDocument(o.session, w, tables, input, opened); status != 0) return status;
  CKomorka& doc = *opened;
  if (!o.radiation.empty()) SayEditNotes(SetRadiation(doc, o.radiation == "n" ? 1 : 0), doc, input);
  if (o.range.size() == 2) {
    const EditResult r = SetAngleRange(doc.experiment, o.range[0], o.range[1]);
    if (!r.ok()) {
      std::cerr << ("pelmora-cli: --range " + RefusalText(r, doc) + "\n");
      return 1;
    }
    SayEditNotes(r, doc, input);
  }
  if (o.solventGiven)
    if (const int status = TakeSolvent(o.solvent, doc.experiment); status != 0) return status;
  if (o.check)
    if (const int status = RefusePlainCheck(doc); status != 0) return status;
  const std::string where = o.structures.size() > 1 ? input + ": " : std::string();
  const int status = to.pattern.empty() && !to.chart ? RunReflectionList(o, doc, to, progress, where)
                                                     : RunPattern(o, shared, w.settings, doc, to, progress, where);
  return status == 0 && o.check ? RunPlainCheck(doc) : status;
}

// The input's name without folder and extension: "x" for "a/x.cif".
std::string StemOf(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

// Arguments that cannot go together; 0 when they can.
int CheckCombination(const CalcOptions& o) {
  const bool batch = !o.outDir.empty();
  const char* why = nullptr;
  if (!batch && o.structures.size() > 1) why = "several structures need --out-dir DIR (one list per input)";
  else if (batch && o.reflectionsGiven) why = "--out-dir names the lists after the inputs; leave out --reflections";
  else if (batch && !o.pattern.empty())
    why = "with --out-dir, --pattern takes no file name (the patterns are named after the inputs)";
  else if (batch && !o.chart.file.empty()) why = "--chart writes one picture; leave out --out-dir";
  else if (!batch && o.patternGiven && o.pattern.empty()) why = "--pattern needs a file name ('-': standard output)";
  else if (o.check) why = PlainCheckConflict(batch, o.reflectionsGiven ? o.reflections : "", o.pattern);
  if (!why) return 0;
  Complain(why);
  return 1;
}

// Batch: one list (and pattern) per input, named after it, the files spread
// over the cores; the highest exit status of the files that failed.
int RunBatch(const CalcOptions& o, CalcShared& shared) {
  std::error_code ec;
  std::filesystem::create_directories(o.outDir, ec);
  if (!std::filesystem::is_directory(o.outDir)) {
    Complain("cannot create the folder " + o.outDir);
    return 4;
  }
  // Two inputs of one name would overwrite each other's results.
  std::vector<CalcTargets> targets;
  std::map<std::string, std::string> byStem;
  for (const std::string& input : o.structures) {
    const std::string stem = StemOf(input);
    if (auto [it, fresh] = byStem.emplace(stem, input); !fresh) {
      Complain("\"" + it->second + "\" and \"" + input + "\" would write the same results (" + stem + ")");
      return 1;
    }
    const std::string base = (std::filesystem::path(o.outDir) / stem).string();
    // The format's own extension, as the export adds it to a bare name.
    const std::string ext =
        o.patternGiven ? ExportFileName("p", shared.session->Format(shared.format)).substr(1) : "";
    targets.push_back({base + ".reflections.txt", o.patternGiven ? base + ".pattern" + ext : std::string(), false});
  }
  std::vector<int> status(o.structures.size(), 0);
  std::atomic<size_t> next{0};
  const unsigned jobs = std::max(1u, std::min<unsigned>(o.jobs ? o.jobs : std::thread::hardware_concurrency(),
                                                         static_cast<unsigned>(o.structures.size())));
  auto work = [&] {
    NullProgress quiet;
    for (size_t i; (i = next++) < o.structures.size();) {
      status[i] = CalcOne(o, shared, o.structures[i], targets[i], quiet);
      if (status[i] != 0) Complain(o.structures[i] + ": failed (exit status " + std::to_string(status[i]) + ")");
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < jobs; ++t) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  const int failed = static_cast<int>(std::count_if(status.begin(), status.end(), [](int s) { return s != 0; }));
  if (failed > 0) {
    Complain(std::to_string(failed) + " of " + std::to_string(status.size()) + " files failed");
    return *std::max_element(status.begin(), status.end());
  }
  return 0;
}

int RunCalc(const CalcOptions& o) {
  if (const int status = CheckCombination(o); status != 0) return status;
  CalcShared shared;
  shared.session = OpenSession(o.session, o.pluginsDir);
  const bool synthesis = o.patternGiven || !o.chart.file.empty();
  if (synthesis)
    if (const int status = SetUpSynthesis(o, shared); status != 0) return status;
  if (!o.outDir.empty()) return RunBatch(o, shared);
  CalcTargets to;
  to.pattern = o.patternGiven ? o.pattern : std::string();
  to.chart = !o.chart.file.empty();
  to.reflections = ((!synthesis && !o.check) || o.reflectionsGiven) ? o.reflections : std::string();
  TerminalProgress progress;
  return CalcOne(o, shared, o.structures.front(), to, progress);
}

}  // namespace

Runner AddCalcCommand(CLI::App& app) {
  auto o = std::make_shared<CalcOptions>();
  CLI::App* cmd = app.add_subcommand("calc", "Calculate the reflections of a structure and write their list.");
  cmd->footer(
      "The list has the format of the reflection table's text export: one line per reflection in the\n"
      "2-theta range. With --pattern the diffractogram is written instead (the list too when -o is\n"
      "given); a file name without extension gets the format's.\n"
      "Several structures run at once with --out-dir DIR: each gives DIR/NAME.reflections.txt and, with\n"
      "--pattern (no file name then), DIR/NAME.pattern.txt (or the format's extension); a file that\n"
      "fails is reported and the others go on. Exit status: 0 done, 1 bad arguments, 2 unreadable or\n"
      "unknown file, 3 structure or experiment refused, 4 output not written; in a batch the highest\n"
      "status of the files that failed.\n"
      "--check recalculates the list the plain way (every h k l of the search box, F summed atom by atom)\n"
      "after the outputs and reports the largest differences on standard output; the list is then\n"
      "written only to -o FILE. Status 3 when a line differs in the printed digits, or when the check\n"
      "would take too long (its time grows with reflections x atoms: narrow --range).");
  cmd->add_option("structure", o->structures,
                  "Structure files (.xml), older input files (.dat), CIF files (.cif) or PDB and mmCIF files (.pdb, .ent, .cif, also gzip-compressed) to calculate")
      ->required();
  cmd->add_option("--out-dir", o->outDir, "Write one result per input into DIR, named after the input")
      ->type_name("DIR");
  cmd->add_option("--jobs,-j", o->jobs, "Files calculated at once with --out-dir (default: one per core)")
      ->type_name("N");
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
  CLI::Option* solvent =
      cmd->add_option("--solvent", o->solvent,
                      "Babinet's bulk-solvent correction for macromolecules, F (1 - K exp(-B s^2)), s = sin(theta) / "
                      "lambda: K the solvent's electron density over the model's, B in A^2 (default 0.8 200)")
          ->expected(0, 2)
          ->type_name("[K B]");
  cmd->add_flag("--ka1,!--no-ka1", o->filter.firstLine, "List reflections of the first line (default on)");
  cmd->add_flag("--ka2,!--no-ka2", o->filter.secondLine, "List reflections of the second line (default off)");
  cmd->add_flag("--extinct", o->filter.extinct, "Also list extinct reflections (F^2 = 0)");
  CLI::Option* pattern =
      cmd->add_option("--pattern", o->pattern,
                      "Write the diffractogram over the 2-theta range to FILE ('-': standard output, text "
                      "format); with --out-dir give no FILE")
          ->expected(0, 1)
          ->type_name("FILE");
  cmd->add_option("--profile", o->profile,
                  "Peak profile: \"brak\", \"Gauss\", \"Lorentz\", \"pseudo Voigt\" or a plug-in's "
                  "(default: the settings' PeakProfile when it names one, else \"brak\")")
      ->type_name("NAME");
  cmd->add_option("--scale", o->scale, "Multiply the written intensities by S (default: 10000 / maximum)")
      ->type_name("S");
  cmd->add_option("--x-axis", o->xAxisName,
                  "Abscissa of the written diffractogram: 2theta (default), d (Å) or q (1/Å), d and Q for the "
                  "first wavelength")
      ->transform(CLI::IsMember({"2theta", "d", "q"}, CLI::ignore_case))
      ->type_name("2theta|d|q");
  cmd->add_option("--format", o->format,
                  "Diffractogram format: a plug-in format's label or extension (default: the text format)")
      ->type_name("NAME");
  cmd->add_option("--plugins", o->pluginsDir,
                  "Plug-ins folder (default: the settings' PluginsDir, \"Plugins\" beside the program)")
      ->type_name("DIR");
  AddChartOptions(*cmd, o->chart);
  cmd->add_flag("--check", o->check,
                "Check the list against the plain calculation and report on standard output (status 3 when they differ)");
  return [o, refl, pattern, solvent] {
    o->solventGiven = solvent->count() > 0;
    o->reflectionsGiven = refl->count() > 0;
    o->patternGiven = pattern->count() > 0;
    o->xAxis = o->xAxisName == "d" ? XAxisUnit::D : o->xAxisName == "q" ? XAxisUnit::Q : XAxisUnit::TwoTheta;
    if (!o->chart.file.empty())
      if (const int status = CheckChartOptions(o->chart); status != 0) return status;
    return RunCalc(*o);
  };
}

}  // namespace pelmora::cli
