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

py::array_t<double> Array6(const std::array<double, 6>& v) {
  return ToArray(std::vector<double>(v.begin(), v.end()));
}

py::list PhasesOf(std::vector<FitPhase>& phases) {
  py::list out;
  for (FitPhase& f : phases) {
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
    out.append(p);
  }
  return out;
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
  out["phases"] = PhasesOf(r.phases);
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

// Called without the interpreter's lock: each structure locked once, in one
// order, for as long as the fit reads it. True when the user interrupted.
bool RunFit(const std::vector<StructurePtr>& phases, Session& session, const MeasuredPattern& pattern,
            FitOptions& options, FitResult& result) {
  std::vector<Structure*> owners;
  for (const StructurePtr& p : phases) owners.push_back(p.get());
  std::sort(owners.begin(), owners.end());
  owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
  std::vector<std::unique_lock<std::mutex>> locks;
  for (Structure* o : owners) locks.emplace_back(o->mutex);
  const std::unique_lock<std::mutex> plugins = session.LockPlugins(options.setup.profile >= 0);
  std::vector<const CKomorka*> docs;
  for (const StructurePtr& p : phases) docs.push_back(&p->doc());
  std::atomic<bool> cancel{false};
  options.cancel = &cancel;
  return RunWatched([&] { result = FitPattern(docs, pattern, options); }, [&cancel] { cancel = true; });
}

// pelmora-cli fit over structures as they are now: the first one's
// experiment for all, the documents themselves untouched.
py::dict Fit(const py::object& structures, const py::object& measured, const py::object& refine, int backgroundTerms,
             std::optional<std::pair<double, double>> range, const std::optional<std::string>& profile,
             int iterations) {
  const std::vector<StructurePtr> phases = PhasesGiven(structures);
  FitOptions options;
  Error error{};
  if (!FitOptionsOf({RefineOf(refine), backgroundTerms, range, iterations}, options, &error)) Raise(error);
  if (!BackgroundTermsValid(backgroundTerms))
    throw py::value_error("background_terms must be between 0 and " + std::to_string(kMaxBackgroundTerms));
  if (iterations < 1) throw py::value_error("iterations must be 1 or more");
  Session& session = WithPlugins(phases.front()->session());
  if (!session.ChooseFitProfile(profile, options, &error)) Raise(error);
  const MeasuredPattern pattern = MeasuredOf(measured);

  FitResult result;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    interrupted = RunFit(phases, session, pattern, options, result);
  }
  if (interrupted || result.cancelled) Raise({Failure::kInterrupted, {}});
  if (!result.error.empty()) Raise({Failure::kRefused, result.error});
  return FitDict(std::move(result));
}

}  // namespace

void RegisterFit(py::module_& m) {
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
}

}  // namespace pelmora::python
