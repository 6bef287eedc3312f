// The structures the Python module reads with its session (the one the
// command line holds too, workspace/Session.h), calculated and written as
// pelmora-cli calc does it. Plain C++ (no Python): the bindings wrap these.
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
#include "workspace/Session.h"

namespace pelmora::python {

// The bindings' names for the session's failures.
using Error = SessionError;

// One structure document with the session it was read with.
class Structure {
 public:
  Structure(std::shared_ptr<Session> session, std::string path);
  // Opens the file as the command line does, a CIF from the data block
  // named (empty: the first with atom sites); false with *error set when it
  // cannot be read. `notes` gets the reader's messages about a file it read,
  // and names a CIF's other blocks.
  bool Open(Error* error, std::vector<std::string>& notes, const std::string& block = {});

  CKomorka& doc() { return *doc_; }
  Session& session() { return *session_; }
  const std::shared_ptr<Session>& sharedSession() const { return session_; }
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
