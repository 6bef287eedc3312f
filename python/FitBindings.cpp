// Measured patterns and the fit of structures' patterns to one, as
// pelmora-cli fit reads and fits them (measured/MeasuredPattern.h,
// measured/PatternFit.h, the request read by workspace/Session.h).
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"
#include "measured/Refinement.h"
#include "workspace/Session.h"

namespace pelmora::python {
namespace {

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

// A measured file's columns with what the reader said about it; unpacks
// as (two_theta, counts, sigma).
struct MeasuredData {
  py::object twoTheta, counts, sigma;
  int skippedLines = 0;
  std::string format, note;
  py::tuple Columns() const { return py::make_tuple(twoTheta, counts, sigma); }
};

MeasuredData MeasuredColumns(const std::filesystem::path& path) {
  MeasuredPattern m = ReadMeasured(path);
  const bool sigma = m.hasSigma();
  MeasuredData d;
  d.twoTheta = ToArray(std::move(m.twoTheta));
  d.counts = ToArray(std::move(m.counts));
  d.sigma = OrNone(std::move(m.sigma), sigma);
  d.skippedLines = m.skippedLines;
  d.format = m.format;
  d.note = m.note;
  return d;
}

std::vector<double> Column(const py::handle& h) {
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(h);
  if (!a || a.ndim() != 1) throw py::value_error("the measured columns must be one-dimensional arrays of numbers");
  return std::vector<double>(a.data(), a.data() + a.size());
}

// A path, or (two_theta, counts[, sigma]) arrays checked as a file's
// columns are.
MeasuredPattern MeasuredOf(const py::object& given) {
  if (py::isinstance<py::str>(given) || py::hasattr(given, "__fspath__"))
    return ReadMeasured(given.cast<std::filesystem::path>());
  // What read_measured gave stands for its columns.
  const py::object measured = py::isinstance<MeasuredData>(given) ? given.cast<const MeasuredData&>().Columns() : given;
  if (!py::isinstance<py::sequence>(measured) || py::len(measured) < 2 || py::len(measured) > 3)
    throw py::type_error("measured is a file path or a tuple (two_theta, counts[, sigma])");
  const py::sequence seq = measured.cast<py::sequence>();
  std::vector<double> sigma;
  if (py::len(seq) == 3 && !seq[2].is_none()) sigma = Column(seq[2]);
  MeasuredPattern m;
  std::string error;
  if (!CheckMeasuredColumns(Column(seq[0]), Column(seq[1]), std::move(sigma), "", m, &error))
    Raise({Failure::kBadArgument, error});
  return m;
}

// A string or strings as the comma-separated list of the command line,
// which FitOptionsOf reads.
std::string RefineOf(const py::object& refine) {
  if (py::isinstance<py::str>(refine)) return refine.cast<std::string>();
  std::string list;
  for (const py::handle& h : refine) {
    if (!py::isinstance<py::str>(h)) throw py::type_error("refine names values as strings");
    list += (list.empty() ? "" : ",") + h.cast<std::string>();
  }
  return list;
}

std::vector<StructurePtr> PhasesGiven(const py::object& structures) {
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
  return phases;
}

// The report as pelmora-cli fit --report writes it, with each pattern's
// points as arrays (the first pattern's also at the top, each phase's part
// of it as its "curve").
py::dict ReportDict(const RefinementOutcome& r, const std::vector<std::string>& phaseFiles,
                    const std::vector<std::string>& patternFiles) {
  py::dict d = py::module_::import("json").attr("loads")(RefinementJson(r, phaseFiles, patternFiles));
  py::list patterns = d["patterns"];
  for (size_t p = 0; p < r.patterns.size(); ++p) {
    const RefinedPatternFigures& f = r.patterns[p];
    std::vector<double> difference(f.observed.size());
    for (size_t i = 0; i < difference.size(); ++i) difference[i] = f.observed[i] - f.calculated[i];
    py::dict target = patterns[p];
    for (py::dict into : {target, p == 0 ? d : py::dict()}) {
      into["two_theta"] = ToArray(std::vector<double>(f.twoTheta));
      into["observed"] = ToArray(std::vector<double>(f.observed));
      into["calculated"] = ToArray(std::vector<double>(f.calculated));
      into["difference"] = ToArray(std::vector<double>(difference));
      into["background_curve"] = ToArray(std::vector<double>(f.background));
    }
  }
  py::list phases = d["phases"];
  for (size_t f = 0; f < r.phases.size() && !r.patterns.empty(); ++f)
    phases[f].cast<py::dict>()["curve"] = ToArray(std::vector<double>(r.patterns[0].phaseCurves[f]));
  return d;
}

// The measured patterns: one (a path or arrays) or a list of them.
std::vector<MeasuredPattern> PatternsOf(const py::object& measured, std::vector<std::string>& names) {
  std::vector<MeasuredPattern> out;
  auto one = [&](const py::object& m) {
    names.push_back(py::isinstance<py::str>(m) || py::hasattr(m, "__fspath__") ? py::str(m).cast<std::string>()
                                                                               : "pattern " + std::to_string(out.size() + 1));
    out.push_back(MeasuredOf(m));
  };
  if (py::isinstance<py::list>(measured)) {
    for (const py::handle& h : measured) one(py::reinterpret_borrow<py::object>(h));
    if (out.empty()) throw py::value_error("no measured pattern");
  } else {
    one(measured);
  }
  return out;
}

// One value per pattern: a single one for all, or a list of them.
template <class T>
std::vector<std::optional<T>> PerPattern(const py::object& given, size_t patterns, const char* what) {
  std::vector<std::optional<T>> out(patterns);
  if (given.is_none()) return out;
  if (py::isinstance<py::list>(given)) {
    if (py::len(given) != patterns) throw py::value_error(std::string(what) + ": one per measured pattern");
    for (size_t i = 0; i < patterns; ++i)
      if (!given.cast<py::list>()[i].is_none()) out[i] = given.cast<py::list>()[i].cast<T>();
  } else {
    for (auto& o : out) o = given.cast<T>();
  }
  return out;
}

std::vector<std::string> PathsOf(const std::vector<StructurePtr>& phases) {
  std::vector<std::string> names;
  for (const StructurePtr& p : phases) names.push_back(p->path());
  return names;
}

// A refinement over structures as they are now and one or more measured
// patterns: the bindings' object, which keeps its values between runs.
class PyRefinement {
 public:
  PyRefinement(const py::object& structures, const py::object& measured, const py::object& refine, int backgroundTerms,
               std::optional<std::pair<double, double>> range, int iterations, bool staged, const py::object& radiation,
               const py::object& wavelengths, const py::object& monochromator, const py::object& orientation,
               const std::vector<std::pair<double, double>>& exclude, const std::vector<int>& leBail,
               bool bisoPerElement) {
    phases_ = PhasesGiven(structures);
    FitOptions fit;
    Error error{};
    if (!FitOptionsOf({RefineOf(refine), backgroundTerms, range, iterations}, fit, &error)) Raise(error);
    if (!BackgroundTermsValid(backgroundTerms))
      throw py::value_error("background_terms must be between 0 and " + std::to_string(kMaxBackgroundTerms));
    if (iterations < 1) throw py::value_error("iterations must be 1 or more");
    patterns_ = PatternsOf(measured, patternNames_);
    const auto rad = PerPattern<std::string>(radiation, patterns_.size(), "radiation");
    // [l1, l2, ratio] for all patterns, or a list of such lists (or None), one per pattern.
    const bool shared = py::isinstance<py::sequence>(wavelengths) && py::len(wavelengths) > 0 &&
                        py::isinstance<py::float_>(wavelengths.cast<py::sequence>()[0]);
    const auto wl = shared ? std::vector<std::optional<std::vector<double>>>(
                                 patterns_.size(), wavelengths.cast<std::vector<double>>())
                           : PerPattern<std::vector<double>>(wavelengths, patterns_.size(), "wavelengths");
    const auto mono = PerPattern<double>(monochromator, patterns_.size(), "monochromator");
    std::vector<std::optional<std::array<int, 3>>> axes(phases_.size());
    if (py::isinstance<py::dict>(orientation)) {
      for (const auto& [k, v] : orientation.cast<py::dict>()) axes.at(k.cast<size_t>()) = v.cast<std::array<int, 3>>();
    } else if (!orientation.is_none()) {
      axes[0] = orientation.cast<std::array<int, 3>>();
    }
    std::string refused;
    {
      py::gil_scoped_release release;
      std::vector<std::unique_lock<std::mutex>> locks = LockAll();
      std::vector<const CKomorka*> docs;
      for (const StructurePtr& p : phases_) docs.push_back(&p->doc());
      RefinementSetup setup = RefinementOf(fit, docs, PathsOf(phases_));
      setup.staged = staged;
      setup.bisoPerElement = bisoPerElement;
      setup.cancel = &cancel_;
      for (size_t i = 0; i < patterns_.size(); ++i) {
        RefinementPattern p = PatternOf(fit, *docs.front(), patterns_[i], patternNames_[i]);
        if (rad[i]) p.experiment.radiation = *rad[i] == "n" || *rad[i] == "neutrons" ? 1 : 0;
        if (wl[i] && !wl[i]->empty()) {
          p.experiment.lambda1 = (*wl[i])[0];
          p.experiment.lambda2 = wl[i]->size() > 1 ? (*wl[i])[1] : 0.0;
          if (wl[i]->size() > 2) p.experiment.ratio = (*wl[i])[2];
        }
        if (mono[i]) p.monochromator = *mono[i];
        p.excluded = exclude;
        setup.patterns.push_back(std::move(p));
      }
      for (size_t f = 0; f < phases_.size(); ++f) {
        setup.phases[f].orientation = axes[f];
        setup.phases[f].leBail = std::find(leBail.begin(), leBail.end(), static_cast<int>(f)) != leBail.end();
      }
      ref_ = Refinement::Create(setup, &refused);
    }
    if (!ref_) Raise({Failure::kRefused, refused});
  }

  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (const RefinedValue& v : ref_->values()) out.push_back(v.name);
    return out;
  }

