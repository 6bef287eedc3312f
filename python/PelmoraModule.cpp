// The Python module `pelmora._pelmora`: structures read, changed, calculated
// and written through the same workspace and calculation path as
// pelmora-cli. Calculations run without the interpreter's lock; Ctrl+C
// cancels them.
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <thread>
#include <type_traits>

#include "Session.h"
#include "diffractogram/PatternExport.h"
#include "documents/StructureFile.h"
#include "engine/SpaceGroup.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"

namespace py = pybind11;

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

void Warn(const std::vector<std::string>& notes) {
  for (const std::string& n : notes)
    if (PyErr_WarnEx(gWarning, n.c_str(), 1) != 0) throw py::error_already_set();
}

[[noreturn]] void Raise(const Error& e) {
  switch (e.kind) {
    case Failure::kBadArgument: throw py::value_error(e.text);
    case Failure::kUnreadable: PyErr_SetString(gReadError, e.text.c_str()); break;
    case Failure::kRefused: PyErr_SetString(gRefusedError, e.text.c_str()); break;
    case Failure::kNotWritten: PyErr_SetString(gWriteError, e.text.c_str()); break;
    case Failure::kInterrupted:
      // The KeyboardInterrupt of the signal handler is already set.
      if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
      break;
  }
  throw py::error_already_set();
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

std::shared_ptr<Session> CurrentSession() {
  {
    std::lock_guard<std::mutex> lock(gSessionMutex);
    if (gSession) return gSession;
  }
  return Configure({});
}

// Reads or changes the document with the interpreter's lock released: a
// thread that holds the structure's lock may be waiting for the
// interpreter's, never the other way round.
template <class F>
auto With(Structure& s, F&& f) {
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> lock(s.mutex);
  return f(s.doc());
}

// Runs `work` on a helper thread while this thread, the interpreter's,
// looks for Ctrl+C every 50 ms and turns it into the structure's cancel.
// Called without the interpreter's lock; true when the user interrupted.
template <class F, class C>
bool RunWatchedWith(F&& work, C&& cancel) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::exception_ptr failure;
  std::thread helper([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(m);
    done = true;
    cv.notify_all();
  });
  bool interrupted = false;
  std::unique_lock<std::mutex> lock(m);
  while (!cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) {
    if (!interrupted) {
      lock.unlock();
      {
        py::gil_scoped_acquire gil;
        interrupted = PyErr_CheckSignals() != 0;
      }
      lock.lock();
    }
    // Repeated: a cancel that came before the run started is cleared by it.
    if (interrupted) cancel();
  }
  lock.unlock();
  helper.join();
  if (failure) std::rethrow_exception(failure);
  return interrupted;
}

template <class F>
bool RunWatched(Structure& s, F&& work) {
  return RunWatchedWith(std::forward<F>(work), [&s] { s.RequestCancel(); });
}

// A column handed to NumPy without another copy.
template <class T>
py::array_t<T> ToArray(std::vector<T>&& v) {
  if (v.empty()) return py::array_t<T>(0);
  auto* owned = new std::vector<T>(std::move(v));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), owner);
}

struct ReflectionColumns {
  std::vector<double> twoTheta, d, reF, imF, f2, intensity, percent;
  std::vector<std::int32_t> h, k, l, multiplicity, line;

  // The rows of the reflection list the filter shows, as it prints them.
  void Fill(const CKomorka& doc, const ReflectionFilter& filter) {
    size_t n = 0;
    for (const Reflection& r : doc.results.reflectionsAll) n += ShowsReflection(doc.experiment, r, filter);
    for (auto* v : {&twoTheta, &d, &reF, &imF, &f2, &intensity, &percent}) v->reserve(n);
    for (auto* v : {&h, &k, &l, &multiplicity, &line}) v->reserve(n);
    for (const Reflection& r : doc.results.reflectionsAll) {
      if (!ShowsReflection(doc.experiment, r, filter)) continue;
      twoTheta.push_back(TwoThetaDegrees(r));
      d.push_back(r.d);
      reF.push_back(r.reF);
      imF.push_back(r.imF);
      f2.push_back(r.f2);
      intensity.push_back(r.intensity);
      percent.push_back(doc.results.maxIntensity != 0.0 ? r.intensity / doc.results.maxIntensity * 100.0 : 0.0);
      h.push_back(r.h);
      k.push_back(r.k);
      l.push_back(r.l);
      multiplicity.push_back(r.multiplicity);
      line.push_back(r.line);
    }
  }
  py::dict ToDict() {
    py::dict out;
    out["two_theta"] = ToArray(std::move(twoTheta));
    out["d"] = ToArray(std::move(d));
    out["h"] = ToArray(std::move(h));
    out["k"] = ToArray(std::move(k));
    out["l"] = ToArray(std::move(l));
    out["multiplicity"] = ToArray(std::move(multiplicity));
    out["f_re"] = ToArray(std::move(reF));
    out["f_im"] = ToArray(std::move(imF));
    out["f2"] = ToArray(std::move(f2));
    out["intensity"] = ToArray(std::move(intensity));
    out["percent"] = ToArray(std::move(percent));
    out["line"] = ToArray(std::move(line));
    return out;
  }
};

