#include "measured/FitParameters.h"

#include <sstream>

#include "engine/CellTies.h"

namespace pelmora {

bool ParseFitWhat(const std::string& list, unsigned& what, std::string* bad) {
  what = 0;
  std::istringstream in(list);
  for (std::string word; std::getline(in, word, ',');) {
    word.erase(0, word.find_first_not_of(" \t"));
    word.erase(word.find_last_not_of(" \t") + 1);
    if (word == "scale") what |= kFitScale;
    else if (word == "zero") what |= kFitZero;
    else if (word == "background") what |= kFitBackground;
    else if (word == "uvw") what |= kFitWidths;
    else if (word == "cell") what |= kFitCell;
    else if (word == "size") what |= kFitSize;
    else if (word == "positions") what |= kFitPositions;
    else if (word == "occupancy") what |= kFitOccupancy;
    else if (word == "biso") what |= kFitBiso;
    else if (word == "orientation") what |= kFitOrientation;
    else if (word == "asymmetry") what |= kFitAsymmetry;
    else if (word == "displacement") what |= kFitDisplacement;
    else if (word == "transparency") what |= kFitTransparency;
    else if (word == "strain") what |= kFitStrain;
    else if (word == "xy") what |= kFitLorentz;
    else if (word == "wavelength") what |= kFitWavelength;
    else if (!word.empty()) {
      if (bad) *bad = word;
      return false;
    }
  }
  return true;
}

namespace fitting {

double& ValueOf(ModelState& s, const Param& p) {
  switch (p.kind) {
    case ParamKind::Scale: return s.scale[static_cast<size_t>(p.phase)];
    case ParamKind::Zero: return s.zero;
    case ParamKind::Background: return s.bg[static_cast<size_t>(p.index)];
    case ParamKind::U: return s.u;
    case ParamKind::V: return s.v;
    case ParamKind::W: return s.w;
    case ParamKind::Cell: return s.cell[static_cast<size_t>(p.phase)][static_cast<size_t>(p.index)];
    case ParamKind::InvSize: break;
  }
  return s.invSize[static_cast<size_t>(p.phase)];
}

std::vector<Param> RefinedParameters(unsigned refine, int backgroundTerms,
                                     const std::vector<std::array<bool, 6>>& freeCell) {
  std::vector<Param> params;
  const size_t P = freeCell.size();
  if (refine & kFitScale)
    for (size_t p = 0; p < P; ++p) params.push_back({ParamKind::Scale, static_cast<int>(p), 0});
  if (refine & kFitZero) params.push_back({ParamKind::Zero, -1, 0});
  for (int k = 0; k < backgroundTerms; ++k) params.push_back({ParamKind::Background, -1, k});
  if (refine & kFitWidths)
    for (ParamKind k : {ParamKind::U, ParamKind::V, ParamKind::W}) params.push_back({k, -1, 0});
  for (size_t p = 0; p < P; ++p) {
    if (refine & kFitCell)
      for (int c = 0; c < 6; ++c)
        if (freeCell[p][static_cast<size_t>(c)]) params.push_back({ParamKind::Cell, static_cast<int>(p), c});
    if (refine & kFitSize) params.push_back({ParamKind::InvSize, static_cast<int>(p), 0});
  }
  return params;
}

void StoreUncertainties(const std::vector<Param>& params, const std::vector<double>& esd, const ModelState& s,
                        FitResult& r) {
  for (size_t j = 0; j < params.size(); ++j) {
    const Param& p = params[j];
    const double e = esd[j];
    switch (p.kind) {
      case ParamKind::Scale: r.phases[static_cast<size_t>(p.phase)].scaleEsd = e; break;
      case ParamKind::Zero: r.zeroEsd = e; break;
      case ParamKind::Background: r.backgroundEsd[static_cast<size_t>(p.index)] = e; break;
      case ParamKind::U: r.widthEsd[0] = e; break;
      case ParamKind::V: r.widthEsd[1] = e; break;
      case ParamKind::W: r.widthEsd[2] = e; break;
      case ParamKind::Cell: r.phases[static_cast<size_t>(p.phase)].cellEsd[static_cast<size_t>(p.index)] = e; break;
      case ParamKind::InvSize: {
        // D = 1 / q: sigma_D = sigma_q / q^2.
        const double q = s.invSize[static_cast<size_t>(p.phase)];
        r.phases[static_cast<size_t>(p.phase)].grainSizeEsd = q != 0.0 ? e / (q * q) : 0.0;
        break;
      }
    }
  }
}

}  // namespace fitting
}  // namespace pelmora
