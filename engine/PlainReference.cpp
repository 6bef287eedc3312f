#include "engine/PlainReference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "engine/Angles.h"
#include "engine/ReflectionExport.h"
#include "engine/ReflectionForms.h"
#include "io/NumberFormat.h"

namespace pelmora {

ReciprocalMetric::ReciprocalMetric(const UnitCell& cell) {
  const double ca = std::cos(DegreesToRadians(cell.alfa)), sa = std::sin(DegreesToRadians(cell.alfa));
  const double cb = std::cos(DegreesToRadians(cell.beta)), sb = std::sin(DegreesToRadians(cell.beta));
  const double cg = std::cos(DegreesToRadians(cell.gamma)), sg = std::sin(DegreesToRadians(cell.gamma));
  const double V = cell.a * cell.b * cell.c * std::sqrt(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg);
  const double as = cell.b * cell.c * sa / V, bs = cell.a * cell.c * sb / V, cs = cell.a * cell.b * sg / V;
  const double cas = (cb * cg - ca) / (sb * sg), cbs = (ca * cg - cb) / (sa * sg), cgs = (ca * cb - cg) / (sa * sb);
  aa_ = as * as;
  bb_ = bs * bs;
  cc_ = cs * cs;
  ab_ = 2.0 * as * bs * cgs;
  ac_ = 2.0 * as * cs * cbs;
  bc_ = 2.0 * bs * cs * cas;
}

void PlainStructureFactor(const std::vector<AtomSite>& atoms, int radiation, double defaultB, int h, int k, int l,
                          double s2, double& re, double& im) {
  re = im = 0.0;
  for (const AtomSite& at : atoms) {
    // The program's own 2 pi, to the digits its phases always had.
    const double phi = kTwoPi * (h * at.x + k * at.y + l * at.z);
    const double w = at.occupancy * std::exp(-at.biso.value_or(defaultB) * s2);
    if (radiation == 0) {
      const double f0 = at.c + at.a1 * std::exp(-at.b1 * s2) + at.a2 * std::exp(-at.b2 * s2) +
                        at.a3 * std::exp(-at.b3 * s2) + at.a4 * std::exp(-at.b4 * s2);
      const double f = (f0 + at.fprim) * w, fb = at.fbis * w;
      re += f * std::cos(phi) + fb * std::sin(phi);
      im += fb * std::cos(phi) - f * std::sin(phi);
    } else if (radiation == 1) {
      re += at.s * w * std::cos(phi);
      im += at.s * w * std::sin(phi);
    }
  }
}

bool PrintsAlike(double fast, double plain, int width, int precision) {
  char a[kMaxNumberChars], b[kMaxNumberChars];
  const std::string_view ta(a, static_cast<size_t>(FixedToChars(a, fast, width, precision) - a));
  const std::string_view tb(b, static_cast<size_t>(FixedToChars(b, plain, width, precision) - b));
  return ta == tb || std::fabs(fast - plain) < 0.5 * std::pow(10.0, -precision);
}

bool PlainCheck::Agrees() const {
  if (!refusal.empty() || problemCount != 0) return false;
  return std::all_of(quantities.begin(), quantities.end(), [](const QuantityCheck& q) { return q.differing == 0; });
}

namespace {

// The list groups the reflections of one line whose theta (radians) and
// |F|^2 fall in the same 1e-4 bin and whose indices agree up to sign and
// order.
constexpr double kBinsPerUnit = 10000.0;
// A line this close to an end of the 2-theta range (degrees) may fall on
// either side of it in the two calculations.
constexpr double kRangeEdge = 1e-9;
constexpr size_t kDescribedProblems = 12;
// Triples of the box beyond this are refused before any is tried.
constexpr double kMaxBoxPoints = 4.0e9;

struct LineKey {
  int line;
  double thetaBin;
  int i0, i1, i2;
  auto Tie() const { return std::tie(line, i0, i1, i2, thetaBin); }
  bool operator<(const LineKey& o) const { return Tie() < o.Tie(); }
  bool operator==(const LineKey& o) const { return Tie() == o.Tie(); }
};

LineKey KeyOf(const ReflectionForms& forms, int line, int h, int k, int l, double thetaBin) {
  const std::array<int, 3> v = forms.Key(h, k, l);
  return {line, thetaBin, v[0], v[1], v[2]};
}

// The bins a value may fall in when computed another way: its own first,
// then the neighbour across an edge it lies on. Returns how many.
int CandidateBins(double value, double bins[2]) {
  const double x = value * kBinsPerUnit, bin = std::floor(x);
  bins[0] = bin;
  const double tolerance = 1e-5 + std::fabs(x) * 1e-11;
  if (x - bin <= tolerance) {
    bins[1] = bin - 1.0;
    return 2;
  }
  if (bin + 1.0 - x <= tolerance) {
    bins[1] = bin + 1.0;
    return 2;
  }
  return 1;
}

std::string Describe(int h, int k, int l, int line) {
  return cformat("(%d %d %d) Ka%d", h, k, l, line);
}

// What the plain box gives for one line of the list.
struct Members {
  long count = 0;
  double sumF2 = 0.0;
  bool listedFound = false;  // the list's own indices among them
  double theta = 0.0, d = 0.0, re = 0.0, im = 0.0;  // those of the listed indices
};

// A triple of the box in range of at least one line, with its F.
struct BoxPoint {
  int h, k, l;
  double invD2;
  double theta[2];
  bool in[2];
  double re, im;
};

class PlainRun {
 public:
  PlainRun(const CKomorka& doc, const std::vector<Reflection>& list, PlainCheck& out);
  // Counts the box; false (with the refusal set) when it is too large.
  bool CountBox();
  void SumBox(CalcProgress& progress);
  void Compare(double maxIntensity);

