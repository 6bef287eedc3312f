// Structure's calculations: the reflection list and the pattern as NumPy
// arrays, and the files pelmora-cli calc writes. They run without the
// interpreter's lock on a helper thread while the interpreter's thread
// watches for Ctrl+C, which cancels them.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Bindings.h"
#include "engine/ReflectionExport.h"

namespace pelmora::python {

bool RunWatched(const std::function<void()>& work, const std::function<void()>& cancel) {
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

namespace {

// A run on the structure, which Ctrl+C cancels.
bool RunWatchedOn(Structure& s, const std::function<void()>& work) {
  return RunWatched(work, [&s] { s.RequestCancel(); });
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
      percent.push_back(IntensityPercent(r.intensity, doc.results.maxIntensity));
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

// calc's --ka2 and --extinct; the first line always shown.
ReflectionFilter FilterOf(bool ka2, bool extinct) {
  ReflectionFilter f;
  f.secondLine = ka2;
  f.extinct = extinct;
  return f;
}

ReflectionColumns CalculatedColumns(Structure& s, bool ka2, bool extinct) {
  Error error{};
  bool ok = false, interrupted = false;
  ReflectionColumns columns;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(s.mutex);
    interrupted = RunWatchedOn(s, [&] { ok = s.CalculateReflections(&error); });
    if (ok) columns.Fill(s.doc(), FilterOf(ka2, extinct));
  }
  if (interrupted) Raise({Failure::kInterrupted, {}});
  if (!ok) Raise(error);
  return columns;
}

py::dict Reflections(Structure& s, bool ka2, bool extinct) { return CalculatedColumns(s, ka2, extinct).ToDict(); }

// Rows of one wavelength closer in 2-theta than this are one line of the
// pattern: forms that coincide by the metric, as (3 3 3) and (5 1 1) do.
constexpr double kLineTolerance = 1e-5;

// The pattern's lines as pymatgen's XRDCalculator users know them: per
// line its 2-theta, d, intensity in percent of the strongest line, the
// forms (h, k, l) that fall on it with their multiplicities, and the
// wavelength (1 or 2) it belongs to.
py::list Lines(Structure& s, bool ka2) {
  const ReflectionColumns c = CalculatedColumns(s, ka2, false);
  struct Line {
    size_t first, last;
    double intensity;
  };
  std::vector<Line> lines;
  double strongest = 0.0;
  for (size_t i = 0; i < c.twoTheta.size(); ++i) {
    // Rows come in angle order with the two wavelengths interleaved: look
    // back for the open line of the same wavelength.
    Line* open = nullptr;
    for (auto it = lines.rbegin(); it != lines.rend() && c.twoTheta[i] - c.twoTheta[it->last] <= kLineTolerance; ++it)
      if (c.line[it->last] == c.line[i]) open = &*it;
    if (open) open->last = i, open->intensity += c.intensity[i];
    else lines.push_back({i, i, c.intensity[i]});
  }
  for (const Line& l : lines) strongest = std::max(strongest, l.intensity);
  py::list out;
  for (const Line& l : lines) {
    py::list hkls;
    for (size_t i = l.first; i <= l.last; ++i)
      if (c.line[i] == c.line[l.first])
        hkls.append(py::make_tuple(py::make_tuple(c.h[i], c.k[i], c.l[i]), c.multiplicity[i]));
    py::dict d;
    d["two_theta"] = c.twoTheta[l.first];
    d["d"] = c.d[l.first];
    d["intensity"] = strongest > 0.0 ? 100.0 * l.intensity / strongest : 0.0;
    d["hkls"] = hkls;
    d["line"] = static_cast<int>(c.line[l.first]);
    out.append(d);
  }
  return out;
}

int ProfileFor(Session& session, const std::optional<std::string>& profile) {
  Error error{};
  int id = 0;
  if (!WithPlugins(session).ChooseProfile(profile, &id, &error)) Raise(error);
  return id;
}

void CheckScale(std::optional<double> scale) {
  if (Error error{}; !CheckExportScale(scale, &error)) Raise(error);
}

// Grid points between whole multiples of the grid step; 1 when no step is
// given. Only pattern() thins the grid: the command line writes it whole.
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
  CheckScale(scale);
  const int id = ProfileFor(s.session(), profile);
  Error error{};
  bool ok = false, interrupted = false;
  std::vector<std::string> notes;
  std::vector<double> twoTheta, intensity;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto grid = std::make_unique<PatternGrid>();
    interrupted = RunWatchedOn(s, [&] { ok = s.CalculatePattern(id, *grid, &error, notes); });
    if (ok) {
      // The points and the scale of the text export, every stride-th point.
      const ExportSpan span = ExportSpanOf(*grid, s.doc(), scale);
      for (int i = 0; i < span.count; i += stride) {
        const PatternPoint& p = span.first[i];
        twoTheta.push_back(p.twoTheta);
        intensity.push_back(p.intensity * span.scale);
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
  CheckScale(scale);
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
    interrupted = RunWatchedOn(s, [&] {
      ok = s.Export(reflections ? reflections->string() : std::string(), pattern ? pattern->string() : std::string(),
                    id, FilterOf(ka2, extinct), scale, formatIndex, &error, notes);
    });
  }
  if (interrupted) Raise({Failure::kInterrupted, {}});
  Warn(notes);
  if (!ok) Raise(error);
}

}  // namespace

void RegisterCalculations(StructureClass& cls) {
  cls.def("reflections", &Reflections, py::arg("ka2") = false, py::arg("extinct") = false,
          "Calculates and returns the rows of the reflection list as a dict of NumPy arrays: two_theta,\n"
          "d, h, k, l, multiplicity, f_re, f_im, f2, intensity, percent, line. ka2 and extinct add the\n"
          "second line's and the extinct reflections, as pelmora-cli calc --ka2 --extinct.");
  cls.def("lines", &Lines, py::arg("ka2") = false,
          "Calculates and returns the pattern's lines as a list of dicts, strongest = 100, as pymatgen's\n"
          "XRDCalculator lists peaks: two_theta, d, intensity (percent of the strongest line), hkls (the\n"
          "forms on the line, [((h, k, l), multiplicity), ...]: one form per reflection row, forms that\n"
          "coincide merged) and line (1 for Ka1, 2 for Ka2, present with ka2=True). Extinct rows are left out.");
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
}

}  // namespace pelmora::python
