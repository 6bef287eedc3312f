// The fit's parameter vector: every value of the model, which of them a fit
// refines, and where each refined value sits in the model and in the result.
#pragma once

#include <array>
#include <vector>

#include "engine/LatticeType.h"
#include "engine/UnitCell.h"
#include "measured/PatternFit.h"

namespace pelmora::fitting {

// Every value of the model, refined or not.
struct ModelState {
  std::vector<double> scale;
  double zero = 0.0;
  std::vector<double> bg;
  double u = 0.0, v = 0.0, w = 0.0;
  std::vector<std::array<double, 6>> cell;
  std::vector<double> invSize;  // 1 / D: the broadening is smooth through "no size effect"
};

enum class ParamKind { Scale, Zero, Background, U, V, W, Cell, InvSize };
struct Param {
  ParamKind kind;
  int phase = -1;  // -1: all phases
  int index = 0;   // background term or cell constant
};

double& ValueOf(ModelState& s, const Param& p);

// The refined values in the vector's order: the scales, the zero, the
// `backgroundTerms` Chebyshev coefficients, U V W, then each phase's free
// cell constants (by its lattice type) and its grain size.
std::vector<Param> RefinedParameters(unsigned refine, int backgroundTerms,
                                     const std::vector<std::array<bool, 6>>& freeCell);

// The refined values' standard uncertainties, in the vector's order, into
// the result's fields; a grain size's from that of 1 / D in the state.
void StoreUncertainties(const std::vector<Param>& params, const std::vector<double>& esd, const ModelState& s,
                        FitResult& r);


}  // namespace pelmora::fitting
