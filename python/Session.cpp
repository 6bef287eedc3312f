#include "Session.h"

#include <cmath>

#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternRun.h"
#include "io/AtomicFile.h"
#include "plugins/PluginLists.h"

namespace pelmora::python {

Session::Session(const SessionOptions& options, const std::string& programDir, std::vector<std::string>& notes)
    : options_(options), workspace_(options.settingsFile) {
  workspace_.programDir = programDir;
  workspace_.LoadSettings();
  workspace_.UseDataDir(options.dataDir);
  notes = workspace_.LoadSourceTables();
}

std::string Session::EnsurePlugins() {
  std::string error;
  std::call_once(pluginsOnce_, [&] { error = workspace_.ScanPlugins(options_.pluginsDir); });
  return error;
}

bool Session::ChooseProfile(const std::optional<std::string>& label, int* id, Error* error) {
  const std::vector<ProfileChoice>& profiles = workspace_.profiles();
  if (!label) {
    *id = SelectProfile(profiles, workspace_.settings.PeakProfile);
    return true;
  }
  for (const ProfileChoice& c : profiles)
    if (c.label == *label) {
      *id = c.id;
      return true;
    }
  std::string list;
  for (const ProfileChoice& c : profiles) list += " \"" + c.label + "\"";
  *error = {Failure::kBadArgument, "unknown profile \"" + *label + "\"; available:" + list};
  return false;
}

bool Session::ChooseFormat(const std::optional<std::string>& name, int* index, Error* error) {
  const std::vector<ChartFormat>& formats = workspace_.chartFormats();
  *index = name ? FindChartFormat(formats, *name) : 0;
  if (*index >= 0) return true;
  std::string list;
  for (const ChartFormat& f : formats) list += " \"" + f.label + "\"";
  *error = {Failure::kBadArgument, "unknown diffractogram format \"" + *name + "\"; available:" + list};
  return false;
}

Structure::Structure(std::shared_ptr<Session> session, std::string path)
    : session_(std::move(session)),
      path_(std::move(path)),
      doc_(std::make_unique<CKomorka>(session_->workspace().settings.experiment)) {}

bool Structure::Open(Error* error, std::vector<std::string>& notes) {
  Workspace& w = session_->workspace();
  // Each structure joins its own source and instrument set to a copy of the
  // tables, so that every structure reads as if it were the only one.
  ReferenceData tables = w.reference;
  std::vector<DocMessage> messages;
  const auto elements = [&]() -> const ElementTable& {
    std::vector<std::string> left;
    const ElementTable& table = w.Elements(&left);
    notes.insert(notes.end(), left.begin(), left.end());
    return table;
  };
  int gaveWay = 0;
  const bool opened = OpenDocumentWith(*doc_, path_, elements, tables, messages, nullptr, &gaveWay);
  std::string text;
  for (const DocMessage& m : messages) {
    const std::string line = path_ + ": " + m.text;
    if (opened) notes.push_back(line);
    else text += (text.empty() ? "" : "\n") + line;
  }
  if (!opened) {
    *error = {Failure::kUnreadable, text.empty() ? path_ + ": cannot be read" : text};
    return false;
  }
  if (const std::string note = DisplacedEntriesMessage(gaveWay); !note.empty()) notes.push_back(note);
  if (doc_->experiment.sourceName.empty()) doc_->experiment.sourceName = w.settings.RadName;
  if (doc_->experiment.aparatName.empty()) doc_->experiment.aparatName = w.settings.AparatName;
  return true;
}

bool Structure::Refused(const std::string& refusal, Error* error) const {
  if (refusal.empty()) return false;
  *error = {Failure::kRefused, refusal};
  return true;
}

namespace {

// A structure calculated again starts from no results, as a file read
// afresh does: a run that finds nothing leaves nothing behind.
void ForgetResults(CKomorka& doc) { doc.results = CalculationResults{}; }

bool Ended(const PatternRunResult& run, Error* error) {
  if (run.outcome == CalcOutcome::Ok) return true;
  *error = {Failure::kInterrupted, "calculation interrupted"};
  return false;
}

void NoteSynthesis(const SynthesisReport& report, std::vector<std::string>& notes) {
  if (const std::string note = RefusedPeaksMessage(report.refusedPeaks); !note.empty()) notes.push_back(note);
  if (const std::string note = SubGridPeaksMessage(report.subGridPeaks); !note.empty()) notes.push_back(note);
}

bool Write(const std::string& path, const std::vector<std::string>& text, Error* error) {
  std::string why;
  if (WriteFileAtomically(path, std::vector<std::string_view>(text.begin(), text.end()), &why,
                          FileDurability::kUnsynced))
    return true;
  *error = {Failure::kNotWritten, why};
  return false;
}

}  // namespace

bool Structure::CalculateReflections(Error* error) {
  ForgetResults(*doc_);
  NullProgress quiet;
  const PatternRunResult run = RunReflectionCalculation(*doc_, quiet, &cancel_);
  return !Refused(run.refusal, error) && Ended(run, error);
}

bool Structure::CalculatePattern(int profile, PatternGrid& grid, Error* error, std::vector<std::string>& notes) {
  ForgetResults(*doc_);
  std::vector<PseudoVoigtInfo> info;
  SynthesisSetup setup = session_->workspace().SetupFor(profile, &info);
  NullProgress quiet;
  PatternRunResult run;
  {
    std::unique_lock<std::mutex> lock(session_->pluginMutex, std::defer_lock);
    if (profile >= 0) lock.lock();
    run = RunPatternCalculation(*doc_, quiet, setup, grid, &cancel_);
  }
  if (Refused(run.refusal, error) || !Ended(run, error)) return false;
  NoteSynthesis(run.synthesis, notes);
  return true;
}

bool Structure::Export(const std::string& reflections, const std::string& pattern, int profile,
                       const ReflectionFilter& filter, std::optional<double> scale, int format, Error* error,
                       std::vector<std::string>& notes) {
  if (pattern.empty()) {
    if (!CalculateReflections(error)) return false;
  } else {
    auto grid = std::make_unique<PatternGrid>();
    if (!CalculatePattern(profile, *grid, error, notes)) return false;
    const PatternWindow window = ExportWindow(doc_->experiment.angleMin, doc_->experiment.angleMax);
    const double factor = scale ? *scale : DefaultExportScale(WindowMaximum(*grid, window));
    const ChartFormat& chosen = session_->Format(format);
    std::string why;
    std::unique_lock<std::mutex> lock(session_->pluginMutex, std::defer_lock);
    if (chosen.module) lock.lock();
    if (!SavePattern(chosen, ExportFileName(pattern, chosen), factor, grid->points() + window.first, window.count,
                     &why)) {
      *error = {Failure::kNotWritten, why};
      return false;
    }
  }
  return reflections.empty() || Write(reflections, FormatReflectionListParts(*doc_, filter, 1), error);
}

}  // namespace pelmora::python
