// A refinement's report as JSON, and values with their esds as
// crystallographers write them.
#include <cmath>

#include "io/NumberFormat.h"
#include "measured/Refinement.h"

namespace pelmora {
namespace {

std::string G(double v) { return std::isfinite(v) ? cformat("%.10g", v) : std::string("null"); }

std::string Str(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += cformat("\\u%04x", c);
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string List(const std::vector<double>& v) {
  std::string s = "[";
  for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + G(v[i]);
  return s + "]";
}

// The value (or its esd) of the first value of a kind on a pattern.
const RefinedValue* Value(const RefinementOutcome& r, RefinedKind kind, int pattern, int phase = -1, int index = -1) {
  for (const RefinedValue& v : r.values)
    if (v.kind == kind && v.pattern == pattern && v.phase == phase && (index < 0 || v.index == index)) return &v;
  return nullptr;
}
double Val(const RefinementOutcome& r, RefinedKind k, int p) {
  const RefinedValue* v = Value(r, k, p);
  return v ? v->value : NAN;
}
double Esd(const RefinementOutcome& r, RefinedKind k, int p) {
  const RefinedValue* v = Value(r, k, p);
  return v ? v->esd : NAN;
}

std::string PatternKeys(const RefinementOutcome& r, int p, const std::string& indent) {
  using K = RefinedKind;
  std::vector<double> bg, bgEsd;
  for (const RefinedValue& v : r.values)
    if (v.kind == K::Background && v.pattern == p) bg.push_back(v.value), bgEsd.push_back(v.esd);
  const RefinedPatternFigures& f = r.patterns[static_cast<size_t>(p)];
  std::string j;
  auto key = [&](const std::string& k, const std::string& v) { j += indent + Str(k) + ": " + v + ",\n"; };
  key("wavelength", G(Val(r, K::Wavelength, p)));
  key("wavelength_esd", G(Esd(r, K::Wavelength, p)));
  key("zero", G(Val(r, K::Zero, p)));
  key("zero_esd", G(Esd(r, K::Zero, p)));
  key("displacement", G(Val(r, K::Displacement, p)));
  key("displacement_esd", G(Esd(r, K::Displacement, p)));
  key("transparency", G(Val(r, K::Transparency, p)));
  key("transparency_esd", G(Esd(r, K::Transparency, p)));
  key("background", List(bg));
  key("background_esd", List(bgEsd));
  // With points the background values are the heights at these angles.
  if (!f.backgroundPoints.empty()) key("background_points", List(f.backgroundPoints));
  key("background_range", List({f.twoTheta.empty() ? NAN : f.twoTheta.front(), f.twoTheta.empty() ? NAN : f.twoTheta.back()}));
  key("uvw", List({Val(r, K::U, p), Val(r, K::V, p), Val(r, K::W, p)}));
  key("uvw_esd", List({Esd(r, K::U, p), Esd(r, K::V, p), Esd(r, K::W, p)}));
  key("xy", List({Val(r, K::X, p), Val(r, K::Y, p)}));
  key("xy_esd", List({Esd(r, K::X, p), Esd(r, K::Y, p)}));
  key("asymmetry", G(Val(r, K::SL, p)));
  key("asymmetry_esd", G(Esd(r, K::SL, p)));
  return j;
}

std::string SiteJson(const RefinedSiteFigures& s) {
  std::string j = "{\"label\": " + Str(s.label) + ", \"element\": " + Str(s.element);
  const char* axes[3] = {"x", "y", "z"};
  for (size_t a = 0; a < 3; ++a) j += cformat(", \"%s\": ", axes[a]) + G(s.xyz[a]);
  j += ", \"occupancy\": " + G(s.occupancy) + ", \"biso\": " + G(s.biso);
  for (size_t a = 0; a < 3; ++a)
    if (std::isfinite(s.xyzEsd[a])) j += cformat(", \"%s_esd\": ", axes[a]) + G(s.xyzEsd[a]);
  if (std::isfinite(s.occupancyEsd)) j += ", \"occupancy_esd\": " + G(s.occupancyEsd);
  if (std::isfinite(s.bisoEsd)) j += ", \"biso_esd\": " + G(s.bisoEsd);
  return j + "}";
}

std::string PhaseJson(const RefinedPhaseFigures& f, const std::string& file) {
  std::string j = "    {\"file\": " + Str(file) + ", \"name\": " + Str(f.name);
  j += ", \"scale\": " + G(f.scale.front()) + ", \"scale_esd\": " + G(f.scaleEsd.front());
  if (f.scale.size() > 1) j += ", \"scales\": " + List(f.scale) + ", \"scales_esd\": " + List(f.scaleEsd);
  j += ", \"weight_fraction\": " + G(f.weightFraction) + ", \"weight_fraction_esd\": " + G(f.weightFractionEsd);
  j += ", \"grain_size\": " + G(f.size) + ", \"grain_size_esd\": " + G(f.sizeEsd);
  j += ", \"size\": " + G(f.size) + ", \"size_esd\": " + G(f.sizeEsd);
  j += ", \"strain\": " + G(f.strain) + ", \"strain_esd\": " + G(f.strainEsd);
  j += ", \"cell\": " + List({f.cell.begin(), f.cell.end()}) + ", \"cell_esd\": " + List({f.cellEsd.begin(), f.cellEsd.end()});
  if (f.orientationAxis) {
    const auto& a = *f.orientationAxis;
    j += cformat(", \"orientation\": {\"axis\": [%d, %d, %d], \"r\": ", a[0], a[1], a[2]) + G(f.orientation) +
         ", \"r_esd\": " + G(f.orientationEsd) + "}";
  }
  j += ",\n     \"sites\": [";
  for (size_t s = 0; s < f.sites.size(); ++s) j += std::string(s ? ",\n               " : "") + SiteJson(f.sites[s]);
  return j + "]}";
}

}  // namespace

std::string RefinementJson(const RefinementOutcome& r, const std::vector<std::string>& phaseFiles,
                           const std::vector<std::string>& patternFiles) {
  std::string j = "{\n";
  j += "  \"observed\": " + Str(patternFiles.empty() ? std::string() : patternFiles.front()) + ",\n";
  j += "  \"converged\": " + std::string(r.converged ? "true" : "false") + ",\n";
  j += "  \"points\": " + std::to_string(r.points) + ",\n  \"parameters\": " + std::to_string(r.refined) + ",\n";
  j += "  \"iterations\": " + std::to_string(r.iterations) + ",\n";
  j += "  \"rp\": " + G(r.rp) + ",\n  \"rwp\": " + G(r.rwp) + ",\n  \"rexp\": " + G(r.rexp) + ",\n";
  j += "  \"chi2\": " + G(r.chi2) + ",\n";
  if (!r.patterns.empty()) j += PatternKeys(r, 0, "  ");
  j += "  \"patterns\": [\n";
  for (size_t p = 0; p < r.patterns.size(); ++p) {
    const RefinedPatternFigures& f = r.patterns[p];
    j += "    {\"file\": " + Str(p < patternFiles.size() ? patternFiles[p] : f.name) + ",\n";
    j += cformat("     \"points\": %d,\n", f.points);
    j += "     \"rp\": " + G(f.rp) + ", \"rwp\": " + G(f.rwp) + ", \"rexp\": " + G(f.rexp) + ", \"chi2\": " + G(f.chi2) +
         ", \"serial_correlation\": " + G(f.serialCorrelation) + ",\n";
    std::string keys = PatternKeys(r, static_cast<int>(p), "     ");
    keys.erase(keys.size() - 2);  // the last ",\n"
    j += keys + "}" + (p + 1 < r.patterns.size() ? ",\n" : "\n");
  }
  j += "  ],\n  \"phases\": [\n";
  for (size_t f = 0; f < r.phases.size(); ++f)
    j += PhaseJson(r.phases[f], f < phaseFiles.size() ? phaseFiles[f] : r.phases[f].name) + (f + 1 < r.phases.size() ? ",\n" : "\n");
  j += "  ],\n  \"warnings\": [";
  for (size_t i = 0; i < r.warnings.size(); ++i) j += (i ? ", " : "") + Str(r.warnings[i]);
  j += "],\n  \"values\": [";
  bool first = true;
  for (const RefinedValue& v : r.values) {
    if (!v.refine) continue;
    j += std::string(first ? "\n" : ",\n") + "    {\"name\": " + Str(v.name) + ", \"value\": " + G(v.value) + ", \"esd\": " + G(v.esd) + "}";
    first = false;
  }
  j += "],\n  \"correlations\": [";
  for (size_t i = 0; i < r.correlations.size(); ++i)
    j += std::string(i ? ",\n    " : "\n    ") + "{\"a\": " + Str(r.correlations[i].a) + ", \"b\": " + Str(r.correlations[i].b) +
         ", \"r\": " + cformat("%.4f", r.correlations[i].r) + "}";
  j += "]\n}\n";
  return j;
}


}  // namespace pelmora
