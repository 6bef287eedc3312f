#include "Structure.h"

#include <cmath>

#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternRun.h"
#include "io/AtomicFile.h"
#include "plugins/PluginLists.h"

namespace pelmora::python {

Structure::Structure(std::shared_ptr<Session> session, std::string path)
    : session_(std::move(session)),
      path_(std::move(path)),
      doc_(std::make_unique<CKomorka>(session_->workspace().settings.experiment)) {}

bool Structure::Open(Error* error, std::vector<std::string>& notes, const std::string& block) {
  Workspace& w = session_->workspace();
  // Each structure joins its own source and instrument set to a copy of the
  // tables, so that every structure reads as if it were the only one.
  ReferenceData tables = w.reference;
  OpenNotes opened;
  opened.cif.wanted = block;
  std::unique_ptr<CKomorka> doc = OpenWithDefaults(w, tables, path_, opened);
  notes.insert(notes.end(), opened.tables.begin(), opened.tables.end());
  std::string text;
  for (const DocMessage& m : opened.messages) {
    const std::string line = path_ + ": " + m.text;
    if (doc) notes.push_back(line);
    else text += (text.empty() ? "" : "\n") + line;
  }
  if (!doc) {
    *error = {Failure::kUnreadable, text.empty() ? path_ + ": cannot be read" : text};
    return false;
  }
  if (const std::string note = DisplacedEntriesMessage(opened.gaveWay); !note.empty()) notes.push_back(note);
  if (const std::string note = OtherCifBlocksNote(opened.cif, "read(path, block=NAME)"); !note.empty())
    notes.push_back(path_ + ": " + note);
  doc_ = std::move(doc);
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
  // A run that failed (memory ran out) could not be made with these values
  // here, as one refused for its size.
  if (!run.failure.empty()) *error = {Failure::kRefused, run.failure};
  else *error = {Failure::kInterrupted, "calculation interrupted"};
  return false;
}

void NoteSynthesis(const SynthesisReport& report, std::vector<std::string>& notes) {
  if (const std::string note = RefusedPeaksMessage(report.refusedPeaks); !note.empty()) notes.push_back(note);
  if (const std::string note = SubGridPeaksMessage(report.subGridPeaks); !note.empty()) notes.push_back(note);
}

bool WriteList(const std::string& path, const CKomorka& doc, const ReflectionFilter& filter, Error* error) {
  std::string why;
  const auto produce = [&](const PieceWriter& write) { return WriteReflectionListBlocks(doc, filter, 1, write); };
  if (WriteFileAtomically(path, produce, &why, FileDurability::kUnsynced))
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
    const std::unique_lock<std::mutex> lock = session_->LockPlugins(profile >= 0);
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
    const ExportSpan span = ExportSpanOf(*grid, *doc_, scale);
    const ChartFormat& chosen = session_->Format(format);
    std::string why;
    const std::unique_lock<std::mutex> lock = session_->LockPlugins(chosen.module != nullptr);
    if (!SavePattern(chosen, ExportFileName(pattern, chosen), span.scale, span.first, span.count, &why)) {
      *error = {Failure::kNotWritten, why};
      return false;
    }
  }
  return reflections.empty() || WriteList(reflections, *doc_, filter, error);
}

}  // namespace pelmora::python