using StructurePtr = std::shared_ptr<Structure>;

StructurePtr Read(const std::filesystem::path& path) {
  auto session = CurrentSession();
  auto s = std::make_shared<Structure>(session, path.string());
  Error error{};
  std::vector<std::string> notes;
  bool opened;
  {
    py::gil_scoped_release release;
    opened = s->Open(&error, notes);
  }
  if (!opened) Raise(error);
  Warn(notes);
  return s;
}

ReflectionFilter FilterOf(bool ka2, bool extinct) {
  ReflectionFilter f;
  f.secondLine = ka2;
  f.extinct = extinct;
  return f;
}

py::dict Reflections(Structure& s, bool ka2, bool extinct) {
  Error error{};
  bool ok = false, interrupted = false;
  ReflectionColumns columns;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(s.mutex);
    interrupted = RunWatched(s, [&] { ok = s.CalculateReflections(&error); });
    if (ok) columns.Fill(s.doc(), FilterOf(ka2, extinct));
  }
  if (interrupted) Raise({Failure::kInterrupted, {}});
  if (!ok) Raise(error);
  return columns.ToDict();
}

Session& WithPlugins(Session& session);

int ProfileFor(Session& session, const std::optional<std::string>& profile) {
  Error error{};
  int id = 0;
  if (!WithPlugins(session).ChooseProfile(profile, &id, &error)) Raise(error);
  return id;
}

// Grid points between whole multiples of the grid step; 1 when no step is
// given.
int StrideOf(std::optional<double> step) {
  if (!step) return 1;
  const double n = std::round(*step / kPatternStep);
  if (!(n >= 1.0 && n <= kPatternPoints) || std::abs(n * kPatternStep - *step) > 1e-9)
    throw py::value_error("step must be a whole multiple of the grid step, 0.005 degrees");
  return static_cast<int>(n);
}

py::tuple Pattern(Structure& s, const std::optional<std::string>& profile, std::optional<double> step,
                  std::optional<double> scale) {
  const int stride = StrideOf(step);
  if (scale && !std::isfinite(*scale)) throw py::value_error("the scale must be a finite number");
  const int id = ProfileFor(s.session(), profile);
  Error error{};
  bool ok = false, interrupted = false;
  std::vector<std::string> notes;
  std::vector<double> twoTheta, intensity;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto grid = std::make_unique<PatternGrid>();
    interrupted = RunWatched(s, [&] { ok = s.CalculatePattern(id, *grid, &error, notes); });
    if (ok) {
      // The points and the scale of the text export, every stride-th point.
      const PatternWindow window = ExportWindow(s.doc().experiment.angleMin, s.doc().experiment.angleMax);
      const double factor = scale ? *scale : DefaultExportScale(WindowMaximum(*grid, window));
      for (int i = 0; i < window.count; i += stride) {
        const PatternPoint& p = (*grid)[window.first + i];
        twoTheta.push_back(p.twoTheta);
        intensity.push_back(p.intensity * factor);
      }
    }
  }
  if (interrupted) Raise({Failure::kInterrupted, {}});
  if (!ok) Raise(error);
  Warn(notes);
  return py::make_tuple(ToArray(std::move(twoTheta)), ToArray(std::move(intensity)));
}

void Export(Structure& s, const std::optional<std::filesystem::path>& reflections,
            const std::optional<std::filesystem::path>& pattern, const std::optional<std::string>& profile,
            bool ka2, bool extinct, std::optional<double> scale, const std::optional<std::string>& format) {
  if (scale && !std::isfinite(*scale)) throw py::value_error("the scale must be a finite number");
  int id = kProfileStick, formatIndex = 0;
  Error error{};
  if (pattern) {
    id = ProfileFor(s.session(), profile);
    if (!s.session().ChooseFormat(format, &formatIndex, &error)) Raise(error);
  }
  bool ok = false, interrupted = false;
  std::vector<std::string> notes;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(s.mutex);
    interrupted = RunWatched(s, [&] {
      ok = s.Export(reflections ? reflections->string() : std::string(), pattern ? pattern->string() : std::string(),
                    id, FilterOf(ka2, extinct), scale, formatIndex, &error, notes);
    });
  }
  if (interrupted) Raise({Failure::kInterrupted, {}});
  Warn(notes);
  if (!ok) Raise(error);
}

