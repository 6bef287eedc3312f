// Radiation, instrument and sample values of a calculation.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/Angles.h"

namespace pelmora {

struct RadiationSource {
  double lambda1 = 0.0;
  double lambda2 = 0.0;
  double ratio = 0.0;
  std::string name;
  std::int32_t radiation = 0;  // 0 X-rays, 1 neutrons
};

// The experiment's values in the groups the user edits and keeps as
// defaults together.
struct Wavelengths {
  double lambda1 = 1.54059;
  double lambda2 = 1.54436;
  double ratio = 0.5;
  bool operator==(const Wavelengths&) const = default;
};
struct AngleWindow {
  double angleMin = 20.0;
  double angleMax = 150.0;
  bool operator==(const AngleWindow&) const = default;
};
struct InstrumentWidths {
  double u = 0.0, v = 0.0, w = 0.0, x = 0.0, y = 0.0;
  bool operator==(const InstrumentWidths&) const = default;
};
struct Diffractometer {
  double difradius = 200.0;
  double detslit = 10.0;
  double beamarea = 10.0;
  double measurespeed = 1.0;
  bool operator==(const Diffractometer&) const = default;
};
struct SampleValues {
  double gsize = 1000000.0;
  double dwfactor = 0.0;
  std::int32_t IsDW = 0;
  double absorption = 0.0001;
  bool operator==(const SampleValues&) const = default;
};

struct ApparatusSet : InstrumentWidths {
  std::string name;
};

// The experiment values that a document holds and that the settings keep as
// the starting values of new documents; these are the first-run values.
struct ExperimentValues : Wavelengths, AngleWindow, InstrumentWidths, Diffractometer, SampleValues {
  bool operator==(const ExperimentValues&) const = default;
};

inline constexpr double kHcEvAngstrom = 12398.65788;

// Kinetic energy of a neutron of wavelength lambda (Å), h² / (2 m_n λ²), in
// meV; CODATA 2018 constants.
double NeutronEnergyMeV(double lambda);

// Babinet's bulk-solvent correction, for macromolecular crystals: the
// solvent fills the cell where the atoms are not, and scatters like the
// model smeared out, F_total = F (1 - k exp(-B s^2)) with s = sin(theta) /
// lambda. k is the solvent's electron density over the model's (0.8 for a
// protein: 0.33 against 0.43 e/A^3), B (A^2) how far the smearing reaches;
// 200 A^2 confines it to resolutions below some 10 A.
struct BulkSolvent {
  bool on = false;
  double k = 0.8;
  double b = 200.0;
  bool operator==(const BulkSolvent&) const = default;
  // The factor F is multiplied by at s^2 = (sin(theta) / lambda)^2.
  double Factor(double s2) const { return on ? 1.0 - k * std::exp(-b * s2) : 1.0; }
};

// A document's experiment: the shared values, the radiation kind and the
// chosen names. The energy and wave number of a wavelength are worked out
// where they are shown.
struct ExperimentParams : ExperimentValues {
  std::int32_t radiation = 0;  // 0 X-rays, 1 neutrons
  std::string sourceName;
  std::string aparatName;
  BulkSolvent solvent;  // a document's own: new documents start without
  bool operator==(const ExperimentParams&) const = default;

  // Takes the shared values (a new document takes the settings' ones).
  void ApplyValues(const ExperimentValues& values) { static_cast<ExperimentValues&>(*this) = values; }
  // Takes a chosen source or instrument set into the experiment, as the
  // experiment page does when the user picks one.
  void ApplySource(const RadiationSource& src) {
    radiation = src.radiation;
    lambda1 = src.lambda1;
    lambda2 = src.lambda2;
    ratio = src.ratio;
    sourceName = src.name;
  }
  void ApplyApparatus(const ApparatusSet& set) {
    static_cast<InstrumentWidths&>(*this) = set;
    aparatName = set.name;
  }

  // Neutron sources are monochromatic: only X-rays get a second line.
  bool HasSecondLine() const { return lambda2 > 0.0 && radiation == 0; }
  // The shortest wavelength of the calculation, and sin(theta) at the top of
  // the range (1 from 180 degrees on): together they bound d from below.
  double ShortestWavelength() const { return HasSecondLine() ? std::min(lambda1, lambda2) : lambda1; }
  double SinThetaMax() const {
    return angleMax >= 180.0 ? 1.0 : std::sin(ThetaOfTwoTheta(std::max(angleMax, 0.0)));
  }
  // 1 / d_min = 2 sin(theta_max) / lambda_min, the radius of the sphere of
  // reciprocal lattice points the calculation reaches; 0 when none is.
  double InverseDMin() const {
    const double s = SinThetaMax(), lmin = ShortestWavelength();
    return s > 0.0 && lmin > 0.0 ? 2.0 * s / lmin : 0.0;
  }
};

// The experiment values a calculation refuses one by one, so that an editor
// can point at the field that holds the fault.
enum class ExperimentValue {
  AngleRange, GrainSize, Absorption, DwFactor, DetSlit, BeamArea, MeasureSpeed, DifRadius, Solvent
};

// Strips one leading "*" or "@" marker from a source or instrument name.
inline std::string StripNameMarker(const std::string& name) {
  if (!name.empty() && (name[0] == '*' || name[0] == '@')) return name.substr(1);
  return name;
}

}  // namespace pelmora
