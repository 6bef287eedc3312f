// Structure's experiment: the radiation and its wavelengths, the 2-theta
// range, the profile widths, the sample's and the diffractometer's values.
// The source and the range change by the edit rules (engine/StructureEdits.h);
// the rest are plain values the calculation checks when it runs.
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "Bindings.h"
#include "engine/Validation.h"

namespace pelmora::python {
namespace {

template <class T, class Owner>
void Field(StructureClass& cls, const char* name, T Owner::*member, const char* doc) {
  cls.def_property(
      name,
      [member](Structure& s) { return With(s, [member](CKomorka& d) { return static_cast<Owner&>(d.experiment).*member; }); },
      [member](Structure& s, T v) {
        With(s, [member, v](CKomorka& d) {
          static_cast<Owner&>(d.experiment).*member = v;
          d.cell.RefreshCellMetric();
        });
      },
      doc);
}

// Several fields as one tuple.
template <size_t N>
void Group(StructureClass& cls, const char* name, double ExperimentParams::*const (&members)[N], const char* doc) {
  cls.def_property(
      name,
      [&members](Structure& s) {
        const auto values = With(s, [&members](CKomorka& d) {
          std::array<double, N> out;
          for (size_t i = 0; i < N; ++i) out[i] = d.experiment.*members[i];
          return out;
        });
        return py::tuple(py::cast(values));
      },
      [&members](Structure& s, const std::array<double, N>& v) {
        With(s, [&members, &v](CKomorka& d) {
          for (size_t i = 0; i < N; ++i) d.experiment.*members[i] = v[i];
          d.cell.RefreshCellMetric();
        });
      },
      doc);
}

double ExperimentParams::*const kWidths[5] = {&ExperimentParams::u, &ExperimentParams::v, &ExperimentParams::w,
                                             &ExperimentParams::x, &ExperimentParams::y};

// "x" (X-rays) or "n" (neutrons), the letters of pelmora-cli --radiation.
void RadiationAndWavelengths(StructureClass& cls) {
  cls.def_property(
      "radiation",
      [](Structure& s) { return With(s, [](CKomorka& d) { return std::string(d.experiment.radiation == 1 ? "n" : "x"); }); },
      [](Structure& s, const std::string& r) {
        if (r != "x" && r != "n") throw py::value_error("radiation is \"x\" (X-rays) or \"n\" (neutrons)");
        Edit(s, [&r](CKomorka& d) { return SetRadiation(d, r == "n" ? 1 : 0); });
      },
      "\"x\" for X-rays or \"n\" for neutrons, as pelmora-cli --radiation.");
  cls.def_property(
      "wavelengths",
      [](Structure& s) { return With(s, [](CKomorka& d) { return std::pair{d.experiment.lambda1, d.experiment.lambda2}; }); },
      [](Structure& s, std::pair<double, double> l) {
        Edit(s, [l](CKomorka& d) { return SetWavelengths(d, {l.first, l.second, d.experiment.ratio}); });
      },
      "(lambda1, lambda2) in angstrom: the Ka1 and Ka2 lines; lambda2 = 0 for a single line.");
  Field(cls, "ka2_ratio", &Wavelengths::ratio, "The intensity ratio of the second line to the first (Ka2/Ka1).");
  Field(cls, "source", &ExperimentParams::sourceName, "The radiation source's name, as the source table lists it.");
  Field(cls, "instrument", &ExperimentParams::aparatName,
        "The instrument set's name, whose U, V, W, X, Y the widths hold.");
}

// Babinet's bulk-solvent correction as (k, B), or None when off.
void Solvent(StructureClass& cls) {
  cls.def_property(
      "solvent",
      [](Structure& s) -> py::object {
        const BulkSolvent v = With(s, [](CKomorka& d) { return d.experiment.solvent; });
        return v.on ? py::object(py::make_tuple(v.k, v.b)) : py::object(py::none());
      },
      [](Structure& s, const std::optional<std::pair<double, double>>& v) {
        With(s, [&v](CKomorka& d) {
          BulkSolvent next = d.experiment.solvent;
          next.on = v.has_value();
          if (v) next.k = v->first, next.b = v->second;
          ExperimentParams trial = d.experiment;
          trial.solvent = next;
          if (const std::string why = CheckExperimentValue(trial, ExperimentValue::Solvent); !why.empty())
            throw py::value_error("solvent: k must lie in [0, 1] and B must not be negative");
          d.experiment.solvent = next;
        });
      },
      "Babinet's bulk-solvent correction, F (1 - k exp(-B s^2)) with s = sin(theta) / lambda, as (k, B in A^2), "
      "or None (the default) for the model in vacuum. (0.8, 200.0) suits a protein crystal.");
}

}  // namespace

void RegisterExperiment(StructureClass& cls) {
  RadiationAndWavelengths(cls);
  cls.def_property(
      "range", [](Structure& s) { return With(s, [](CKomorka& d) { return std::pair{d.experiment.angleMin, d.experiment.angleMax}; }); },
      [](Structure& s, std::pair<double, double> r) {
        Edit(s, [r](CKomorka& d) { return SetAngleRange(d.experiment, r.first, r.second); });
      },
      "(min, max) of 2-theta in degrees, within 0-180 (clamped there, with a warning).");
  Group(cls, "widths", kWidths,
        "(U, V, W, X, Y): the instrument's peak-width coefficients: the Gaussian width is\n"
        "sqrt(U tan^2(theta) + V tan(theta) + W) and the Lorentzian X tan(theta) + Y / cos(theta)\n"
        "(Thompson, Cox and Hastings), each with the grain size's broadening added.");
  Field(cls, "grain_size", &SampleValues::gsize,
        "The crystallite size in angstrom, whose Scherrer broadening adds to the peak widths.");
  Field(cls, "b_factor", &SampleValues::dwfactor,
        "The overall isotropic displacement B in square angstrom, used while temperature_factor is on.");
  cls.def_property(
      "temperature_factor", [](Structure& s) { return With(s, [](CKomorka& d) { return d.experiment.IsDW != 0; }); },
      [](Structure& s, bool on) { With(s, [on](CKomorka& d) { d.experiment.IsDW = on ? 1 : 0; }); },
      "Whether the Debye-Waller factor with b_factor (or each site's b_iso) enters the intensities.");
  Field(cls, "absorption", &SampleValues::absorption, "The sample's linear absorption coefficient in 1/cm.");
  Field(cls, "radius", &Diffractometer::difradius, "The diffractometer radius in mm.");
  Field(cls, "detector_slit", &Diffractometer::detslit, "The detector slit's area in square mm.");
  Field(cls, "beam_area", &Diffractometer::beamarea, "The beam's cross-section area in square mm.");
  Field(cls, "scan_speed", &Diffractometer::measurespeed, "The scanning speed in degrees per minute.");
  Solvent(cls);
}

}  // namespace pelmora::python