void Save(Structure& s, const std::filesystem::path& path) {
  std::string error;
  const bool saved = With(s, [&](CKomorka& doc) { return SaveStructureFile(doc, path.string(), &error); });
  if (!saved) Raise({Failure::kNotWritten, error});
}

// --- sites --------------------------------------------------------------------

// One site: a view of a structure's site, whose changes go straight into
// the structure, or a free-standing one to put into a structure. With a
// space group the sites are those of the asymmetric unit, and a change
// regenerates the cell from them.
struct Site {
  StructurePtr owner;
  size_t index = 0;
  AtomSite own;

  template <class F>
  auto Read(F&& f) {
    if (!owner) return f(own);
    return With(*owner, [&](CKomorka& doc) {
      if (index >= doc.crystal.EditableAtoms().size()) throw py::index_error("the site is no longer in the structure");
      return f(doc.crystal.EditableAtoms()[index]);
    });
  }
  template <class F>
  void Change(F&& f) {
    if (!owner) return f(own);
    With(*owner, [&](CKomorka& doc) {
      if (index >= doc.crystal.EditableAtoms().size()) throw py::index_error("the site is no longer in the structure");
      f(doc.crystal.EditableAtoms()[index]);
      doc.crystal.ExpandCellAtoms();
    });
  }
  AtomSite Value() {
    return Read([](AtomSite& a) { return a; });
  }
};

std::vector<Site> SitesOf(const StructurePtr& s) {
  const size_t n = With(*s, [](CKomorka& doc) { return doc.crystal.EditableAtoms().size(); });
  std::vector<Site> out(n);
  for (size_t i = 0; i < n; ++i) out[i].owner = s, out[i].index = i;
  return out;
}

void SetSites(const StructurePtr& s, std::vector<Site*> sites) {
  std::vector<AtomSite> atoms;
  for (Site* site : sites) {
    if (!site) throw py::type_error("sites must be Site objects");
    atoms.push_back(site->Value());
  }
  const bool fits = With(*s, [&](CKomorka& doc) {
    if (doc.crystal.spaceGroup.empty()) {
      if (!Crystal::FitsCapacity(doc.crystal.latticeType, atoms.size())) return false;
      for (size_t i = 0; i < atoms.size(); ++i) atoms[i].siteIndex = static_cast<std::int32_t>(i);
      doc.crystal.structureAtoms = std::move(atoms);
      doc.crystal.ExpandCellAtoms();
      return true;
    }
    // The group's cell from the new sites, or the old sites kept.
    std::vector<AtomSite> old = std::move(doc.crystal.asymmetricUnit);
    doc.crystal.asymmetricUnit = std::move(atoms);
    if (doc.crystal.ExpandCellAtoms()) return true;
    doc.crystal.asymmetricUnit = std::move(old);
    doc.crystal.ExpandCellAtoms();
    return false;
  });
  if (!fits)
    throw py::value_error("the cell holds at most " + std::to_string(Crystal::kMaxAtoms) +
                          " atoms after the centring");
}

// The site's share, (0, 1].
void SetOccupancy(Site& s, double v) {
  if (!(v > 0.0 && v <= 1.0)) throw py::value_error("the occupancy must be greater than 0 and at most 1");
  s.Change([v](AtomSite& a) { a.occupancy = v; });
}

// The site's own B; None for the experiment's.
void SetSiteB(Site& s, std::optional<double> v) {
  if (v && !(std::isfinite(*v) && *v >= 0.0)) throw py::value_error("B must be a finite number, 0 or more");
  s.Change([v](AtomSite& a) { a.biso = v; });
}

// --- space group --------------------------------------------------------------

std::optional<std::string> SpaceGroupOfDoc(Structure& s) {
  const std::string name = With(s, [](CKomorka& d) { return d.crystal.spaceGroup; });
  return name.empty() ? std::nullopt : std::optional<std::string>(name);
}

std::optional<int> SpaceGroupNumber(Structure& s) {
  const std::optional<std::string> name = SpaceGroupOfDoc(s);
  if (!name) return std::nullopt;
  const std::optional<SpaceGroupSetting> g = FindSpaceGroup(*name);
  return g ? std::optional<int>(g->number) : std::nullopt;
}

// As the structure page sets it: a symbol, a number or a Hall symbol; None
// removes the group and keeps the generated atoms, each on its own. Atoms
// given without a group become the group's sites.
void SetSpaceGroupOf(Structure& s, const py::object& value) {
  std::string name;
  if (!value.is_none()) {
    std::string text;
    if (py::isinstance<py::bool_>(value)) throw py::type_error("a space group is a symbol, a number or None");
    if (py::isinstance<py::int_>(value)) text = std::to_string(value.cast<long long>());
    else if (py::isinstance<py::str>(value)) text = value.cast<std::string>();
    else throw py::type_error("a space group is a symbol, a number or None");
    const std::optional<SpaceGroupSetting> g = FindSpaceGroup(text);
    if (!g)
      throw py::value_error("unknown space group \"" + text +
                            "\": give a Hermann-Mauguin symbol (P 42/m n m), a number (1-230) or a Hall symbol");
    name = g->Name();
  }
  const bool fits = With(s, [&name](CKomorka& d) { return name == d.crystal.spaceGroup || d.SetSpaceGroup(name); });
  if (!fits)
    Warn({"the cell holds at most " + std::to_string(Crystal::kMaxAtoms) + " atoms; the atoms beyond are left out"});
}