  RefinedValue& Value(const std::string& name) {
    RefinedValue* v = ref_->Find(name);
    if (!v) throw py::key_error("no value named \"" + name + "\"");
    return *v;
  }

  py::list Parameters() {
    py::list out;
    for (const RefinedValue& v : ref_->values()) {
      py::dict d;
      d["name"] = v.name, d["value"] = v.value, d["refine"] = v.refine;
      d["lower"] = v.lower, d["upper"] = v.upper, d["esd"] = v.esd;
      out.append(d);
    }
    return out;
  }

  void SetRefine(const std::vector<std::string>& names, bool refine) {
    for (const std::string& n : names) Value(n).refine = refine;
  }

  void Bound(const std::string& name, std::optional<double> lower, std::optional<double> upper) {
    RefinedValue& v = Value(name);
    const double lo = lower.value_or(v.lower), hi = upper.value_or(v.upper);
    if (lo > hi) throw py::value_error("the lower bound is above the upper one");
    v.lower = lo, v.upper = hi;
  }

  py::dict Run() {
    bool interrupted = false;
    cancel_ = false;
    {
      py::gil_scoped_release release;
      interrupted = RunWatched([&] { outcome_ = ref_->Run(); }, [this] { cancel_ = true; });
    }
    if (interrupted || outcome_.cancelled) Raise({Failure::kInterrupted, {}});
    if (!outcome_.error.empty()) Raise({Failure::kRefused, outcome_.error});
    Warn(outcome_.warnings);
    return ReportDict(outcome_, PathsOf(phases_), patternNames_);
  }

