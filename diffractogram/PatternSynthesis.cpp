#include "diffractogram/PatternSynthesis.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {

namespace {

// Constants of the profile formulas, kept to the digits the program uses.
constexpr double kGaussNorm = 0.939437278699651;    // 2 sqrt(ln 2 / pi)
constexpr double kGaussExp = 2.77258872223978;      // 4 ln 2
constexpr double kLorentzNorm = 0.636619772367581;  // 2 / pi
// Scherrer size broadening in degrees 2-theta: 8 lambda / (3 D) times these.
constexpr double kGaussSize = 26.912895593372692;   // 57.29577951308238 sqrt(ln 2 / pi)
constexpr double kLorentzSize = 18.237813055620837; // 57.29577951308238 / pi
// Thompson, Cox & Hastings: the pseudo-Voigt's size term s = 4 lambda /
// (3 D cos theta) times kTchScherrer, its Gaussian and Lorentzian parts, the
// coefficients of the FWHM polynomial and of the mixing eta.
constexpr double kTchScherrer = 0.83005;
constexpr double kTchGaussSize = 47.884202882924924;    // 0.835737 kRadToDeg
constexpr double kTchLorentzSize = 16.746696914981285;  // 0.292285 kRadToDeg
constexpr double kTchH1 = 2.69269, kTchH2 = 2.42843, kTchH3 = 4.47163, kTchH4 = 0.07842;
constexpr double kTchEta1 = 1.36603, kTchEta2 = 0.47719, kTchEta3 = 0.11116;

// The unit-area profiles of FWHM H, times a weight, at an offset d from the
// peak: Gauss a exp(-b d^2), Lorentz a / (b d^2 + 1). Every profile built
// from them normalises through these two alone.
struct Shape {
  double a, b;
};
Shape GaussShape(double weight, double H) { return {weight * kGaussNorm / H, kGaussExp / (H * H)}; }
Shape LorentzShape(double weight, double H) { return {weight * kLorentzNorm / H, 4.0 / (H * H)}; }

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

double TchWidth(double gG, double gL, double* eta) {
  const double g2 = gG * gG, l2 = gL * gL;
  const double H = std::pow(g2 * g2 * gG + kTchH1 * g2 * g2 * gL + kTchH2 * g2 * gG * l2 + kTchH3 * g2 * l2 * gL +
                                kTchH4 * gG * l2 * l2 + l2 * l2 * gL,
                            0.2);
  const double q = gL / H;
  *eta = kTchEta1 * q - kTchEta2 * q * q + kTchEta3 * q * q * q;
  return H;
}

void TchSizePerInverseSize(double theta, double lambda, double* gauss, double* lorentz) {
  const double s = 4.0 * lambda / (3.0 * std::cos(theta)) * kTchScherrer;
  *gauss = kTchGaussSize * s;
  *lorentz = kTchLorentzSize * s;
}

std::string SubGridPeaksMessage(int subGridPeaks, double step) {
  if (subGridPeaks <= 0) return {};
  return cformat(TrText("diffractogram", "Refleksy węższe od kroku siatki %.3f° (natężenie rozdzielone na dwa sąsiednie punkty): %d").c_str(),
                 step, subGridPeaks);
}

std::string RefusedPeaksMessage(int refusedPeaks) {
  if (refusedPeaks <= 0) return {};
  return cformat(TrText("diffractogram", "Pominięte refleksy (szerokość piku nie jest dodatnią liczbą skończoną, "
                 "np. U tg²θ + V tgθ + W < 0): %d").c_str(),
                 refusedPeaks);
}

namespace {

// The profile functions a plug-in provides; looked up once per synthesis,
// never per point.
struct PluginProfile {
  pelmora_PeakInit_fn init = nullptr;
  pelmora_ProfileFunction_fn function = nullptr;
};

PluginProfile LookupPluginProfile(const SynthesisSetup& setup) {
  PluginProfile p;
  const ProfileId id = setup.profile;
  if (id < 0 || !setup.plugins || static_cast<size_t>(id) >= setup.plugins->size()) return p;
  const PluginEntry& e = (*setup.plugins)[static_cast<size_t>(id)];
  if (e.kind != PELMORA_KIND_PROFILE || (e.flags & kPluginFlagOldProfile)) return p;
  p.function = setup.plugins->Lookup<pelmora_ProfileFunction_fn>(static_cast<size_t>(id), "pelmora_ProfileFunction");
  p.init = setup.plugins->Lookup<pelmora_PeakInit_fn>(static_cast<size_t>(id), "pelmora_PeakInit");
  return p;
}

PeakParams PeakParamsOf(const Reflection& r, const CKomorka& doc) {
  PeakParams pp{};
  pp.h = r.h;
  pp.k = r.k;
  pp.l = r.l;
  pp.theta = r.theta;
  pp.lambda = r.line == 2 ? doc.experiment.lambda2 : doc.experiment.lambda1;
  pp.grainSize = doc.experiment.gsize;
  pp.unity = 1.0;
  pp.U = doc.experiment.u;
  pp.V = doc.experiment.v;
  pp.W = doc.experiment.w;
  pp.X = doc.experiment.x;
  pp.Y = doc.experiment.y;
  pp.a = doc.cell.a;
  pp.b = doc.cell.b;
  pp.c = doc.cell.c;
  pp.alpha = doc.cell.alfa;
  pp.beta = doc.cell.beta;
  pp.gamma = doc.cell.gamma;
  pp.scale = 1.0;
  pp.fwhm = -1.0;
  return pp;
}

double GaussWidth(const PeakParams& pp) {
  const double t = std::tan(pp.theta), cs = std::cos(pp.theta);
  const double size = 8.0 * pp.lambda / (3.0 * pp.grainSize) * kGaussSize / cs;
  return std::sqrt(pp.U * t * t + pp.V * t + pp.W + size * size);
}

double LorentzWidth(const PeakParams& pp) {
  const double t = std::tan(pp.theta), cs = std::cos(pp.theta);
  return pp.X * t + (pp.Y + 8.0 * pp.lambda / (3.0 * pp.grainSize) * kLorentzSize) / cs;
}

// The pseudo-Voigt's FWHM, its mixing eta into *eta, and the record the
// info window lists.
double PseudoVoigtWidth(const PeakParams& pp, double* eta, PseudoVoigtInfo* info) {
  const double th = pp.theta, t = std::tan(th), cs = std::cos(th);
  const double s = 4.0 * pp.lambda / (3.0 * pp.grainSize * cs) * kTchScherrer;
  const double Gs = kTchGaussSize * s;
  const double Ls = kTchLorentzSize * s;
  const double gG = std::sqrt(pp.U * t * t + pp.V * t + pp.W + Gs * Gs);
  const double gL = pp.Y / cs + pp.X * t + Ls;
  const double H = TchWidth(gG, gL, eta);
  if (info) {
    info->h = pp.h;
    info->k = pp.k;
    info->l = pp.l;
    info->twoThetaRad = 2.0 * th;
    info->lambda = pp.lambda;
    info->Gs = Gs;
    info->Ls = Ls;
    info->H = H;
    info->sDeg = s * kRadToDeg;
    info->gammaG = gG;
    info->gammaL = gL;
    info->eta = *eta;
    info->GsCos = Gs * cs;
    info->LsCos = Ls * cs;
  }
  return H;
}

// A built-in profile's width into pp.fwhm (and eta); false, with the width
// -1, when it is no usable number.
bool InitBuiltInPeak(ProfileId id, PeakParams& pp, double& eta, std::vector<PseudoVoigtInfo>* infoList) {
  double H;
  if (id == kProfileGauss) {
    H = GaussWidth(pp);
  } else if (id == kProfileLorentz) {
    H = LorentzWidth(pp);
  } else {
    PseudoVoigtInfo info;
    H = PseudoVoigtWidth(pp, &eta, infoList ? &info : nullptr);
    if (infoList) infoList->push_back(info);
  }
  pp.fwhm = H;
  if (UsableWidth(H) && std::isfinite(eta)) return true;
  pp.fwhm = -1.0;
  return false;
}

// Sums peaks into the grid: one function per profile, the maximum kept as
// it goes, refused sums counted.
class PeakAccumulator {
 public:
  // rangeFirst and rangeEnd: the grid points of the angle range.
  PeakAccumulator(PatternPoint* pts, ProfileId id, pelmora_ProfileFunction_fn plugin, double step, int rangeFirst,
                  int rangeEnd, SynthesisReport& report)
      : pts_(pts),
        id_(id),
        plugin_(plugin),
        step_(step),
        rangeFirst_(rangeFirst),
        rangeEnd_(rangeEnd),
        report_(report) {}

