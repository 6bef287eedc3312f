// The abscissa a chart or an export shows: 2-theta, the lattice spacing d or
// the scattering vector Q. The pattern itself stays on its 2-theta grid; only
// the numbers written against it change, so that patterns taken with
// different radiations can be laid side by side.
#pragma once

namespace pelmora {

enum class XAxisUnit { TwoTheta = 0, D = 1, Q = 2 };

// The value of the abscissa at a 2-theta (degrees) for the wavelength lambda
// (Å): 2-theta itself, d = lambda / (2 sin theta) in Å, or
// Q = 4 pi sin theta / lambda in 1/Å. d at 2-theta = 0 is infinite.
double XAxisValue(XAxisUnit unit, double twoThetaDeg, double lambda);

}  // namespace pelmora
