// Which reflections the reflection table shows, and its text export.
#pragma once

#include <string>
#include <vector>

#include "engine/Komorka.h"

namespace pelmora {

// The table's three check boxes, with their initial states.
struct ReflectionFilter {
  bool firstLine = true;   // "pokaż refleksy od linii K alfa 1"
  bool secondLine = false; // "pokaż refleksy od linii K alfa 2"
  bool extinct = false;    // "pokaż wygaszone refleksy"
};

bool ShowsReflection(const ExperimentParams& experiment, const Reflection& r, const ReflectionFilter& filter);

// A reflection's intensity in percent of the strongest one's; 0 when every
// intensity is zero, where the percentage has no meaning.
inline double IntensityPercent(double intensity, double maxIntensity) {
  return maxIntensity != 0.0 ? intensity / maxIntensity * 100.0 : 0.0;
}

// The whole text file: header line and one CRLF line per shown reflection.
std::string FormatReflectionList(const CKomorka& doc, const ReflectionFilter& filter);
// The same text in `parts` pieces formatted at once, each on a thread of its
// own; joined they are FormatReflectionList's text.
std::vector<std::string> FormatReflectionListParts(const CKomorka& doc, const ReflectionFilter& filter,
                                                   unsigned parts);

}  // namespace pelmora
