// The module's session (workspace/Session.h, the one pelmora-cli holds):
// configure() and read(), the labels it chooses by, the Structure class a
// file is read into and written from, and the exception and warning
// classes its failures and notes become.
#include <dlfcn.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <filesystem>
#include <tuple>

#include "Bindings.h"
#include "EnglishMessages.h"
#include "diffractogram/PatternExport.h"
#include "documents/StructureFile.h"

namespace pelmora::python {
namespace {

// The exception and warning classes, made once at import.
PyObject* gError = nullptr;
PyObject* gReadError = nullptr;
PyObject* gRefusedError = nullptr;
PyObject* gWriteError = nullptr;
PyObject* gWarning = nullptr;

std::string gModuleDir;
std::mutex gSessionMutex;
std::shared_ptr<Session> gSession;

// The folder of this library: the shipped data and plug-ins lie beside it,
// as they lie beside the programs.
std::string ModuleDir() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ModuleDir), &info) || !info.dli_fname) return {};
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
  return ec ? std::string() : file.parent_path().string();
}

std::shared_ptr<Session> Configure(const SessionOptions& options) {
  std::vector<std::string> notes;
  std::shared_ptr<Session> session;
  {
    py::gil_scoped_release release;
    session = std::make_shared<Session>(options, gModuleDir, notes);
    std::lock_guard<std::mutex> lock(gSessionMutex);
    gSession = session;
  }
  Warn(notes);
  return session;
}

StructurePtr Read(const std::filesystem::path& path, const std::optional<std::string>& block) {
  auto session = CurrentSession();
  auto s = std::make_shared<Structure>(session, path.string());
  Error error{};
  std::vector<std::string> notes;
  bool opened;
  {
    py::gil_scoped_release release;
    opened = s->Open(&error, notes, block.value_or(""));
  }
  if (!opened) Raise(error);
  Warn(notes);
  return s;
}

void Save(Structure& s, const std::filesystem::path& path) {
  std::string error;
  const bool saved = With(s, [&](CKomorka& doc) { return SaveStructureFile(doc, path.string(), &error); });
  if (!saved) Raise({Failure::kNotWritten, error});
}

}  // namespace

void Warn(const std::vector<std::string>& notes) {
  for (const std::string& n : notes)
    if (PyErr_WarnEx(gWarning, n.c_str(), 1) != 0) throw py::error_already_set();
}

namespace {

// The exception of the class with the English message and the program's
// own text as its polish attribute.
[[noreturn]] void RaiseWith(PyObject* type, const std::string& polish, const char* fallback) {
  const std::string english = EnglishMessage(polish, fallback);
  PyObject* exc = PyObject_CallFunction(type, "s", english.c_str());
  if (!exc) throw py::error_already_set();
  PyObject_SetAttrString(exc, "polish", py::str(polish).ptr());
  PyErr_SetObject(type, exc);
  Py_DECREF(exc);
  throw py::error_already_set();
}

}  // namespace

[[noreturn]] void Raise(const Error& e) {
  switch (e.kind) {
    case Failure::kBadArgument: RaiseWith(PyExc_ValueError, e.text, "a value was not accepted");
    case Failure::kUnreadable: RaiseWith(gReadError, e.text, "the file could not be read as a structure");
    case Failure::kRefused: RaiseWith(gRefusedError, e.text, "the values were refused for a calculation");
    case Failure::kNotWritten: RaiseWith(gWriteError, e.text, "the file could not be written");
    case Failure::kInterrupted:
      // The KeyboardInterrupt of the signal handler is already set.
      if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
      break;
  }
  throw py::error_already_set();
}

std::shared_ptr<Session> CurrentSession() {
  {
    std::lock_guard<std::mutex> lock(gSessionMutex);
    if (gSession) return gSession;
  }
  return Configure({});
}

// The plug-ins, scanned before the first pattern.
Session& WithPlugins(Session& session) {
  std::string scanError;
  {
    py::gil_scoped_release release;
    scanError = session.EnsurePlugins();
  }
  if (!scanError.empty()) Warn({"Error: " + scanError});
  return session;
}