template <class T>
void SiteField(py::class_<Site>& cls, const char* name, T AtomSite::*member) {
  cls.def_property(
      name, [member](Site& s) { return s.Read([member](AtomSite& a) { return a.*member; }); },
      [member](Site& s, T v) { s.Change([member, &v](AtomSite& a) { a.*member = v; }); });
}

// The four a or b Cromer-Mann coefficients as one value.
void SiteCoefficients(py::class_<Site>& cls, const char* name, double AtomSite::*const (&members)[4]) {
  cls.def_property(
      name,
      [&members](Site& s) {
        const auto values = s.Read([&members](AtomSite& at) {
          std::array<double, 4> out;
          for (size_t i = 0; i < 4; ++i) out[i] = at.*members[i];
          return out;
        });
        return py::tuple(py::cast(values));
      },
      [&members](Site& s, const std::array<double, 4>& v) {
        s.Change([&members, &v](AtomSite& at) {
          for (size_t i = 0; i < 4; ++i) at.*members[i] = v[i];
        });
      });
}

// --- lattice ------------------------------------------------------------------

constexpr const char* kSystemEnglish[8] = {"",          "cubic",      "tetragonal", "orthorhombic",
                                           "rhombohedral", "hexagonal", "monoclinic", "triclinic"};

std::pair<std::string, std::string> LatticeOf(LatticeType t) {
  return {kSystemEnglish[t & kSystemMask], std::string(1, CentringLetterOf(t))};
}

void SetLattice(Structure& s, const std::pair<std::string, std::string>& lattice) {
  LatticeType type = 0;
  for (LatticeType code = 1; code <= 7; ++code)
    if (lattice.first == kSystemEnglish[code] || lattice.first == kSystemNames[code]) type = code;
  const std::string& c = lattice.second;
  if (c == "I") type |= kBodyCentred;
  else if (c == "F") type |= kFaceCentred;
  else if (c == "C") type |= kBaseCentred;
  else if (c != "P") type = 0;
  const int index = With(s, [type](CKomorka& doc) {
    if (!doc.crystal.spaceGroup.empty()) return -3;
    for (int i = 0; type != 0 && i < kBravaisCount; ++i)
      if (BravaisTable[i].type == type) {
        if (!Crystal::FitsCapacity(type, doc.crystal.structureAtoms.size())) return -2;
        doc.crystal.latticeType = type;
        doc.crystal.bravaisIndex = i;
        doc.crystal.ExpandCellAtoms();
        return i;
      }
    return -1;
  });
  if (index == -3) throw py::value_error("the space group decides the lattice type; set space_group = None first");
  if (index == -2) throw py::value_error("the atoms do not fit the cell with this centring");
  if (index < 0)
    throw py::value_error("not one of the 14 lattice types: (\"" + lattice.first + "\", \"" + c +
                          "\"); systems: cubic, tetragonal, orthorhombic, rhombohedral, hexagonal, monoclinic, "
                          "triclinic; centrings: P, I, F, C");
}

// --- plain experiment and cell fields -----------------------------------------

// The part of the document that holds the fields of Owner: the cell or
// the experiment (or one of its groups of values).
template <class Owner>
Owner& PartOf(CKomorka& d) {
  if constexpr (std::is_base_of_v<Owner, UnitCell>) return d.cell;
  else return d.experiment;
}

template <class T, class Owner>
void Field(py::class_<Structure, StructurePtr>& cls, const char* name, T Owner::*member) {
  cls.def_property(
      name, [member](Structure& s) { return With(s, [member](CKomorka& d) { return PartOf<Owner>(d).*member; }); },
      [member](Structure& s, T v) {
        With(s, [member, v](CKomorka& d) {
          PartOf<Owner>(d).*member = v;
          d.cell.RefreshCellMetric();
        });
      });
}

// Several fields as one tuple.
template <class Owner, size_t N>
void Group(py::class_<Structure, StructurePtr>& cls, const char* name, double Owner::*const (&members)[N]) {
  cls.def_property(
      name,
      [&members](Structure& s) {
        const auto values = With(s, [&members](CKomorka& d) {
          std::array<double, N> out;
          for (size_t i = 0; i < N; ++i) out[i] = PartOf<Owner>(d).*members[i];
          return out;
        });
        return py::tuple(py::cast(values));
      },
      [&members](Structure& s, const std::array<double, N>& v) {
        With(s, [&members, &v](CKomorka& d) {
          for (size_t i = 0; i < N; ++i) PartOf<Owner>(d).*members[i] = v[i];
          d.cell.RefreshCellMetric();
        });
      });
}

