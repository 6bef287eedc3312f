// Which reflections the reflection table shows, and its text export.
#pragma once

#include <functional>
#include <string>
#include <string_view>
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
// The same text handed to `write` in blocks, in order, formatted on
// `threads` threads ahead of the calling one, which writes. At most 2
// threads + 1 blocks stand in memory, each used again and again: 1024 rows
// make some 130 KB, which stay in the cache between formatting and writing
// and cost no fresh pages after the first round. False when write returns
// false, which stops it.
bool WriteReflectionListBlocks(const CKomorka& doc, const ReflectionFilter& filter, unsigned threads,
                               const std::function<bool(std::string_view)>& write, size_t blockRows = 1024);

}  // namespace pelmora
