// libFuzzer target: measured patterns read through xylib, with the checks
// that follow. The first byte picks the file name the format is guessed
// from, so that the binary readers are reached too; from ten on (modulo
// twenty) the same names packed, .gz when the rest starts as gzip does and
// .bz2 otherwise, so that the unpacking is fuzzed as well.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "measured/MeasuredPattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  static const char* const kNames[] = {"scan.xy", "scan.raw", "scan.uxd", "scan.xrdml", "scan.dat",
                                       "scan.rd", "scan.udf", "scan.cpi", "scan.csv",   "scan.txt"};
  if (size < 1) return 0;
  const unsigned pick = data[0] % 20;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string name = kNames[pick % 10];
  if (pick >= 10) name += bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b' ? ".gz" : ".bz2";
  MeasuredPattern m;
  std::string error;
  if (!ReadMeasuredBytes(bytes, name, m, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  // What a reading gives, the fit and the chart may rely on.
  if (m.size() < 2 || m.counts.size() != m.twoTheta.size()) __builtin_trap();
  if (m.hasSigma() && m.sigma.size() != m.twoTheta.size()) __builtin_trap();
  for (int i = 0; i < m.size(); ++i) {
    const double x = m.twoTheta[static_cast<size_t>(i)], y = m.counts[static_cast<size_t>(i)];
    if (!(x > 0.0 && x < 180.0) || !(y >= 0.0) || !std::isfinite(y)) __builtin_trap();
    if (i > 0 && x < m.twoTheta[static_cast<size_t>(i) - 1]) __builtin_trap();
    if (m.hasSigma() && !(m.sigma[static_cast<size_t>(i)] > 0.0)) __builtin_trap();
  }
  return 0;
}