double UnitCell::*const kCell[6] = {&UnitCell::a, &UnitCell::b, &UnitCell::c,
                                    &UnitCell::alfa, &UnitCell::beta, &UnitCell::gamma};
double ExperimentParams::*const kRange[2] = {&ExperimentParams::angleMin, &ExperimentParams::angleMax};
double ExperimentParams::*const kWidths[5] = {&ExperimentParams::u, &ExperimentParams::v, &ExperimentParams::w,
                                              &ExperimentParams::x, &ExperimentParams::y};
double AtomSite::*const kSiteA[4] = {&AtomSite::a1, &AtomSite::a2, &AtomSite::a3, &AtomSite::a4};
double AtomSite::*const kSiteB[4] = {&AtomSite::b1, &AtomSite::b2, &AtomSite::b3, &AtomSite::b4};


// --- measured patterns and the fit ------------------------------------------

py::object OrNone(std::vector<double>&& v, bool given) {
  if (!given) return py::none();
  return ToArray(std::move(v));
}

// A measured file as the command line reads it: ReadError with the
// reader's message, what it left out as a warning.
MeasuredPattern ReadMeasured(const std::filesystem::path& path) {
  MeasuredPattern m;
  std::string error;
  bool ok;
  {
    py::gil_scoped_release release;
    ok = ReadMeasuredFile(path.string(), m, &error);
  }
  if (!ok) Raise({Failure::kUnreadable, path.string() + ": " + error});
  if (!m.note.empty()) Warn({path.string() + ": " + m.note});
  return m;
}

py::tuple MeasuredTuple(const std::filesystem::path& path) {
  MeasuredPattern m = ReadMeasured(path);
  const bool sigma = m.hasSigma();
  return py::make_tuple(ToArray(std::move(m.twoTheta)), ToArray(std::move(m.counts)),
                        OrNone(std::move(m.sigma), sigma));
}

std::vector<double> Column(const py::handle& h) {
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(h);
  if (!a || a.ndim() != 1) throw py::value_error("the measured columns must be one-dimensional arrays of numbers");
  return std::vector<double>(a.data(), a.data() + a.size());
}

// A path, or (two_theta, counts[, sigma]) arrays checked as a file's
// columns are.
MeasuredPattern MeasuredOf(const py::object& measured) {
  if (py::isinstance<py::str>(measured) || py::hasattr(measured, "__fspath__"))
    return ReadMeasured(measured.cast<std::filesystem::path>());
  if (!py::isinstance<py::sequence>(measured) || py::len(measured) < 2 || py::len(measured) > 3)
    throw py::type_error("measured is a file path or a tuple (two_theta, counts[, sigma])");
  const py::sequence seq = measured.cast<py::sequence>();
  std::vector<double> sigma;
  if (py::len(seq) == 3 && !seq[2].is_none()) sigma = Column(seq[2]);
  MeasuredPattern m;
  std::string error;
  if (!CheckMeasuredColumns(Column(seq[0]), Column(seq[1]), std::move(sigma), "", m, &error))
    throw py::value_error(error);
  return m;
}

unsigned RefineOf(const py::object& refine) {
  std::string list;
  if (py::isinstance<py::str>(refine)) {
    list = refine.cast<std::string>();
  } else {
    for (const py::handle& h : refine) {
      if (!py::isinstance<py::str>(h)) throw py::type_error("refine names values as strings");
      list += (list.empty() ? "" : ",") + h.cast<std::string>();
    }
  }
  unsigned what = 0;
  std::string bad;
  if (!ParseFitWhat(list, what, &bad))
    throw py::value_error("unknown value to refine \"" + bad + "\"; known: scale, zero, background, uvw, cell, size");
  return what;
}

py::array_t<double> Array6(const std::array<double, 6>& v) {
  return ToArray(std::vector<double>(v.begin(), v.end()));
}