  // Built-in profiles are linear in I: reflections that share angle, width
  // and window (symmetry-equivalent planes, lists sorted by angle) are drawn
  // as one peak with the summed intensity.
  void AddMergingEqual(const Peak& peak) {
    if (pending_ && pending_->SameShape(peak)) {
      pending_->I += peak.I;
      ++pending_->members;
      return;
    }
    Flush();
    pending_ = peak;
  }
  void Flush() {
    if (pending_) Add(*pending_);
    pending_.reset();
  }
  void Add(const Peak& p);
  double maximum() const { return maximum_; }

 private:
  bool AddStick(const Peak& p);
  void AddSubGrid(const Peak& p);

  PatternPoint* pts_;
  ProfileId id_;
  pelmora_ProfileFunction_fn plugin_;
  double step_;
  int rangeFirst_, rangeEnd_;
  SynthesisReport& report_;
  double maximum_ = 0.0;
  std::optional<Peak> pending_;
};

// The whole intensity on the strictly nearest grid point; a peak exactly
// half-way between two points adds nothing. Decided once in index space
// rather than by comparing rounded differences per point.
bool PeakAccumulator::AddStick(const Peak& p) {
  const double x = p.tth / step_;
  const double f = std::floor(x);
  const double frac = x - f;
  if (frac == 0.5 || !std::isfinite(x)) return true;
  const double target = frac < 0.5 ? f : f + 1.0;
  if (target < p.first || target >= p.end) return true;
  return AddPeak(pts_, static_cast<int>(target), static_cast<int>(target) + 1, p.tth, p.I, p.scale,
                 [](double I, double) { return I; }, maximum_);
}

// Sampling a peak narrower than the step would catch it anywhere from its
// top to nothing; its area goes to the two points around it instead, split
// linearly by position, so that grid sum x step = I.
void PeakAccumulator::AddSubGrid(const Peak& p) {
  const double x = p.tth / step_;
  const double f = std::floor(x);
  const double frac = x - f;
  const double area = p.I * p.scale / step_;
  const int i0 = static_cast<int>(f);
  const bool clean = AddPeak(pts_, std::max(i0, rangeFirst_), std::min(i0 + 1, rangeEnd_), p.tth, area, 1.0,
                             [frac](double a, double) { return a * (1.0 - frac); }, maximum_) &&
                     AddPeak(pts_, std::max(i0 + 1, rangeFirst_), std::min(i0 + 2, rangeEnd_), p.tth, area, 1.0,
                             [frac](double a, double) { return a * frac; }, maximum_);
  if (clean)
    report_.subGridPeaks += p.members;
  else
    report_.refusedPeaks += p.members;
}

void PeakAccumulator::Add(const Peak& p) {
  if (SubGrid(p.H, step_)) {
    AddSubGrid(p);
    return;
  }
  bool clean = true;
  switch (id_) {
    case kProfileStick:
      clean = AddStick(p);
      break;
    case kProfileGauss: {
      const Shape g = GaussShape(1.0, p.H);
      clean = AddPeak(pts_, p.first, p.end, p.tth, p.I, p.scale,
                      [g](double I, double d) { return I * g.a * std::exp(-g.b * d * d); }, maximum_);
      break;
    }
    case kProfileLorentz: {
      const Shape l = LorentzShape(1.0, p.H);
      clean = AddPeak(pts_, p.first, p.end, p.tth, p.I, p.scale,
                      [l](double I, double d) { return I * l.a / (l.b * d * d + 1.0); }, maximum_);
      break;
    }
    case kProfilePseudoVoigt: {
      const Shape g = GaussShape(1.0 - p.eta, p.H), l = LorentzShape(p.eta, p.H);
      clean = AddPeak(pts_, p.first, p.end, p.tth, p.I, p.scale,
                      [g, l](double I, double d) {
                        const double d2 = d * d;
                        return I * (g.a * std::exp(-g.b * d2) + l.a / (l.b * d2 + 1.0));
                      },
                      maximum_);
      break;
    }
    default:
      if (plugin_) {
        // One indirect call per grid point, nothing more.
        const auto fn = plugin_;
        const double step = step_;
        clean = AddPeak(pts_, p.first, p.end, p.tth, p.I, p.scale,
                        [fn, step](double I, double d) {
                          const ProfilePoint pt{I, 0.0, d, step};
                          return fn(&pt);
                        },
                        maximum_);
      }
      break;
  }
  if (!clean) report_.refusedPeaks += p.members;
}

bool Drawn(const Reflection& r, const CKomorka& doc) {
  if (r.nonZero == 0) return false;
  if (r.line == 1 && doc.experiment.lambda1 < 0.0001) return false;
  if (r.line == 2 && doc.experiment.lambda2 < 0.0001) return false;
  return true;
}

}  // namespace

SynthesisReport Synthesize(const SynthesisSetup& setup, CKomorka& doc, double angleMin, double angleMax,
                           PatternGrid& grid, double step) {
  SynthesisReport report;
  grid.Reset();
  const ProfileId id = setup.profile;
  const PluginProfile plugin = LookupPluginProfile(setup);
  const bool builtin = id >= kProfilePseudoVoigt && id <= kProfileStick;
  if (!builtin && !plugin.function && !plugin.init) {
    // No profile: the grid stays zero, the reflections get no width.
    for (Reflection& r : doc.results.reflectionsAll) r.fwhm = -1.0;
    grid.maximum = 0.0;
    grid.snapshot = PatternSnapshot::Of(doc, angleMin, angleMax);
    return report;
  }

  const SynthesisOptions& opt = setup.options;
  const int rangeFirst = PatternIndex(angleMin, step), rangeEnd = PatternIndex(angleMax, step);
  PeakAccumulator acc(grid.points(), id, plugin.function, step, rangeFirst, rangeEnd, report);
  for (Reflection& r : doc.results.reflectionsAll) {
    if (!Drawn(r, doc)) continue;
    PeakParams pp = PeakParamsOf(r, doc);
    double eta = 0.0;  // the pseudo-Voigt's only
    bool refused = false;
    if (builtin && id != kProfileStick)
      refused = !InitBuiltInPeak(id, pp, eta, setup.pseudoVoigtInfo);
    else if (plugin.init)
      plugin.init(&pp);
    r.fwhm = pp.fwhm;
    if (refused) {
      ++report.refusedPeaks;
      continue;
    }
    // The window: a multiple of the width when the profile gives one.
    const double tth = TwoThetaDegrees(r);
    const double H = pp.fwhm;
    const double w = (H >= 0.0 && opt.useTHMF) ? H * opt.dthMF : opt.dthMargin;
    const double lo = std::max(angleMin, tth - 0.5 * w);
    const double hi = std::min(angleMax, tth + 0.5 * w);
    Peak peak{tth, H, eta, pp.scale, r.intensity, PatternIndex(lo, step), PatternIndex(hi, step), 1};
    if (SubGrid(H, step)) {
      // Its two grid points, not its window, decide where it lands.
      if (!(tth > angleMin - step && tth < angleMax + step)) continue;
      peak.first = rangeFirst;
      peak.end = rangeEnd;
    }
    if (peak.first >= peak.end) continue;
    if (builtin)
      acc.AddMergingEqual(peak);
    else
      acc.Add(peak);
  }
  acc.Flush();
  grid.maximum = acc.maximum();
  grid.snapshot = PatternSnapshot::Of(doc, angleMin, angleMax);
  return report;
}

}  // namespace pelmora
