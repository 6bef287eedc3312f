// How wide a window of the grid each peak is summed over. The settings hold
// the values (workspace/ reads them into this record); the synthesis only
// reads the record.
#pragma once

namespace pelmora {

// The window rules, with their first-run values.
struct SynthesisOptions {
  double dthMargin = 20.0;  // "dthMargin": fixed window width, degrees
  double dthMF = 10.0;      // "dthMF": window width as a multiple of the FWHM
  bool useTHMF = true;      // "useTHMF": use the multiple when the profile gives a width
};

}  // namespace pelmora
