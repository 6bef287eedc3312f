// What the command line and the Python module hold for a run: a workspace
// started from a settings file or the user's store, the choices their
// arguments name by label (profile, diffractogram format), the one lock of
// the plug-ins and what a fit is asked for. Also the one way every front
// end, the desktop program too, opens a structure file.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternGrid.h"
#include "engine/Komorka.h"
#include "measured/PatternFit.h"
#include "measured/Refinement.h"
#include "workspace/Workspace.h"

namespace pelmora {

// How a failed step ends, as the command line's exit status says it.
enum class Failure { kBadArgument = 1, kUnreadable = 2, kRefused = 3, kNotWritten = 4, kInterrupted = 5 };

struct SessionError {
  Failure kind;
  std::string text;
};

// What opening a file has to say besides the document.
struct OpenNotes {
  std::vector<std::string> tables;   // what the scattering tables left out, read for this file
  std::vector<DocMessage> messages;  // the reader's, also when the file could not be read
  int gaveWay = 0;                   // tabulated entries that gave way to the file's own
  DocumentFormat format = DocumentFormat::kStructure;
  // Set before opening: the CIF block to read (cif.wanted); after it, the
  // block read and the file's blocks.
  CifBlockChoice cif;
};

// For a CIF of several blocks with a cell, a line naming the block read and
// the others with their formula and group, and how to choose one (the
// option or argument `how`); empty otherwise.
std::string OtherCifBlocksNote(const CifBlockChoice& cif, const std::string& how);

// Opens a structure file, an older input file, a CIF, a PDB or an mmCIF file
// into a document created with the settings' experiment values; the file's
// own source and instrument set join the head of `tables` (the workspace's,
// or a copy that keeps the files of a batch apart) and are applied; a
// document that names no source or set takes the settings' names. A CIF,
// PDB or mmCIF model, which names no instrument, takes the set the settings
// choose for imports. Null when the file could not be read (notes.messages
// say why).
std::unique_ptr<CKomorka> OpenWithDefaults(Workspace& w, ReferenceData& tables, const std::string& path,
                                           OpenNotes& notes);

struct SessionOptions {
  std::string settingsFile;  // empty: the user's own store
  std::string dataDir;       // empty: the settings' DataDir
  std::string pluginsDir;    // empty: the settings' PluginsDir
};

class Session {
 public:
  // Reads the settings and the source and instrument tables; relative data
  // and plug-in folders are looked for beside `programDir`. `notes` gets
  // what was left out of the tables.
  Session(const SessionOptions& options, const std::string& programDir, std::vector<std::string>& notes);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Workspace& workspace() { return workspace_; }
  const Workspace& workspace() const { return workspace_; }
  const SessionOptions& options() const { return options_; }

  // The plug-ins, scanned on the first call only: most runs never need
  // them. The scan's error, empty when there is none, on that call.
  std::string EnsurePlugins();
  // Plug-ins keep state between calls and expect one caller at a time: the
  // lock to hold around a call into one; none when `plugin` is false.
  std::unique_lock<std::mutex> LockPlugins(bool plugin);

  // The profile by its label, or the settings' PeakProfile for nullopt (as
  // the chart bar selects it); false with *error naming the profiles there
  // are for an unknown label.
  bool ChooseProfile(const std::optional<std::string>& label, int* id, SessionError* error) const;
  // The diffractogram format by label or extension (nullopt: the text
  // format); false with *error naming the formats for an unknown name.
  bool ChooseFormat(const std::optional<std::string>& name, int* index, SessionError* error) const;
  const ChartFormat& Format(int index) const { return workspace_.chartFormats()[static_cast<size_t>(index)]; }

 private:
  SessionOptions options_;
  Workspace workspace_;
  std::once_flag pluginsOnce_;
  std::mutex pluginMutex_;
};

// The points a diffractogram export writes: the document's 2-theta range on
// the grid, and the scale given, else the one that takes the window's
// highest point to 10000.
struct ExportSpan {
  const PatternPoint* first = nullptr;
  int count = 0;
  double scale = 1.0;
};
ExportSpan ExportSpanOf(const PatternGrid& grid, const CKomorka& doc, std::optional<double> scale);
// A scale given for the export must be a finite number; false with *error
// (a bad argument) when it is not. None: the export's own scale.
bool CheckExportScale(std::optional<double> scale, SessionError* error);

// What a fit is asked for, as the command line and scripts give it.
struct FitRequest {
  std::string refine = "scale,zero,background";  // comma-separated
  int backgroundTerms = 6;
  std::optional<std::pair<double, double>> range;  // either order; none: the first structure's
  int iterations = 100;
};

// The fit's own values from the request; false with *error for an unknown
// value to refine. The counts are checked by the front ends, which name
// them as their users give them.
bool FitOptionsOf(const FitRequest& request, FitOptions& fit, SessionError* error);

// A refinement as pelmora-cli fit and pelmora.fit set it up: each pattern
// with the first document's experiment, the request's range and background
// terms; each document a phase, named as given; what to refine and the
// iterations of the request.
RefinementPattern PatternOf(const FitOptions& fit, const CKomorka& first, MeasuredPattern measured, std::string name);
RefinementSetup RefinementOf(const FitOptions& fit, const std::vector<const CKomorka*>& docs,
                             const std::vector<std::string>& names);

}  // namespace pelmora
