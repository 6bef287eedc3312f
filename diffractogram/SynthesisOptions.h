// How wide a window of the grid each peak is summed over. The settings hold
// the values; the synthesis only reads this record.
#pragma once

namespace pelmora {

struct CSettings;

// The window rules of the settings, with their first-run values.
struct SynthesisOptions {
  double dthMargin = 20.0;  // "dthMargin": fixed window width, degrees
  double dthMF = 10.0;      // "dthMF": window width as a multiple of the FWHM
  bool useTHMF = true;      // "useTHMF": use the multiple when the profile gives a width
};

// The window rules as the settings record holds them.
SynthesisOptions SynthesisOptionsOf(const CSettings& settings);

}  // namespace pelmora
