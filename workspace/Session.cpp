#include "workspace/Session.h"

#include <algorithm>
#include <cmath>

namespace pelmora {
namespace {

// By its name, or by the name behind its "*" or "@" marker; none for an
// empty name.
const ApparatusSet* FindApparatus(const std::vector<ApparatusSet>& sets, const std::string& name) {
  if (name.empty()) return nullptr;
  for (const ApparatusSet& s : sets)
    if (s.name == name) return &s;
  for (const ApparatusSet& s : sets)
    if (StripNameMarker(s.name) == StripNameMarker(name)) return &s;
  return nullptr;
}

}  // namespace

std::unique_ptr<CKomorka> OpenWithDefaults(Workspace& w, ReferenceData& tables, const std::string& path,
                                           OpenNotes& notes) {
  auto doc = std::make_unique<CKomorka>(w.settings.experiment);
  const auto elements = [&w, &notes]() -> const ElementTable& { return w.Elements(&notes.tables); };
  if (!OpenAnyStructure(*doc, path, elements, notes.messages, &notes.format, &notes.cif)) return nullptr;
  notes.gaveWay = ApplyDocumentRecords(*doc, tables);
  if (doc->experiment.sourceName.empty()) doc->experiment.sourceName = w.settings.RadName;
  if (doc->experiment.aparatName.empty()) doc->experiment.aparatName = w.settings.AparatName;
  if (notes.format == DocumentFormat::kCif || notes.format == DocumentFormat::kMacromolecule)
    if (const ApparatusSet* set = FindApparatus(tables.apparatusSets, w.settings.ImportAparat))
      doc->experiment.ApplyApparatus(*set);
  return doc;
}

std::string OtherCifBlocksNote(const CifBlockChoice& cif, const std::string& how) {
  if (cif.blocks.size() < 2) return {};
  std::string others;
  for (const CifBlockInfo& b : cif.blocks) {
    if (SameCifBlockName(b.name, cif.read)) continue;
    std::string what = b.formula;
    if (!b.group.empty()) what += (what.empty() ? "" : ", ") + b.group;
    others += (others.empty() ? "\"" : ", \"") + b.name + "\"" + (what.empty() ? "" : " (" + what + ")");
  }
  return "read data block \"" + cif.read + "\"; the file also holds " + others + "; choose one with " + how;
}

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

std::unique_lock<std::mutex> Session::LockPlugins(bool plugin) {
  return plugin ? std::unique_lock<std::mutex>(pluginMutex_)
                : std::unique_lock<std::mutex>(pluginMutex_, std::defer_lock);
}

bool Session::ChooseProfile(const std::optional<std::string>& label, int* id, SessionError* error) const {
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

bool Session::ChooseFormat(const std::optional<std::string>& name, int* index, SessionError* error) const {
  const std::vector<ChartFormat>& formats = workspace_.chartFormats();
  *index = name ? FindChartFormat(formats, *name) : 0;
  if (*index >= 0) return true;
  std::string list;
  for (const ChartFormat& f : formats) list += " \"" + f.label + "\"";
  *error = {Failure::kBadArgument, "unknown diffractogram format \"" + *name + "\"; available:" + list};
  return false;
}

ExportSpan ExportSpanOf(const PatternGrid& grid, const CKomorka& doc, std::optional<double> scale) {
  const PatternWindow window = ExportWindow(doc.experiment.angleMin, doc.experiment.angleMax);
  return {grid.points() + window.first, window.count,
          scale ? *scale : DefaultExportScale(WindowMaximum(grid, window))};
}

bool CheckExportScale(std::optional<double> scale, SessionError* error) {
  if (!scale || std::isfinite(*scale)) return true;
  *error = {Failure::kBadArgument, "the scale must be a finite number"};
  return false;
}

bool FitOptionsOf(const FitRequest& request, FitOptions& fit, SessionError* error) {
  std::string bad;
  if (!ParseFitWhat(request.refine, fit.refine, &bad)) {
    *error = {Failure::kBadArgument,
              "unknown value to refine \"" + bad +
                  "\"; known: scale, zero, background, uvw, xy, cell, size, strain, positions, occupancy, biso, "
                  "orientation, asymmetry, displacement, transparency, wavelength"};
    return false;
  }
  fit.backgroundTerms = request.backgroundTerms;
  fit.maxIterations = request.iterations;
  if (request.range) {
    fit.rangeMin = std::min(request.range->first, request.range->second);
    fit.rangeMax = std::max(request.range->first, request.range->second);
  }
  return true;
}

RefinementPattern PatternOf(const FitOptions& fit, const CKomorka& first, MeasuredPattern measured, std::string name) {
  RefinementPattern p;
  p.name = std::move(name);
  p.data = std::move(measured);
  p.experiment = first.experiment;
  if (std::isfinite(fit.rangeMin) && std::isfinite(fit.rangeMax)) {
    p.experiment.angleMin = fit.rangeMin;
    p.experiment.angleMax = fit.rangeMax;
  }
  p.backgroundTerms = fit.backgroundTerms;
  return p;
}

RefinementSetup RefinementOf(const FitOptions& fit, const std::vector<const CKomorka*>& docs,
                             const std::vector<std::string>& names) {
  RefinementSetup setup;
  setup.refine = fit.refine;
  setup.maxIterations = fit.maxIterations;
  for (size_t i = 0; i < docs.size(); ++i) {
    RefinementPhase ph;
    ph.doc = docs[i];
    ph.name = i < names.size() ? names[i] : "phase " + std::to_string(i + 1);
    setup.phases.push_back(ph);
  }
  return setup;
}

}  // namespace pelmora