 private:
  void IndexList();
  // The triples of one h in range, without their F (only counted without
  // points); the number of lines they are in range of.
  long CollectSlab(int h, std::vector<BoxPoint>* points) const;
  void Assign(const BoxPoint& p, int line);
  long FindLine(int line, const BoxPoint& p, double theta) const;
  void ListedWithoutMembers();
  void Problem(const std::string& text);
  bool OnRangeEdge(double twoTheta) const {
    return std::fabs(twoTheta - doc_.experiment.angleMin) <= kRangeEdge || std::fabs(twoTheta - doc_.experiment.angleMax) <= kRangeEdge;
  }
  // The column comparisons of one line; plainIntensity and plainMax for the
  // intensity columns.
  void CompareLine(const Reflection& g, const Members& m, double plainIntensity, double maxIntensity,
                   double plainMax);

  const CKomorka& doc_;
  const std::vector<Reflection>& list_;
  PlainCheck& out_;
  int radiation_;
  bool siteB_;  // some atom has a B of its own: all displacements go into F
  double defaultB_;
  int lines_;
  double lambda_[2];
  const ReciprocalMetric metric_;
  const ReflectionForms forms_;
  int H_, K_, L_;
  long onFaces_ = 0;
  std::vector<std::pair<LineKey, long>> index_;  // the list's lines by key
  std::vector<Members> members_;                 // per line of the list
};

PlainRun::PlainRun(const CKomorka& doc, const std::vector<Reflection>& list, PlainCheck& out)
    : doc_(doc),
      list_(list),
      out_(out),
      radiation_(doc.experiment.radiation),
      metric_(doc.cell),
      forms_(ReflectionForms::Of(doc.crystal, doc.cell)) {
  // Without any B of a site's own the experiment's B is a common factor
  // of the intensity; with one, the other atoms take the experiment's B
  // (when it is on) in F.
  siteB_ = std::any_of(doc.crystal.cellAtoms.begin(), doc.crystal.cellAtoms.end(), [](const AtomSite& a) { return a.biso.has_value(); });
  defaultB_ = siteB_ && doc.experiment.IsDW == 1 ? doc.experiment.dwfactor : 0.0;
  // Neutron sources are monochromatic.
  lines_ = doc.experiment.lambda2 > 0.0 && radiation_ == 0 ? 2 : 1;
  lambda_[0] = doc.experiment.lambda1;
  lambda_[1] = doc.experiment.lambda2;
  const std::array<int, 3> limits = doc.SearchLimits();
  H_ = limits[0];
  K_ = limits[1];
  L_ = limits[2];
  std::copy(limits.begin(), limits.end(), out.limits);
  members_.resize(list.size());
  IndexList();
}

void PlainRun::Problem(const std::string& text) {
  if (out_.problems.size() < kDescribedProblems) out_.problems.push_back(text);
  ++out_.problemCount;
}

void PlainRun::IndexList() {
  index_.reserve(list_.size());
  for (size_t i = 0; i < list_.size(); ++i) {
    const Reflection& g = list_[i];
    if (i > 0 && ReflectionBefore(g, list_[i - 1])) Problem(Describe(g.h, g.k, g.l, g.line) + ": out of angle order");
    if (!std::isfinite(g.theta) || !std::isfinite(g.f2)) {
      Problem(Describe(g.h, g.k, g.l, g.line) + ": angle or |F|^2 is not a number");
      continue;
    }
    const LineKey key = KeyOf(forms_, g.line, g.h, g.k, g.l, std::floor(g.theta * kBinsPerUnit));
    index_.emplace_back(key, static_cast<long>(i));
  }
  std::sort(index_.begin(), index_.end());
  for (size_t i = 1; i < index_.size(); ++i)
    if (index_[i].first == index_[i - 1].first) {
      const Reflection& g = list_[static_cast<size_t>(index_[i].second)];
      Problem(Describe(g.h, g.k, g.l, g.line) + ": two lines of the list hold one group");
    }
}

long PlainRun::CollectSlab(int h, std::vector<BoxPoint>* points) const {
  if (points) points->clear();
  long found = 0;
  for (int k = -K_; k <= K_; ++k)
    for (int l = -L_; l <= L_; ++l) {
      if (h == 0 && k == 0 && l == 0) continue;
      BoxPoint p{h, k, l, metric_.InverseD2(h, k, l), {0.0, 0.0}, {false, false}, 0.0, 0.0};
      for (int line = 0; line < lines_; ++line) {
        const double sinTheta = lambda_[line] * std::sqrt(p.invD2) / 2.0;
        if (!(sinTheta <= 1.0)) continue;
        p.theta[line] = std::asin(sinTheta);
        const double tt = TwoThetaDegrees(p.theta[line]);
        p.in[line] = doc_.experiment.angleMin <= tt && tt <= doc_.experiment.angleMax;
      }
      found += p.in[0] + p.in[1];
      if (points && (p.in[0] || p.in[1])) points->push_back(p);
    }
  return found;
}

bool PlainRun::CountBox() {
  const double box = (2.0 * H_ + 1.0) * (2.0 * K_ + 1.0) * (2.0 * L_ + 1.0);
  if (box > kMaxBoxPoints) {
    out_.refusal = cformat("the index box holds %.3g triples (|h|, |k|, |l| up to %d, %d, %d), too many to try one by one",
                           box, H_, K_, L_);
    return false;
  }
  long found = 0;
#pragma omp parallel for schedule(dynamic, 1) reduction(+ : found)
  for (int h = -H_; h <= H_; ++h) found += CollectSlab(h, nullptr);
  out_.plainReflections = found;
  const double terms = static_cast<double>(found) * static_cast<double>(doc_.crystal.cellAtoms.size());
  if (terms > kMaxPlainTerms) {
    out_.refusal = cformat("%ld reflections x %zu atoms (%.3g terms, beyond %.3g) take too long to sum one by one; "
                           "a narrower 2-theta range can be checked",
                           found, doc_.crystal.cellAtoms.size(), terms, kMaxPlainTerms);
    return false;
  }
  return true;
}

void PlainRun::SumBox(CalcProgress& progress) {
  progress.SetRange(0, 1000);
  progress.SetPosition(0);
  const double total = std::max<double>(1.0, static_cast<double>(out_.plainReflections));
  const double atoms = static_cast<double>(doc_.crystal.cellAtoms.size());
  long done = 0;
  std::vector<BoxPoint> points;
  // A slab at a time: its sums on every core, then its reflections taken
  // into the lines in a fixed order, so that the sums do not depend on the
  // threads.
  for (int h = -H_; h <= H_; ++h) {
    CollectSlab(h, &points);
    const long n = static_cast<long>(points.size());
#pragma omp parallel for schedule(dynamic, 8) if (static_cast<double>(n) * atoms > 20000.0)
    for (long i = 0; i < n; ++i) {
      BoxPoint& p = points[static_cast<size_t>(i)];
      PlainStructureFactor(doc_.crystal.cellAtoms, radiation_, defaultB_, p.h, p.k, p.l, p.invD2 / 4.0, p.re, p.im);
      // Babinet's solvent: F (1 - k exp(-B s^2)).
      if (doc_.experiment.solvent.on) {
        const double g = 1.0 - doc_.experiment.solvent.k * std::exp(-doc_.experiment.solvent.b * p.invD2 / 4.0);
        p.re *= g, p.im *= g;
      }
    }
    for (const BoxPoint& p : points) {
      if (std::abs(p.h) == H_ || std::abs(p.k) == K_ || std::abs(p.l) == L_) ++onFaces_;
      for (int line = 0; line < lines_; ++line)
        if (p.in[line]) {
          Assign(p, line + 1);
          ++done;
        }
    }
    progress.SetPosition(static_cast<int>(1000.0 * static_cast<double>(done) / total));
  }
  if (onFaces_ > 0)
    Problem(cformat("%ld reflections in range lie on the faces of the index box: the box may cut off others", onFaces_));
}

long PlainRun::FindLine(int line, const BoxPoint& p, double theta) const {
  double thetaBins[2];
  const int nt = CandidateBins(theta, thetaBins);
  for (int i = 0; i < nt; ++i) {
    const LineKey key = KeyOf(forms_, line, p.h, p.k, p.l, thetaBins[i]);
    const auto it = std::lower_bound(index_.begin(), index_.end(), key,
                                     [](const auto& e, const LineKey& x) { return e.first < x; });
    if (it != index_.end() && it->first == key) return it->second;
  }
  return -1;
}

void PlainRun::Assign(const BoxPoint& p, int line) {
  const double theta = p.theta[line - 1], f2 = p.re * p.re + p.im * p.im;
  const long at = FindLine(line, p, theta);
  if (at < 0) {
    const double tt = TwoThetaDegrees(theta);
    if (!OnRangeEdge(tt))
      Problem(Describe(p.h, p.k, p.l, line) + cformat(" at 2-theta %.6f, |F|^2 %.6f: in no line of the list", tt, f2));
    return;
  }
  const Reflection& g = list_[static_cast<size_t>(at)];
  Members& m = members_[static_cast<size_t>(at)];
  ++m.count;
  m.sumF2 += f2;
  if (g.h == p.h && g.k == p.k && g.l == p.l) m = {m.count, m.sumF2, true, theta, 1.0 / std::sqrt(p.invD2), p.re, p.im};
}

void PlainRun::ListedWithoutMembers() {
  for (size_t i = 0; i < list_.size(); ++i) {
    const Reflection& g = list_[i];
    const Members& m = members_[i];
    const std::string where = Describe(g.h, g.k, g.l, g.line);
    if (m.count == 0) {
      if (!OnRangeEdge(TwoThetaDegrees(g.theta)))
        Problem(where + cformat(" at 2-theta %.6f: listed, but no reflection of the box falls in it", TwoThetaDegrees(g.theta)));
    } else if (m.count != g.multiplicity) {
      Problem(where + cformat(": multiplicity %d listed, %ld reflections of the box", g.multiplicity, m.count));
    } else if (!m.listedFound) {
      Problem(where + ": the listed indices are not among the line's reflections");
    }
  }
}

void PlainRun::Compare(double maxIntensity) {
  ListedWithoutMembers();
  // The intensity formula beyond |F|^2 is the program's own; the common
  // Debye-Waller factor goes by the plain rule above.
  CKomorka::LineFactors factors[2] = {doc_.LineIntensityFactors(1), doc_.LineIntensityFactors(2)};
  for (auto& f : factors) f.perSiteB = siteB_;
  std::vector<double> intensity(list_.size(), 0.0);
  double plainMax = 0.0;
  for (size_t i = 0; i < list_.size(); ++i) {
    const Members& m = members_[i];
    if (!m.listedFound) continue;
    Reflection r;
    r.theta = m.theta;
    r.f2 = m.sumF2;
    r.multiplicity = 1;
    const int line = list_[i].line == 2 ? 2 : 1;
    intensity[i] = doc_.GroupIntensity(r, line, factors[line - 1]);
    if (line == 1) plainMax = std::max(plainMax, intensity[i]);
  }
  for (size_t i = 0; i < list_.size(); ++i)
    if (members_[i].listedFound) {
      CompareLine(list_[i], members_[i], intensity[i], maxIntensity, plainMax);
      ++out_.lines;
    }
}

void Note(QuantityCheck& q, const Reflection& g, double fast, double plain) {
  const CheckedLine here{g.h, g.k, g.l, g.line, fast, plain};
  const double diff = std::fabs(fast - plain);
  if (q.atAbs.line == 0 || diff > q.maxAbs) {
    q.maxAbs = diff;
    q.atAbs = here;
  }
  const double size = std::max(std::fabs(fast), std::fabs(plain));
  if (size >= std::pow(10.0, -q.precision) && diff / size > q.maxRel) {
    q.maxRel = diff / size;
    q.atRel = here;
  }
  if (!PrintsAlike(fast, plain, q.width, q.precision)) {
    if (q.differing == 0) q.firstDiffering = here;
    ++q.differing;
  }
}

void PlainRun::CompareLine(const Reflection& g, const Members& m, double plainIntensity, double maxIntensity,
                           double plainMax) {
  auto& q = out_.quantities;
  Note(q[0], g, TwoThetaDegrees(g.theta), TwoThetaDegrees(m.theta));
  Note(q[1], g, g.d, m.d);
  Note(q[2], g, g.reF, m.re);
  Note(q[3], g, g.imF, m.im);
  // A line's |F|^2 is the mean of its members'.
  const double f2 = m.sumF2 / static_cast<double>(m.count);
  Note(q[4], g, g.f2, f2);
  Note(q[5], g, g.intensity, plainIntensity);
  Note(q[6], g, IntensityPercent(g.intensity, maxIntensity), IntensityPercent(plainIntensity, plainMax));
  // The list hides extinct lines, those whose |F|^2 prints as zero with
  // four decimals: both calculations must hide the same.
  const auto shown = [](double f2) { return parseDoubleOr(cformat("%.4f", f2), 0.0) > 0.0; };
  if ((g.nonZero == 1) != shown(g.f2) || (shown(g.f2) != shown(f2) && !PrintsAlike(g.f2, f2, 0, 4)))
    Problem(Describe(g.h, g.k, g.l, g.line) +
            cformat(": extinct in one list only (|F|^2 %.6g listed %s, %.6g plain)", g.f2,
                    g.nonZero == 1 ? "as shown" : "as extinct", f2));
}

}  // namespace

std::string PlainCheckRefusal(const CKomorka& doc) {
  PlainCheck out;
  PlainRun(doc, {}, out).CountBox();
  return out.refusal;
}

PlainCheck CheckAgainstPlainReference(const CKomorka& doc, const std::vector<Reflection>& list, double maxIntensity,
                                      CalcProgress& progress) {
  PlainCheck out;
  // The list's columns and their formats (engine/ReflectionExport.cpp).
  for (const auto& [name, width, precision] : {std::tuple{"2-theta", 8, 4}, {"d", 6, 4}, {"Re(F)", 8, 3}, {"Im(F)", 8, 3},
                                                {"|F|^2", 9, 3}, {"intensity", 12, 4}, {"intensity %", 8, 4}}) {
    QuantityCheck& q = out.quantities.emplace_back();
    q.name = name;
    q.width = width;
    q.precision = precision;
  }
  PlainRun run(doc, list, out);
  if (!run.CountBox()) return out;
  run.SumBox(progress);
  run.Compare(maxIntensity);
  return out;
}

}  // namespace pelmora
