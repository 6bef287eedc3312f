// One atom of a structure, with the scattering factors the calculation uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelmora {

// The numbers that decide how an atom scatters: neutron length s,
// Cromer-Mann coefficients and the anomalous dispersion terms.
struct ScatteringFactors {
  double s = 0.0;
  double c = 0.0;
  double a1 = 0.0, a2 = 0.0, a3 = 0.0, a4 = 0.0;
  double b1 = 0.0, b2 = 0.0, b3 = 0.0, b4 = 0.0;
  double fprim = 0.0;
  double fbis = 0.0;

  bool operator==(const ScatteringFactors&) const = default;
};

inline constexpr std::uint32_t kDefaultAtomColor = 0x00C000;
inline constexpr std::uint32_t kEmptyColorElementColor = 0xFF00;
inline constexpr int kDefaultAtomRadius = 20;

struct AtomSite : ScatteringFactors {
  std::string name;
  std::int32_t nr = 0;
  std::int32_t ionCharge = 0;
  std::int32_t isotopeMass = -1;
  double x = 0.0, y = 0.0, z = 0.0;
  std::uint32_t color = kDefaultAtomColor;  // 0x00BBGGRR
  std::int32_t visible = 0;
  std::int32_t radius = kDefaultAtomRadius;
  std::int32_t siteIndex = 0;
  // The share of the site this atom fills, (0, 1]; its factors are those of
  // a whole atom.
  double occupancy = 1.0;
  // The site's own isotropic displacement B in square angstrom; without one
  // the experiment's Debye-Waller B applies.
  std::optional<double> biso;
  // With a space group: the site of the asymmetric unit this atom is an
  // image of; -1 without one.
  std::int32_t asymSite = -1;

  bool operator==(const AtomSite&) const = default;

  const ScatteringFactors& factors() const { return *this; }
  ScatteringFactors& factors() { return *this; }
};

// B = 8 pi^2 U.
inline constexpr double kBPerU = 78.95683520871486;

}  // namespace pelmora
