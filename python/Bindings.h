// What the binding files of the module share: the failures and notes of the
// core turned into Python's exceptions and warnings, a structure's lock
// taken without the interpreter's, the Ctrl+C watch over a long run, and
// the function by which each file adds its part to the module. The rules
// themselves are the core's (engine/StructureEdits.h, workspace/Session.h);
// these files only translate.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Structure.h"
#include "engine/StructureEdits.h"

namespace pelmora::python {

namespace py = pybind11;

using StructurePtr = std::shared_ptr<Structure>;
using StructureClass = py::class_<Structure, StructurePtr>;

// --- errors, warnings and the session (SessionBindings.cpp) -------------------

// Each note as a PelmoraWarning.
void Warn(const std::vector<std::string>& notes);
// The failure as its exception: ValueError for a bad argument, else the
// module's Error class of its kind (KeyboardInterrupt when interrupted).
[[noreturn]] void Raise(const Error& e);
// The session configure() started, or one with the user's own settings.
std::shared_ptr<Session> CurrentSession();
// The session with its plug-ins scanned; a failed scan is a warning.
Session& WithPlugins(Session& session);

// --- the structure's lock -----------------------------------------------------

// Reads or changes the document with the interpreter's lock released: a
// thread that holds the structure's lock may be waiting for the
// interpreter's, never the other way round.
template <class F>
auto With(Structure& s, F&& f) {
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> lock(s.mutex);
  return f(s.doc());
}

// An edit by the rules every front end shares: ValueError when refused,
// its notes as warnings when made.
template <class F>
void Edit(Structure& s, F&& edit) {
  std::string refusal;
  std::vector<std::string> notes;
  With(s, [&](CKomorka& doc) {
    const EditResult r = edit(doc);
    if (r.ok()) notes = EditNotes(r, doc);
    else refusal = RefusalText(r, doc);
  });
  if (!refusal.empty()) throw py::value_error(refusal);
  Warn(notes);
}

// --- long runs (CalculationBindings.cpp) ----------------------------------------

// Runs `work` on a helper thread while this thread, the interpreter's,
// looks for Ctrl+C every 50 ms and then calls `cancel`. Called without the
// interpreter's lock; true when the user interrupted.
bool RunWatched(const std::function<void()>& work, const std::function<void()>& cancel);

// A column handed to NumPy without another copy.
template <class T>
py::array_t<T> ToArray(std::vector<T>&& v) {
  if (v.empty()) return py::array_t<T>(0);
  auto* owned = new std::vector<T>(std::move(v));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

// --- the parts of the module, in the order PYBIND11_MODULE adds them ------------

// SessionBindings.cpp: Error and its subclasses, PelmoraWarning.
void RegisterErrors(py::module_& m);
// SessionBindings.cpp: configure, read, profiles, pattern_extension.
void RegisterSession(py::module_& m);
// FitBindings.cpp: read_measured, fit.
void RegisterFit(py::module_& m);
// SiteBindings.cpp: the Site class.
void RegisterSite(py::module_& m);
// SessionBindings.cpp: the Structure class with its path, save and repr.
StructureClass RegisterStructure(py::module_& m);
// CellBindings.cpp: the cell constants, cell, volume and lattice.
void RegisterCell(StructureClass& cls);
// SiteBindings.cpp: Structure.sites.
void RegisterSiteList(StructureClass& cls);
// CellBindings.cpp: space_group, space_group_number.
void RegisterSpaceGroup(StructureClass& cls);
// ExperimentBindings.cpp: radiation, wavelengths, range, widths and the
// sample's and diffractometer's values.
void RegisterExperiment(StructureClass& cls);
// CalculationBindings.cpp: reflections, pattern, export.
void RegisterCalculations(StructureClass& cls);

}  // namespace pelmora::python
