// What the Python module holds for a run of the interpreter: a workspace
// started as the command line starts it, and the structures read with it.
// Plain C++ (no Python): the bindings wrap these.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "engine/Komorka.h"
#include "engine/ReflectionExport.h"
#include "workspace/Workspace.h"

namespace pelmora::python {

// How a failed step ends, as the command line's exit status says it.
enum class Failure { kBadArgument = 1, kUnreadable = 2, kRefused = 3, kNotWritten = 4, kInterrupted = 5 };

struct Error {
  Failure kind;
  std::string text;
};

struct SessionOptions {
  std::string settingsFile;  // empty: the user's own store
  std::string dataDir;       // empty: the settings' DataDir
  std::string pluginsDir;    // empty: the settings' PluginsDir
};

class Session {
 public:
  // Reads the settings and the source and instrument tables; the data and
  // plug-in folders are looked for beside `programDir`. `notes` gets what
  // was left out of the tables.
  Session(const SessionOptions& options, const std::string& programDir, std::vector<std::string>& notes);

  Workspace& workspace() { return workspace_; }
  const SessionOptions& options() const { return options_; }
  // The plug-ins, scanned on the first pattern as the command line does;
  // the scan's error, empty when there is none, the first time only.
  std::string EnsurePlugins();
  // The profile by its label, or the settings' PeakProfile for nullopt;
  // false with *error naming the profiles there are for an unknown label.
  bool ChooseProfile(const std::optional<std::string>& label, int* id, Error* error);
  // The diffractogram format by label or extension (nullopt: the text
  // format); false with *error for an unknown name.
  bool ChooseFormat(const std::optional<std::string>& name, int* index, Error* error);
  const ChartFormat& Format(int index) const { return workspace_.chartFormats()[static_cast<size_t>(index)]; }
  // Plug-ins keep state between calls and expect one caller at a time.
  std::mutex pluginMutex;

 private:
  SessionOptions options_;
  Workspace workspace_;
  std::once_flag pluginsOnce_;
};

// One structure document with the session it was read with.
class Structure {
 public:
  Structure(std::shared_ptr<Session> session, std::string path);
  // Opens the file as the command line does; false with *error set when it
  // cannot be read. `notes` gets the reader's messages about a file it read.
  bool Open(Error* error, std::vector<std::string>& notes);

  CKomorka& doc() { return *doc_; }
  Session& session() { return *session_; }
  const std::string& path() const { return path_; }
  // Held while the document is read, changed or calculated.
  std::mutex mutex;

  // The reflections alone, as `calc` without a pattern calculates them.
  bool CalculateReflections(Error* error);
  // The reflections and the pattern with the profile (-1 .. 3 built in, a
  // plug-in's index), as `calc --pattern` makes it. Notes about left-out
  // peaks go to `notes`.
  bool CalculatePattern(int profile, PatternGrid& grid, Error* error, std::vector<std::string>& notes);

  // Writes what `calc` writes for one file: the pattern (when pattern is
  // non-empty) in the chosen format, then the reflection list.
  bool Export(const std::string& reflections, const std::string& pattern, int profile,
              const ReflectionFilter& filter, std::optional<double> scale, int format, Error* error,
              std::vector<std::string>& notes);

  // Set by the interpreter's thread when the user interrupts a run.
  void RequestCancel() { cancel_ = true; }

 private:
  bool Refused(const std::string& refusal, Error* error) const;
  std::shared_ptr<Session> session_;
  std::string path_;
  std::unique_ptr<CKomorka> doc_;
  // The cancel flag of the run in progress (each run clears it first).
  std::atomic<bool> cancel_{false};
};

}  // namespace pelmora::python