  // The refined structure as a new Structure; the given one is unchanged.
  StructurePtr RefinedStructure(size_t phase) {
    if (phase >= phases_.size()) throw py::index_error("no structure " + std::to_string(phase));
    const StructurePtr& given = phases_[phase];
    auto out = std::make_shared<Structure>(given->sharedSession(), given->path());
    With(*given, [&](CKomorka& doc) {
      CKomorka& copy = out->doc();
      copy.experiment = doc.experiment;
      copy.cell = doc.cell;
      copy.crystal = doc.crystal;
      copy.measuredPath = doc.measuredPath;
      if (doc.sourceRecord) copy.sourceRecord = std::make_unique<RadiationSource>(*doc.sourceRecord);
      if (doc.aparatRecord) copy.aparatRecord = std::make_unique<ApparatusSet>(*doc.aparatRecord);
      ref_->ApplyTo(phase, copy, false);
    });
    return out;
  }

 private:
  std::vector<std::unique_lock<std::mutex>> LockAll() {
    std::vector<Structure*> owners;
    for (const StructurePtr& p : phases_) owners.push_back(p.get());
    std::sort(owners.begin(), owners.end());
    owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
    std::vector<std::unique_lock<std::mutex>> locks;
    for (Structure* o : owners) locks.emplace_back(o->mutex);
    return locks;
  }