py::dict FitDict(FitResult&& r) {
  py::dict out;
  out["points"] = r.points;
  out["parameters"] = r.parameters;
  out["iterations"] = r.iterations;
  out["rp"] = r.rp;
  out["rwp"] = r.rwp;
  out["rexp"] = r.rexp;
  out["chi2"] = r.chi2;
  out["zero"] = r.zero;
  out["zero_esd"] = r.zeroEsd;
  out["background"] = ToArray(std::move(r.background));
  out["background_esd"] = ToArray(std::move(r.backgroundEsd));
  out["background_range"] = py::make_tuple(r.rangeMin, r.rangeMax);
  out["uvw"] = py::make_tuple(r.u, r.v, r.w);
  out["uvw_esd"] = py::make_tuple(r.widthEsd[0], r.widthEsd[1], r.widthEsd[2]);
  py::list phases;
  for (FitPhase& f : r.phases) {
    py::dict p;
    p["name"] = f.name;
    p["scale"] = f.scale;
    p["scale_esd"] = f.scaleEsd;
    p["weight_fraction"] = f.weightFraction;
    p["grain_size"] = f.grainSize;
    p["grain_size_esd"] = f.grainSizeEsd;
    p["cell"] = Array6(f.cell);
    p["cell_esd"] = Array6(f.cellEsd);
    p["cell_mass"] = f.cellMass;
    p["volume"] = f.volume;
    p["curve"] = ToArray(std::move(f.curve));
    phases.append(p);
  }
  out["phases"] = phases;
  std::vector<double> difference(r.observed.size());
  for (size_t i = 0; i < difference.size(); ++i) difference[i] = r.observed[i] - r.calculated[i];
  out["two_theta"] = ToArray(std::move(r.twoTheta));
  out["observed"] = ToArray(std::move(r.observed));
  out["calculated"] = ToArray(std::move(r.calculated));
  out["difference"] = ToArray(std::move(difference));
  out["background_curve"] = ToArray(std::move(r.backgroundCurve));
  out["weight"] = ToArray(std::move(r.weight));
  return out;
}

Session& WithPlugins(Session& session);

// pelmora-cli fit over structures as they are now: the first one's
// experiment for all, the documents themselves untouched.
py::dict Fit(const py::object& structures, const py::object& measured, const py::object& refine, int backgroundTerms,
             std::optional<std::pair<double, double>> range, const std::optional<std::string>& profile,
             int iterations) {
  std::vector<StructurePtr> phases;
  if (py::isinstance<Structure>(structures)) {
    phases.push_back(structures.cast<StructurePtr>());
  } else {
    for (const py::handle& h : structures) {
      if (!py::isinstance<Structure>(h)) throw py::type_error("structures are Structure objects");
      phases.push_back(h.cast<StructurePtr>());
    }
  }
  if (phases.empty()) throw py::value_error("no structure to fit");
  FitOptions options;
  options.refine = RefineOf(refine);
  if (backgroundTerms < 0 || backgroundTerms > 30) throw py::value_error("background_terms must be between 0 and 30");
  options.backgroundTerms = backgroundTerms;
  if (iterations < 1) throw py::value_error("iterations must be 1 or more");
  options.maxIterations = iterations;
  if (range) {
    options.rangeMin = std::min(range->first, range->second);
    options.rangeMax = std::max(range->first, range->second);
  }
  Session& session = WithPlugins(phases.front()->session());
  // The profile named, else the settings' one when it has a width, else the
  // pseudo-Voigt: a stick pattern cannot be fitted.
  Error error{};
  int id = 0;
  if (!session.ChooseProfile(profile, &id, &error)) Raise(error);
  if (!profile && id == kProfileStick) id = kProfilePseudoVoigt;
  options.setup = session.workspace().SetupFor(kProfileStick, nullptr);
  options.setup.profile = id;
  const MeasuredPattern pattern = MeasuredOf(measured);

  FitResult result;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    // Each structure locked once, in one order, for as long as the fit reads it.
    std::vector<Structure*> owners;
    for (const StructurePtr& p : phases) owners.push_back(p.get());
    std::sort(owners.begin(), owners.end());
    owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
    std::vector<std::unique_lock<std::mutex>> locks;
    for (Structure* o : owners) locks.emplace_back(o->mutex);
    std::unique_lock<std::mutex> plugins(session.pluginMutex, std::defer_lock);
    if (id >= 0) plugins.lock();
    std::vector<const CKomorka*> docs;
    for (const StructurePtr& p : phases) docs.push_back(&p->doc());
    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    interrupted = RunWatchedWith([&] { result = FitPattern(docs, pattern, options); }, [&cancel] { cancel = true; });
  }
  if (interrupted || result.cancelled) Raise({Failure::kInterrupted, {}});
  if (!result.error.empty()) Raise({Failure::kRefused, result.error});
  return FitDict(std::move(result));
}

// The plug-ins, scanned before the first pattern; a failed scan is a warning.
Session& WithPlugins(Session& session) {
  std::string scanError;
  {
    py::gil_scoped_release release;
    scanError = session.EnsurePlugins();
  }
  if (!scanError.empty()) Warn({"Error: " + scanError});
  return session;
}

}  // namespace
}  // namespace pelmora::python

using namespace pelmora;
using namespace pelmora::python;

