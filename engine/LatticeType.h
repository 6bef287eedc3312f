// The lattice type word: crystal system code in the low three bits, at most
// one centring flag above them. The names are the program's own and appear
// in structure files and on screen.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

using LatticeType = std::uint32_t;

inline constexpr LatticeType kSystemMask = 7;
inline constexpr LatticeType kCentringMask = 56;
inline constexpr LatticeType kBodyCentred = 8;   // I
inline constexpr LatticeType kFaceCentred = 16;  // F
inline constexpr LatticeType kBaseCentred = 32;  // C

enum CrystalSystem : LatticeType {
  kCubic = 1,
  kTetragonal = 2,
  kOrthorhombic = 3,
  kRhombohedral = 4,
  kHexagonal = 5,
  kMonoclinic = 6,
  kTriclinic = 7,
};

// System names as used in files, indexed by system code 1..7 (0 unused).
inline constexpr std::array<std::string_view, 8> kSystemNames = {
    "", "regularna", "tetragonalna", "rombowa", "romboedryczna", "heksagonalna", "jednoskosna", "trojskosna"};

inline constexpr std::string_view kCentringPrimitive = "prosta";
inline constexpr std::string_view kCentringBody = "przestrzennie centrowana";
inline constexpr std::string_view kCentringFace = "powierzchniowo centrowana";
inline constexpr std::string_view kCentringBase = "centrowana na podstawie";

// One of the fourteen Bravais lattices, in the order the structure dialog
// lists them (a document's bravaisIndex is a row of this table).
struct BravaisEntry {
  std::string_view systemName;
  std::string_view centringName;
  LatticeType type;
};

inline constexpr int kBravaisCount = 14;

inline constexpr std::array<BravaisEntry, kBravaisCount> BravaisTable = {{
    {kSystemNames[1], kCentringPrimitive, 1},
    {kSystemNames[1], kCentringBody, 9},
    {kSystemNames[1], kCentringFace, 17},
    {kSystemNames[2], kCentringPrimitive, 2},
    {kSystemNames[2], kCentringBody, 10},
    {kSystemNames[3], kCentringPrimitive, 3},
    {kSystemNames[3], kCentringBody, 11},
    {kSystemNames[3], kCentringBase, 35},
    {kSystemNames[3], kCentringFace, 19},
    {kSystemNames[6], kCentringPrimitive, 6},
    {kSystemNames[6], kCentringBase, 38},
    {kSystemNames[7], kCentringPrimitive, 7},
    {kSystemNames[4], kCentringPrimitive, 4},
    {kSystemNames[5], kCentringPrimitive, 5},
}};

// System name written to files; a code outside 1..7 writes "regularna".
inline std::string_view SystemNameOf(LatticeType t) {
  const LatticeType code = t & kSystemMask;
  return (code >= 1 && code <= 7) ? kSystemNames[code] : kSystemNames[1];
}

// Centring letter written to files; anything but one known flag writes "P".
inline char CentringLetterOf(LatticeType t) {
  switch (t & kCentringMask) {
    case kBodyCentred: return 'I';
    case kFaceCentred: return 'F';
    case kBaseCentred: return 'C';
    default: return 'P';
  }
}

// Atoms per lattice point after the centring expansion.
inline int CentringMultiplicity(LatticeType t) {
  int n = 1;
  if (t & kBodyCentred) n = 2;
  if (t & kFaceCentred) n = 4;
  if (t & kBaseCentred) n = 2;
  return n;
}

// The lattice translations within the cell, besides the zero vector, that
// the centring flag of the word adds (as the expansion applies them).
inline std::vector<std::array<double, 3>> CentringShifts(LatticeType t) {
  switch (CentringMultiplicity(t)) {
    case 4: return {{0.5, 0.5, 0.0}, {0.5, 0.0, 0.5}, {0.0, 0.5, 0.5}};
    case 2: return (t & kBaseCentred) ? std::vector<std::array<double, 3>>{{0.5, 0.5, 0.0}}
                                      : std::vector<std::array<double, 3>>{{0.5, 0.5, 0.5}};
    default: return {};
  }
}

// Positions closer than this in every fractional coordinate are one site:
// far below any distance between atoms, above the rounding of the
// translations (1 - 0.3053 is not exactly 0.6947).
inline constexpr double kSameSiteTolerance = 1e-6;

// True when two fractional positions are the same site of a lattice of
// this type: equal up to whole cell translations and the centring vectors.
inline bool SameSite(LatticeType t, const std::array<double, 3>& p, const std::array<double, 3>& q,
                     double tolerance = kSameSiteTolerance) {
  const auto within = [&](const std::array<double, 3>& shift) {
    for (int i = 0; i < 3; ++i) {
      double d = p[i] - q[i] - shift[i];
      d -= std::round(d);
      if (!(std::fabs(d) <= tolerance)) return false;
    }
    return true;
  };
  if (within({0.0, 0.0, 0.0})) return true;
  for (const auto& shift : CentringShifts(t))
    if (within(shift)) return true;
  return false;
}

}  // namespace pelmora
