// Fractional coordinates as the structure file and the CIF writer keep them.
#pragma once

#include <string>

namespace pelmora {

// The shortest number in fixed notation, with at least minDecimals
// decimals, that reads back within 1e-12 of the value: 1 - 0.2394 is
// 0.760600, not 0.7605999999999999, and a rounding error beside zero is
// 0.000000, never -0.000000. Rewriting what it wrote gives the same text.
// From 16 up (no coordinate) FixedAtLeast's digits.
std::string FixedNear(double value, int minDecimals);

}  // namespace pelmora
