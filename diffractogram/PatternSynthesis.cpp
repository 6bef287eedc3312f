#include "diffractogram/PatternSynthesis.h"

#include <algorithm>
#include <cmath>

#include "engine/NumberFormat.h"

namespace pelmora {

namespace {

// Constants of the profile formulas, kept to the digits the program uses.
constexpr double kGaussNorm = 0.939437278699651;    // 2 sqrt(ln 2 / pi)
constexpr double kGaussExp = 2.77258872223978;      // 4 ln 2
constexpr double kLorentzNorm = 0.636619772367581;  // 2 / pi
constexpr double kGaussSize = 26.912895593372692;   // 57.29577951308238 sqrt(ln 2 / pi)
constexpr double kLorentzSize = 18.237813055620837; // 57.29577951308238 / pi
constexpr double kRadToDeg = 57.29577951308238;

bool UsableWidth(double H) { return std::isfinite(H) && H > 0.0; }

// A width that the grid cannot sample (the stick has none).
bool SubGrid(double H, double step) { return UsableWidth(H) && H < step; }

// One peak ready to be drawn: possibly several reflections of one shape.
struct Peak {
  double tth, H, eta, scale, I;
  int first, end;
  int members;
  bool SameShape(const Peak& o) const {
    return tth == o.tth && H == o.H && eta == o.eta && scale == o.scale && first == o.first && end == o.end;
  }
};

// Adds one peak to points [first, end). f(I, delta) is the profile value
// before the scale. Sums that would not be finite are left out; the return
// value tells whether any was.
template <class F>
bool AddPeak(PatternPoint* pts, int first, int end, double tth, double I, double scale, F&& f, double& maximum) {
  bool clean = true;
  for (int i = first; i < end; ++i) {
    const double sum = pts[i].intensity + f(I, pts[i].twoTheta - tth) * scale;
    if (std::isfinite(sum))
      pts[i].intensity = sum;
    else
      clean = false;
    if (pts[i].intensity > maximum) maximum = pts[i].intensity;
  }
  return clean;
}

}  // namespace

bool ProfileUsesGrainSize(ProfileId id) {
  return id == kProfileGauss || id == kProfileLorentz || id == kProfilePseudoVoigt;
}

std::string ValidateProfileInput(const CKomorka& doc, ProfileId id) {
  if (ProfileUsesGrainSize(id)) return CheckExperimentValue(doc, ExperimentValue::GrainSize);
  return {};
}

std::string ValidateRun(const CKomorka& doc, ProfileId id) {
  std::string why = doc.ValidateCalculation();
  if (why.empty()) why = ValidateProfileInput(doc, id);
  return why;
}

std::string SubGridPeaksMessage(int subGridPeaks, double step) {
  if (subGridPeaks <= 0) return {};
  return cformat("Refleksy węższe od kroku siatki %.3f° (natężenie rozdzielone na dwa sąsiednie punkty): %d",
                 step, subGridPeaks);
}

std::string RefusedPeaksMessage(int refusedPeaks) {
  if (refusedPeaks <= 0) return {};
  return cformat("Pominięte refleksy (szerokość piku nie jest dodatnią liczbą skończoną, "
                 "np. U tg²θ + V tgθ + W < 0): %d",
                 refusedPeaks);
}

SynthesisReport Synthesize(const SynthesisSetup& setup, CKomorka& doc, double angleMin, double angleMax,
                           PatternGrid& grid, double step) {
  SynthesisReport report;
  grid.Reset();
  PatternPoint* pts = grid.points();
  double maximum = 0.0;

  // A plug-in's functions are looked up once per synthesis, never per point.
  pelmora_PeakInit_fn pluginInit = nullptr;
  pelmora_ProfileFunction_fn pluginFunction = nullptr;
  const ProfileId id = setup.profile;
  if (id >= 0 && setup.plugins && static_cast<size_t>(id) < setup.plugins->size()) {
    const PluginEntry& e = (*setup.plugins)[static_cast<size_t>(id)];
    if (e.kind == PELMORA_KIND_PROFILE && !(e.flags & kPluginFlagOldProfile)) {
      pluginFunction = setup.plugins->Lookup<pelmora_ProfileFunction_fn>(static_cast<size_t>(id),
                                                                         "pelmora_ProfileFunction");
      pluginInit = setup.plugins->Lookup<pelmora_PeakInit_fn>(static_cast<size_t>(id), "pelmora_PeakInit");
    }
  }
  const bool builtin = id >= kProfilePseudoVoigt && id <= kProfileStick;
  if (!builtin && !pluginFunction && !pluginInit) {
    // No profile: the grid stays zero, the reflections get no width.
    for (Reflection& r : doc.reflectionsAll) r.fwhm = -1.0;
    grid.maximum = 0.0;
    grid.snapshot = PatternSnapshot::Of(doc, angleMin, angleMax);
    return report;
  }

  const SynthesisOptions& opt = setup.options;
  const int rangeFirst = PatternIndex(angleMin, step), rangeEnd = PatternIndex(angleMax, step);
  auto addPeak = [&](const Peak& p) {
    bool clean = true;
    if (SubGrid(p.H, step)) {
      // Sampling a peak narrower than the step would catch it anywhere from
      // its top to nothing; its area goes to the two points around it
      // instead, split linearly by position, so that grid sum x step = I.
      const double x = p.tth / step;
      const double f = std::floor(x);
      const double frac = x - f;
      const double area = p.I * p.scale / step;
      const int i0 = static_cast<int>(f);
      clean = AddPeak(pts, std::max(i0, rangeFirst), std::min(i0 + 1, rangeEnd), p.tth, area, 1.0,
                      [frac](double a, double) { return a * (1.0 - frac); }, maximum) &&
              AddPeak(pts, std::max(i0 + 1, rangeFirst), std::min(i0 + 2, rangeEnd), p.tth, area, 1.0,
                      [frac](double a, double) { return a * frac; }, maximum);
      if (clean) report.subGridPeaks += p.members;
      else report.refusedPeaks += p.members;
      return;
    }
    switch (id) {
      case kProfileStick: {
        // The whole intensity on the strictly nearest grid point; a peak
        // exactly half-way between two points adds nothing. Decided once in
        // index space rather than by comparing rounded differences per point.
        const double x = p.tth / step;
        const double f = std::floor(x);
        const double frac = x - f;
        if (frac == 0.5 || !std::isfinite(x)) break;
        const double target = frac < 0.5 ? f : f + 1.0;
        if (target < p.first || target >= p.end) break;
        clean = AddPeak(pts, static_cast<int>(target), static_cast<int>(target) + 1, p.tth, p.I, p.scale,
                        [](double I, double) { return I; }, maximum);
        break;
      }
      case kProfileGauss: {
        const double a = kGaussNorm / p.H, b = kGaussExp / (p.H * p.H);
        clean = AddPeak(pts, p.first, p.end, p.tth, p.I, p.scale,
                        [a, b](double I, double d) { return I * a * std::exp(-b * d * d); }, maximum);
        break;
      }
      case kProfileLorentz: {
        const double a = 2.0 / (kPi * p.H), b = 4.0 / (p.H * p.H);
        clean = AddPeak(pts, p.first, p.end, p.tth, p.I, p.scale,
                        [a, b](double I, double d) { return I * a / (b * d * d + 1.0); }, maximum);
        break;
      }
      case kProfilePseudoVoigt: {
        const double ga = (1.0 - p.eta) * kGaussNorm / p.H, gb = kGaussExp / (p.H * p.H);
        const double la = p.eta * kLorentzNorm / p.H, lb = 4.0 / (p.H * p.H);
        clean = AddPeak(pts, p.first, p.end, p.tth, p.I, p.scale,
                        [=](double I, double d) {
                          const double d2 = d * d;
                          return I * (ga * std::exp(-gb * d2) + la / (lb * d2 + 1.0));
                        },
                        maximum);
        break;
      }
      default:
        if (pluginFunction) {
          // One indirect call per grid point, nothing more.
          clean = AddPeak(pts, p.first, p.end, p.tth, p.I, p.scale,
                          [pluginFunction, step](double I, double d) {
                            const ProfilePoint pt{I, 0.0, d, step};
                            return pluginFunction(&pt);
                          },
                          maximum);
        }
        break;
    }
    if (!clean) report.refusedPeaks += p.members;
  };
  Peak pending{};
  bool havePending = false;

  for (Reflection& r : doc.reflectionsAll) {
    if (r.nonZero == 0) continue;
    if (r.line == 1 && doc.lambda1 < 0.0001) continue;
    if (r.line == 2 && doc.lambda2 < 0.0001) continue;
    const double tth = r.theta * 360.0 / kPi;

    PeakParams pp{};
    pp.h = r.h;
    pp.k = r.k;
    pp.l = r.l;
    pp.theta = r.theta;
    pp.lambda = r.line == 2 ? doc.lambda2 : doc.lambda1;
    pp.grainSize = doc.gsize;
    pp.unity = 1.0;
    pp.U = doc.u;
    pp.V = doc.v;
    pp.W = doc.w;
    pp.X = doc.x;
    pp.Y = doc.y;
    pp.a = doc.a;
    pp.b = doc.b;
    pp.c = doc.c;
    pp.alpha = doc.alfa;
    pp.beta = doc.beta;
    pp.gamma = doc.gamma;
    pp.scale = 1.0;
    pp.fwhm = -1.0;

    // Built-in initialisations; eta only for the pseudo-Voigt.
    double eta = 0.0;
    bool refused = false;
    if (builtin && id != kProfileStick) {
      const double th = pp.theta, lambda = pp.lambda, D = pp.grainSize;
      const double t = std::tan(th), cs = std::cos(th);
      const double U = pp.U, V = pp.V, W = pp.W, X = pp.X, Y = pp.Y;
      double H = -1.0;
      if (id == kProfileGauss) {
        const double size = 8.0 * lambda / (3.0 * D) * kGaussSize / cs;
        H = std::sqrt(U * t * t + V * t + W + size * size);
      } else if (id == kProfileLorentz) {
        H = X * t + (Y + 8.0 * lambda / (3.0 * D) * kLorentzSize) / cs;
      } else {
        const double s = 4.0 * lambda / (3.0 * D * cs) * 0.83005;
        const double Gs = 47.884202882924924 * s;
        const double Ls = 16.746696914981285 * s;
        const double gG = std::sqrt(U * t * t + V * t + W + Gs * Gs);
        const double gL = Y / cs + X * t + Ls;
        const double g2 = gG * gG, l2 = gL * gL;
        H = std::pow(g2 * g2 * gG + 2.69269 * g2 * g2 * gL + 2.42843 * g2 * gG * l2 + 4.47163 * g2 * l2 * gL +
                         0.07842 * gG * l2 * l2 + l2 * l2 * gL,
                     0.2);
        const double q = gL / H;
        eta = 1.36603 * q - 0.47719 * q * q + 0.11116 * q * q * q;
        if (setup.pseudoVoigtInfo) {
          PseudoVoigtInfo info;
          info.h = r.h;
          info.k = r.k;
          info.l = r.l;
          info.twoThetaRad = 2.0 * th;
          info.lambda = lambda;
          info.Gs = Gs;
          info.Ls = Ls;
          info.H = H;
          info.sDeg = s * kRadToDeg;
          info.gammaG = gG;
          info.gammaL = gL;
          info.eta = eta;
          info.GsCos = Gs * cs;
          info.LsCos = Ls * cs;
          setup.pseudoVoigtInfo->push_back(info);
        }
      }
      pp.fwhm = H;
      refused = !UsableWidth(H) || !std::isfinite(eta);
      if (refused) pp.fwhm = -1.0;
    } else if (pluginInit) {
      pluginInit(&pp);
    }
    r.fwhm = pp.fwhm;
    if (refused) {
      ++report.refusedPeaks;
      continue;
    }

    const double H = pp.fwhm;
    const double w = (H >= 0.0 && opt.useTHMF) ? H * opt.dthMF : opt.dthMargin;
    const double half = 0.5 * w;
    const double lo = std::max(angleMin, tth - half);
    const double hi = std::min(angleMax, tth + half);
    Peak peak{tth, H, eta, pp.scale, r.intensity, PatternIndex(lo, step), PatternIndex(hi, step), 1};
    if (SubGrid(H, step)) {
      // Its two grid points, not its window, decide where it lands.
      if (!(tth > angleMin - step && tth < angleMax + step)) continue;
      peak.first = rangeFirst;
      peak.end = rangeEnd;
    }
    if (peak.first >= peak.end) continue;
    if (!builtin) {
      addPeak(peak);
      continue;
    }
    // Built-in profiles are linear in I: reflections that share angle,
    // width and window (symmetry-equivalent planes, lists sorted by angle)
    // are drawn as one peak with the summed intensity.
    if (havePending && pending.SameShape(peak)) {
      pending.I += peak.I;
      ++pending.members;
      continue;
    }
    if (havePending) addPeak(pending);
    pending = peak;
    havePending = true;
  }
  if (havePending) addPeak(pending);

  grid.maximum = maximum;
  grid.snapshot = PatternSnapshot::Of(doc, angleMin, angleMax);
  return report;
}

}  // namespace pelmora
