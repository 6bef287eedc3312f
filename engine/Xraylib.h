// xraylib, opened when first asked: most runs never need it, and loading
// its tables with the program (some twenty thousand relocations) took a
// large share of a short run's start.
#pragma once

#include <optional>

namespace pelmora::xraylib {

// xraylib's Fi and Fii (f' and f'' as it signs them) of element z at an
// energy in keV, and its atomic weight of z; nothing where xraylib fails
// (an energy or element outside its tables) or cannot be loaded.
std::optional<double> Fi(int z, double energyKeV);
std::optional<double> Fii(int z, double energyKeV);
std::optional<double> AtomicWeight(int z);

}  // namespace pelmora::xraylib
