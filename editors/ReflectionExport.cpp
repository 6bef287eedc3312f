#include "editors/ReflectionExport.h"

#include "engine/NumberFormat.h"

namespace pelmora {

bool ShowsReflection(const CKomorka& doc, const Reflection& r, const ReflectionFilter& filter) {
  const double tt = r.theta * 360.0 / kPi;
  if (!(doc.angleMin <= tt && tt <= doc.angleMax)) return false;
  if (r.nonZero != 1 && !filter.extinct) return false;
  return (r.line == 1 && filter.firstLine) || (r.line == 2 && filter.secondLine);
}

std::string FormatReflectionList(const CKomorka& doc, const ReflectionFilter& filter) {
  std::string out = cformat(
      "L.p.         h    k    l    2 theta    m      Re(F)      Im(F)      F         d[A]\tH\t   Natężenie\t "
      "Natężenie %%\r\n");
  out.reserve(out.size() + doc.reflectionsAll.size() * 140);
  int n = 0;
  for (const Reflection& r : doc.reflectionsAll) {
    if (!ShowsReflection(doc, r, filter)) continue;
    // With every intensity zero the percentage has no meaning; write 0
    // rather than "nan".
    const double pct = doc.maxIntensity != 0.0 ? r.intensity / doc.maxIntensity * 100.0 : 0.0;
    // "%3d   Ka1%5d   %2d   %2d   %8.4f   %2d   %8.3f   %8.3f   %9.3f   %6.4f   %6.6f   %12.4f     %8.4f\r\n"
    AppendInt(out, n++, 3);
    out += "   ";
    out += r.line == 1 ? "Ka1" : r.line == 2 ? "Ka2" : "";
    AppendInt(out, r.h, 5);
    out += "   ";
    AppendInt(out, r.k, 2);
    out += "   ";
    AppendInt(out, r.l, 2);
    out += "   ";
    AppendFixed(out, r.theta * 360.0 / kPi, 8, 4);
    out += "   ";
    AppendInt(out, r.multiplicity, 2);
    out += "   ";
    AppendFixed(out, r.reF, 8, 3);
    out += "   ";
    AppendFixed(out, r.imF, 8, 3);
    out += "   ";
    AppendFixed(out, r.f2, 9, 3);
    out += "   ";
    AppendFixed(out, r.d, 6, 4);
    out += "   ";
    AppendFixed(out, r.fwhm, 6, 6);
    out += "   ";
    AppendFixed(out, r.intensity, 12, 4);
    out += "     ";
    AppendFixed(out, pct, 8, 4);
    out += "\r\n";
  }
  return out;
}

}  // namespace pelmora