void RegisterErrors(py::module_& m) {
  gError = PyErr_NewExceptionWithDoc("pelmora.Error",
                                     "A structure could not be read, calculated or written. The message is in\n"
                                     "English; polish holds the program's own message, as pelmora-cli prints it;\n"
                                     "status is pelmora-cli's exit status for the failure.",
                                     PyExc_Exception, nullptr);
  gReadError = PyErr_NewExceptionWithDoc("pelmora.ReadError", "The file could not be read as a structure.", gError,
                                         nullptr);
  gRefusedError = PyErr_NewExceptionWithDoc(
      "pelmora.RefusedError", "The structure's or the experiment's values were refused for a calculation.", gError,
      nullptr);
  gWriteError = PyErr_NewExceptionWithDoc("pelmora.WriteError", "A file could not be written.", gError, nullptr);
  gWarning = PyErr_NewExceptionWithDoc("pelmora.PelmoraWarning", "What a file or a run left out or changed.",
                                       PyExc_UserWarning, nullptr);
  const std::pair<const char*, PyObject*> classes[] = {{"Error", gError},
                                                       {"ReadError", gReadError},
                                                       {"RefusedError", gRefusedError},
                                                       {"WriteError", gWriteError},
                                                       {"PelmoraWarning", gWarning}};
  for (const auto& [name, type] : classes) m.attr(name) = py::reinterpret_borrow<py::object>(type);
  // The command line's exit status for each failure.
  PyObject_SetAttrString(gError, "status", py::int_(1).ptr());
  PyObject_SetAttrString(gReadError, "status", py::int_(2).ptr());
  PyObject_SetAttrString(gRefusedError, "status", py::int_(3).ptr());
  PyObject_SetAttrString(gWriteError, "status", py::int_(4).ptr());
}

void RegisterSession(py::module_& m) {
  gModuleDir = ModuleDir();
  m.def(
      "configure",
      [](std::optional<std::filesystem::path> settings, std::optional<std::filesystem::path> dataDir,
         std::optional<std::filesystem::path> pluginsDir) {
        SessionOptions o;
        if (settings) o.settingsFile = settings->string();
        if (dataDir) o.dataDir = dataDir->string();
        if (pluginsDir) o.pluginsDir = pluginsDir->string();
        Configure(o);
      },
      py::arg("settings") = py::none(), py::arg("data_dir") = py::none(), py::arg("plugins_dir") = py::none(),
      "Starts the session later read() calls use: a settings INI file (like pelmora-cli --settings),\n"
      "a data folder (--data-dir), a plug-ins folder (--plugins); None for the user's own settings\n"
      "and the folders they name.");
  m.def("read", &Read, py::arg("path"), py::arg("block") = py::none(),
        "Reads a structure file (.xml), a CIF, a PDB or mmCIF file or an older .dat input file.\n"
        "block: the data block of a CIF to read (default: the first with atom sites); the file's\n"
        "other blocks are named in a PelmoraWarning.\n"
        "Raises ReadError with the program's message; notes about a file it read come as\n"
        "PelmoraWarning.");
  m.def("profiles", [] {
    const auto session = CurrentSession();
    Session& s = WithPlugins(*session);
    std::vector<std::string> out;
    for (const ProfileChoice& c : s.workspace().profiles()) out.push_back(c.label);
    return out;
  }, "The peak profiles pattern() accepts: the built-in ones, then the plug-ins'.");
  m.def(
      "pattern_extension",
      [](const std::optional<std::string>& format) {
        const auto session = CurrentSession();
        Session& s = WithPlugins(*session);
        Error error{};
        int index = 0;
        if (!s.ChooseFormat(format, &index, &error)) Raise(error);
        return ExportFileName("p", s.Format(index)).substr(1);
      },
      py::arg("format") = py::none(),
      "The extension of a pattern file in the format (None: the text format), as --out-dir names it.");
}

StructureClass RegisterStructure(py::module_& m) {
  StructureClass cls(m, "Structure",
                     "A crystal structure with its experiment; every attribute can be read\n"
                     "and set. Lengths in angstrom, angles and 2-theta in degrees.");
  cls.def_property_readonly("path", [](Structure& s) { return s.path(); },
                            "The file the structure was read from, as given to read(); the report of a fit\n"
                            "names the structure by it.");
  cls.def("save", &Save, py::arg("path"), "Writes the structure file (XML); WriteError when it cannot.");
  cls.def("__repr__", [](Structure& s) {
    const auto [path, cell, n] = With(s, [&s](CKomorka& d) {
      return std::tuple{s.path(), std::array<double, 3>{d.cell.a, d.cell.b, d.cell.c}, d.crystal.EditableAtoms().size()};
    });
    return py::str("<pelmora.Structure {!r}: a={} b={} c={}, {} sites>").format(path, cell[0], cell[1], cell[2], n);
  });
  return cls;
}

}  // namespace pelmora::python