PYBIND11_MODULE(_pelmora, m) {
  m.doc() = "Powder diffraction patterns of crystal structures: Pelmora's calculation for Python.";
  gModuleDir = ModuleDir();

  gError = PyErr_NewExceptionWithDoc("pelmora.Error", "A structure could not be read, calculated or written.",
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
  m.def("read", &Read, py::arg("path"),
        "Reads a structure file (.xml), a CIF, a PDB or mmCIF file or an older .dat input file.\n"
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

  m.def("read_measured", &MeasuredTuple, py::arg("path"),
        "Reads a measured pattern in any format xylib knows, as pelmora-cli fit reads it:\n"
        "(two_theta, counts, sigma) arrays sorted by angle; sigma None when the file gives none.\n"
        "Raises ReadError with the reader's message.");
  m.def("fit", &Fit, py::arg("structures"), py::arg("measured"),
        py::arg("refine") = py::make_tuple("scale", "zero", "background"), py::kw_only(),
        py::arg("background_terms") = 6, py::arg("range") = py::none(), py::arg("profile") = py::none(),
        py::arg("iterations") = 100,
        "Fits the calculated patterns of one or more structures to a measured pattern, as pelmora-cli fit:\n"
        "y_calc(t) = sum_p s_p I_p(t - z) + b(t), b a Chebyshev series, weights 1/sigma^2 or 1/y_obs.\n"
        "measured: a file path or (two_theta, counts[, sigma]); refine: any of \"scale\", \"zero\",\n"
        "\"background\", \"uvw\", \"cell\", \"size\"; range: the 2-theta range fitted (None: the first\n"
        "structure's); profile: None for the settings' one (the pseudo-Voigt for \"brak\"). The first\n"
        "structure's experiment applies to all; the structures are not changed.\n"
        "Returns a dict: rp, rwp, rexp (percent), chi2, zero, background, uvw with their *_esd,\n"
        "phases (scale, weight_fraction, grain_size, cell with esds, curve), and per fitted point\n"
        "two_theta, observed, calculated, difference, background_curve, weight. RefusedError when\n"
        "the fit is refused; Ctrl+C stops it.");

  py::class_<Site> site(m, "Site",
                        "One atom site. Taken from Structure.sites it is a view whose changes go into the\n"
                        "structure; Site(...) and copy() make free-standing sites for Structure.sites = [...].");
  site.def(py::init([](const std::string& name, double x, double y, double z) {
             Site s;
             s.own.name = name;
             s.own.x = x, s.own.y = y, s.own.z = z;
             return s;
           }),
           py::arg("name") = "", py::arg("x") = 0.0, py::arg("y") = 0.0, py::arg("z") = 0.0);
  SiteField(site, "name", &AtomSite::name);
  SiteField(site, "element", &AtomSite::nr);
  SiteField(site, "charge", &AtomSite::ionCharge);
  SiteField(site, "x", &AtomSite::x);
  SiteField(site, "y", &AtomSite::y);
  SiteField(site, "z", &AtomSite::z);
  SiteField<double>(site, "c", &AtomSite::c);
  SiteField<double>(site, "neutron_length", &AtomSite::s);
  SiteField<double>(site, "f_prime", &AtomSite::fprim);
  SiteField<double>(site, "f_double_prime", &AtomSite::fbis);
  site.def_property(
      "occupancy", [](Site& s) { return s.Read([](AtomSite& a) { return a.occupancy; }); }, &SetOccupancy,
      "The share of the site its atom fills, greater than 0 and at most 1.");
  site.def_property(
      "b_iso", [](Site& s) { return s.Read([](AtomSite& a) { return a.biso; }); }, &SetSiteB,
      "The site's own isotropic displacement B in square angstrom; None: the structure's b_factor\n"
      "(when temperature_factor is on).");
  SiteCoefficients(site, "a", kSiteA);
  SiteCoefficients(site, "b", kSiteB);
  site.def("copy", [](Site& s) {
    Site c;
    c.own = s.Value();
    return c;
  });
  site.def("__repr__", [](Site& s) {
    const AtomSite a = s.Value();
    return py::str("Site({!r}, {}, {}, {})").format(a.name, a.x, a.y, a.z);
  });

  py::class_<Structure, StructurePtr> cls(m, "Structure",
                                          "A crystal structure with its experiment; every attribute can be read\n"
                                          "and set. Lengths in angstrom, angles and 2-theta in degrees.");
  cls.def_property_readonly("path", [](Structure& s) { return s.path(); });
  Field(cls, "a", &UnitCell::a);
  Field(cls, "b", &UnitCell::b);
  Field(cls, "c", &UnitCell::c);
  Field(cls, "alpha", &UnitCell::alfa);
  Field(cls, "beta", &UnitCell::beta);
  Field(cls, "gamma", &UnitCell::gamma);
  Group(cls, "cell", kCell);
  cls.def_property_readonly("volume", [](Structure& s) {
    return With(s, [](CKomorka& d) { return d.cell.WithFreshMetric().CellVolume(); });
  });
  cls.def_property(
      "lattice", [](Structure& s) { return With(s, [](CKomorka& d) { return LatticeOf(d.crystal.latticeType); }); },
      &SetLattice);
  cls.def_property("sites", &SitesOf, &SetSites,
                   "The sites: with a space group those of the asymmetric unit, from which the cell is\n"
                   "generated; else the atoms of the lattice type's cell.");
  cls.def_property("space_group", &SpaceGroupOfDoc, &SetSpaceGroupOf,
                   "The space group's setting (\"P 42/m n m\", \"F d -3 m:2\") or None. Set a symbol, a number or\n"
                   "a Hall symbol: the cell is generated from the sites (atoms given without a group become its\n"
                   "sites), the lattice type and cell constants follow the group. None keeps the atoms.");
  cls.def_property_readonly("space_group_number", &SpaceGroupNumber, "The space group's number, or None.");
  cls.def_property(
      "radiation",
      [](Structure& s) {
        return With(s, [](CKomorka& d) { return std::string(d.experiment.radiation == 1 ? "n" : "x"); });
      },
      [](Structure& s, const std::string& r) {
        if (r != "x" && r != "n") throw py::value_error("radiation is \"x\" (X-rays) or \"n\" (neutrons)");
        With(s, [&r](CKomorka& d) { d.experiment.radiation = r == "n" ? 1 : 0; });
      });
  cls.def_property(
      "wavelengths",
      [](Structure& s) {
        return With(s, [](CKomorka& d) { return std::pair{d.experiment.lambda1, d.experiment.lambda2}; });
      },
      [](Structure& s, std::pair<double, double> l) {
        With(s, [l](CKomorka& d) {
          d.experiment.lambda1 = l.first;
          d.experiment.lambda2 = l.second;
        });
      });
  Field(cls, "ka2_ratio", &Wavelengths::ratio);
  Field(cls, "source", &ExperimentParams::sourceName);
  Field(cls, "instrument", &ExperimentParams::aparatName);
  Group(cls, "range", kRange);
  Group(cls, "widths", kWidths);
  Field(cls, "grain_size", &SampleValues::gsize);
  Field(cls, "b_factor", &SampleValues::dwfactor);
  cls.def_property(
      "temperature_factor", [](Structure& s) { return With(s, [](CKomorka& d) { return d.experiment.IsDW != 0; }); },
      [](Structure& s, bool on) { With(s, [on](CKomorka& d) { d.experiment.IsDW = on ? 1 : 0; }); });
  Field(cls, "absorption", &SampleValues::absorption);
  Field(cls, "radius", &Diffractometer::difradius);
  Field(cls, "detector_slit", &Diffractometer::detslit);
  Field(cls, "beam_area", &Diffractometer::beamarea);
  Field(cls, "scan_speed", &Diffractometer::measurespeed);
  cls.def("save", &Save, py::arg("path"), "Writes the structure file (XML); WriteError when it cannot.");
  cls.def("reflections", &Reflections, py::arg("ka2") = false, py::arg("extinct") = false,
          "Calculates and returns the rows of the reflection list as a dict of NumPy arrays: two_theta,\n"
          "d, h, k, l, multiplicity, f_re, f_im, f2, intensity, percent, line. ka2 and extinct add the\n"
          "second line's and the extinct reflections, as pelmora-cli calc --ka2 --extinct.");
  cls.def("pattern", &Pattern, py::arg("profile") = "pseudo Voigt", py::arg("step") = py::none(),
          py::arg("scale") = py::none(),
          "Calculates the pattern: (two_theta, intensity) on the 0.005 degree grid over the range,\n"
          "highest point 10000 unless scale is given, as pelmora-cli calc --pattern - writes it.\n"
          "profile: one of profiles(), None for the settings' choice; step: a multiple of 0.005.");
  cls.def("export", &Export, py::arg("reflections") = py::none(), py::arg("pattern") = py::none(), py::kw_only(),
          py::arg("profile") = py::none(), py::arg("ka2") = false, py::arg("extinct") = false,
          py::arg("scale") = py::none(), py::arg("format") = py::none(),
          "Writes the pattern file (when given), then the reflection list, byte for byte as\n"
          "pelmora-cli calc writes them; profile None is the settings' PeakProfile.");
  cls.def("__repr__", [](Structure& s) {
    const auto [path, cell, n] = With(s, [&s](CKomorka& d) {
      return std::tuple{s.path(), std::array<double, 3>{d.cell.a, d.cell.b, d.cell.c},
                        d.crystal.EditableAtoms().size()};
    });
    return py::str("<pelmora.Structure {!r}: a={} b={} c={}, {} sites>").format(path, cell[0], cell[1], cell[2], n);
  });
}

