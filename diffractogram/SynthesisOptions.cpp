#include "diffractogram/SynthesisOptions.h"

#include "settings/Settings.h"

namespace pelmora {

SynthesisOptions SynthesisOptionsOf(const CSettings& settings) {
  SynthesisOptions o;
  o.dthMargin = settings.dthMargin;
  o.dthMF = settings.dthMF;
  o.useTHMF = settings.useTHMF != 0;
  return o;
}

}  // namespace pelmora