  std::vector<StructurePtr> phases_;
  std::vector<MeasuredPattern> patterns_;
  std::vector<std::string> patternNames_;
  std::unique_ptr<Refinement> ref_;
  RefinementOutcome outcome_;
  std::atomic<bool> cancel_{false};
};

// pelmora-cli fit over structures as they are now: the first one's
// experiment for all, the documents themselves untouched.
py::dict Fit(const py::object& structures, const py::object& measured, const py::object& refine, int backgroundTerms,
             std::optional<std::pair<double, double>> range, const std::optional<std::string>& profile,
             int iterations) {
  if (profile && *profile != "pseudo Voigt" && *profile != "pseudo-Voigt")
    throw py::value_error("the refinement uses the pseudo-Voigt profile of Thompson, Cox and Hastings; profile \"" +
                          *profile + "\" is not one it can fit");
  PyRefinement r(structures, measured, refine, backgroundTerms, range, iterations, true, py::none(), py::none(),
                 py::none(), py::none(), {}, {}, false);
  return r.Run();
}

}  // namespace

void RegisterFit(py::module_& m) {
  py::class_<MeasuredData>(m, "MeasuredData",
                           "A measured pattern as read: two_theta, counts and sigma (None when the file gives\n"
                           "none) sorted by angle; unpacks as (two_theta, counts, sigma).")
      .def_readonly("two_theta", &MeasuredData::twoTheta)
      .def_readonly("counts", &MeasuredData::counts)
      .def_readonly("sigma", &MeasuredData::sigma)
      .def_readonly("skipped_lines", &MeasuredData::skippedLines,
                    "Lines of plain columns left out: no row of numbers, or a cut last line.")
      .def_readonly("format", &MeasuredData::format)
      .def_readonly("note", &MeasuredData::note, "What the reader left out, as the program says it; empty when nothing.")
      .def("__len__", [](const MeasuredData&) { return 3; })
      .def("__iter__", [](const MeasuredData& d) { return py::iter(d.Columns()); })
      .def("__getitem__", [](const MeasuredData& d, int i) -> py::object { return d.Columns()[static_cast<size_t>(i < 0 ? i + 3 : i)]; });
  m.def("read_measured", &MeasuredColumns, py::arg("path"),
        "Reads a measured pattern in any format xylib knows, as pelmora-cli fit reads it: a\n"
        "MeasuredData of two_theta, counts, sigma arrays sorted by angle (sigma None when the file\n"
        "gives none) and skipped_lines. Raises ReadError with the reader's message.");
  m.def("fit", &Fit, py::arg("structures"), py::arg("measured"),
        py::arg("refine") = py::make_tuple("scale", "zero", "background"), py::kw_only(),
        py::arg("background_terms") = 6, py::arg("range") = py::none(), py::arg("profile") = py::none(),
        py::arg("iterations") = 100,
        "Refines one or more structures against a measured pattern, as pelmora-cli fit does: a Rietveld\n"
        "refinement with the first structure's experiment for all. measured: a file path or\n"
        "(two_theta, counts[, sigma]); refine: names of what to refine (\"scale\", \"zero\", \"background\",\n"
        "\"uvw\", \"xy\", \"cell\", \"size\", \"strain\", \"positions\", \"occupancy\", \"biso\",\n"
        "\"asymmetry\", \"displacement\", \"transparency\"); range: the 2-theta range fitted. The structures\n"
        "are not changed. Returns the report of pelmora-cli fit --report as a dict, with two_theta, observed,\n"
        "calculated, difference and background_curve arrays and each phase's curve. Warnings (values at a\n"
        "bound, chi2 > 10, strong correlations) come as PelmoraWarning. For more (several patterns,\n"
        "orientation, values to fix, free and bound, the refined structure) use Refinement.");
  py::class_<PyRefinement>(m, "Refinement",
                           "A Rietveld refinement of structures against one or more measured patterns, as\n"
                           "pelmora-cli fit runs it, whose values can be read, fixed, freed and bounded between runs.")
      .def(py::init<const py::object&, const py::object&, const py::object&, int, std::optional<std::pair<double, double>>,
                    int, bool, const py::object&, const py::object&, const py::object&, const py::object&,
                    const std::vector<std::pair<double, double>>&, const std::vector<int>&, bool>(),
           py::arg("structures"), py::arg("measured"), py::arg("refine") = py::make_tuple("scale", "zero", "background"),
           py::kw_only(), py::arg("background_terms") = 6, py::arg("range") = py::none(), py::arg("iterations") = 100,
           py::arg("staged") = true, py::arg("radiation") = py::none(), py::arg("wavelengths") = py::none(),
           py::arg("monochromator") = py::none(), py::arg("orientation") = py::none(),
           py::arg("exclude") = std::vector<std::pair<double, double>>{}, py::arg("le_bail") = std::vector<int>{},
           py::arg("biso_per_element") = false,
           "structures: a Structure or a list; measured: a path, (two_theta, counts[, sigma]) or a list of\n"
           "them (a joint refinement); radiation (\"x\" or \"n\"), wavelengths ([l1, l2, ratio]) and\n"
           "monochromator (its 2-theta) once for all patterns or as a list, one per pattern; orientation:\n"
           "(h, k, l) for the first structure or {index: (h, k, l)}; exclude: (min, max) regions;\n"
           "le_bail: indices of structures refined with free line intensities; biso_per_element: one B\n"
           "for all the sites of an element (\"B(O)\").")
      .def_property_readonly("names", &PyRefinement::Names, "The names of the model's values.")
      .def_property_readonly("parameters", &PyRefinement::Parameters,
                             "Every value: name, value, refine, lower, upper, esd (after a run).")
      .def("__getitem__", [](PyRefinement& r, const std::string& n) { return r.Value(n).value; })
      .def("__setitem__", [](PyRefinement& r, const std::string& n, double v) { r.Value(n).value = v; })
      .def("fix", [](PyRefinement& r, const py::args& names) { r.SetRefine(names.cast<std::vector<std::string>>(), false); },
           "Keeps the named values as they are.")
      .def("free", [](PyRefinement& r, const py::args& names) { r.SetRefine(names.cast<std::vector<std::string>>(), true); },
           "Refines the named values.")
      .def("bound", &PyRefinement::Bound, py::arg("name"), py::arg("lower") = py::none(), py::arg("upper") = py::none(),
           "Sets a value's bounds.")
      .def("run", &PyRefinement::Run,
           "Refines and returns the report as a dict (as fit does); the values stay at the solution.")
      .def("structure", &PyRefinement::RefinedStructure, py::arg("index") = 0,
           "The structure with its refined cell, sites and grain size, as a new Structure.");
}

}  // namespace pelmora::python
