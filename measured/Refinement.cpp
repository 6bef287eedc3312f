// Setting a refinement up: the fitted points of each pattern, each phase's
// lines, and the values of the model with their names and bounds.
#include "measured/Refinement.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/SpaceGroup.h"
#include "io/NumberFormat.h"
#include "engine/StructureEdits.h"
#include "measured/RefinementModel.h"

namespace pelmora {

using refinement::LineGroup;
using refinement::PatternData;
using refinement::PhaseData;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

int AddValue(refinement::Model& m, std::string name, RefinedKind kind, int pattern, int phase, int index, double value,
             double lower, double upper, bool refine) {
  RefinedValue v;
  v.name = std::move(name);
  v.kind = kind;
  v.pattern = pattern;
  v.phase = phase;
  v.index = index;
  v.value = value;
  v.lower = lower;
  v.upper = upper;
  v.refine = refine;
  m.values.push_back(std::move(v));
  return static_cast<int>(m.values.size()) - 1;
}

// Whether the group's operators extinguish h: an operator that keeps h
// with a translation whose phase h . t is not whole.
bool Extinct(const std::vector<SymmetryOperator>& ops, const std::array<int, 3>& h) {
  for (const SymmetryOperator& op : ops) {
    bool keeps = true;
    for (size_t j = 0; j < 3 && keeps; ++j)
      keeps = h[0] * op.rot[j] + h[1] * op.rot[3 + j] + h[2] * op.rot[6 + j] == h[j];
    if (!keeps) continue;
    const double phase = h[0] * op.tran[0] + h[1] * op.tran[1] + h[2] * op.tran[2];
    if (std::fabs(phase - std::round(phase)) > 1e-6) return true;
  }
  return false;
}

// Every reflection up to 1 / d = inverseDMax, without the extinct ones, in
// lines: reflections of one spacing in this cell and in one whose free
// constants are slightly moved, so that no refined cell splits a line.
std::vector<LineGroup> LinesOf(const CKomorka& doc, LatticeType type, char axis, double inverseDMax) {
  const UnitCell cell = doc.cell.WithFreshMetric();
  CellConstants moved = ConstantsOf(cell);
  const std::array<bool, 6> free = FreeCellConstants(type, axis);
  const double nudge[6] = {1.41421e-4, 1.73205e-4, 2.23607e-4, 2.64575e-4, 3.31662e-4, 3.60555e-4};
  for (size_t i = 0; i < 6; ++i)
    if (free[i]) moved[i] *= 1.0 + nudge[i];
  TieCell(type, axis, moved);
  UnitCell other = cell;
  SetConstants(other, moved);
  other.RefreshCellMetric();
  const std::vector<SymmetryOperator> ops = SymmetryOperatorsOf(doc.crystal);
  const int hm = static_cast<int>(inverseDMax * cell.a) + 1, km = static_cast<int>(inverseDMax * cell.b) + 1,
            lm = static_cast<int>(inverseDMax * cell.c) + 1;
  std::map<std::pair<long long, long long>, LineGroup> byKey;
  for (int h = -hm; h <= hm; ++h)
    for (int k = -km; k <= km; ++k)
      for (int l = -lm; l <= lm; ++l) {
        if (h == 0 && k == 0 && l == 0) continue;
        const double d = cell.DSpacing(h, k, l);
        if (!(1.0 / d <= inverseDMax) || Extinct(ops, {h, k, l})) continue;
        const auto key = std::pair{std::llround(d * 1e8), std::llround(other.DSpacing(h, k, l) * 1e8)};
        byKey[key].hkl.push_back({h, k, l});
      }
  std::vector<LineGroup> lines;
  for (auto it = byKey.rbegin(); it != byKey.rend(); ++it) lines.push_back(std::move(it->second));
  return lines;
}

std::string Prefix(size_t count, const std::string& name) { return count > 1 ? name + ": " : std::string(); }

// The hat function of each background point: 1 at its point, falling
// linearly to 0 at its neighbours; the first and last stay 1 beyond.
void BackgroundHats(PatternData& p) {
  std::vector<double>& at = p.input.backgroundPoints;
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  p.K = static_cast<int>(at.size());
  const size_t K = at.size();
  p.chebyshev.assign(p.t.size() * K, 0.0);
  for (size_t i = 0; i < p.t.size(); ++i) {
    double* row = &p.chebyshev[i * K];
    const double x = p.t[i];
    const size_t j = static_cast<size_t>(std::upper_bound(at.begin(), at.end(), x) - at.begin());
    if (j == 0) row[0] = 1.0;
    else if (j == K) row[K - 1] = 1.0;
    else {
      const double f = (x - at[j - 1]) / (at[j] - at[j - 1]);
      row[j - 1] = 1.0 - f;
      row[j] = f;
    }
  }
}

// The observed counts near a background point: the median within a
// quarter degree, a start the peaks hardly move.
double CountsNear(const PatternData& p, double x) {
  std::vector<double> near;
  for (size_t i = 0; i < p.t.size(); ++i)
    if (std::fabs(p.t[i] - x) <= 0.25) near.push_back(p.yo[i]);
  if (near.empty()) return 0.0;
  std::nth_element(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(near.size() / 2), near.end());
  return near[near.size() / 2];
}

// The fitted points, the lines of the radiation, the Chebyshev terms.
bool TakePattern(PatternData& p, std::string* error) {
  const RefinementPattern& in = p.input;
  const MeasuredPattern& m = in.data;
  for (int i = 0; i < m.size(); ++i) {
    const double x = m.twoTheta[static_cast<size_t>(i)];
    if (x < in.experiment.angleMin || x > in.experiment.angleMax) continue;
    bool out = false;
    for (const auto& [lo, hi] : in.excluded) out = out || (x >= lo && x <= hi);
    if (out) continue;
    const double wt = FitWeight(m.counts[static_cast<size_t>(i)], m.hasSigma() ? m.sigma[static_cast<size_t>(i)] : 0.0);
    p.t.push_back(x);
    p.yo.push_back(m.counts[static_cast<size_t>(i)]);
    p.w.push_back(wt);
    p.sw.push_back(std::sqrt(wt));
  }
  if (p.t.size() < 2) {
    *error = in.name + ": no measured points in the range " + cformat("%g", in.experiment.angleMin) + " - " +
             cformat("%g", in.experiment.angleMax) + " degrees";
    return false;
  }
  p.rangeMin = p.t.front();
  p.rangeMax = p.t.back();
  p.lines.push_back({in.experiment.lambda1, 1.0});
  if (in.experiment.HasSecondLine() && in.experiment.ratio > 0.0) p.lines.push_back({in.experiment.lambda2, in.experiment.ratio});
  if (!in.backgroundPoints.empty()) {
    BackgroundHats(p);
    return true;
  }
  p.K = in.backgroundTerms;
  p.chebyshev.resize(p.t.size() * static_cast<size_t>(std::max(p.K, 1)));
  const double span = p.rangeMax - p.rangeMin;
  for (size_t i = 0; i < p.t.size(); ++i)
    Chebyshev(2.0 * (p.t[i] - p.rangeMin) / span - 1.0, p.K, &p.chebyshev[i * static_cast<size_t>(p.K)]);
  return true;
}

void AddPatternValues(refinement::Model& m, size_t pi, unsigned refine) {
  PatternData& p = m.patterns[pi];
  const std::string pre = Prefix(m.patterns.size(), p.input.name);
  const int i = static_cast<int>(pi);
  const ExperimentParams& e = p.input.experiment;
  // The first pattern's wavelength fixes the length scale of the cells.
  p.lambda = AddValue(m, pre + "lambda", RefinedKind::Wavelength, i, -1, 0, e.lambda1, 0.8 * e.lambda1, 1.2 * e.lambda1,
                      (refine & kFitWavelength) && pi > 0);
  p.zero = AddValue(m, pre + "zero", RefinedKind::Zero, i, -1, 0, 0.0, -1.0, 1.0, refine & kFitZero);
  p.displacement = AddValue(m, pre + "displacement", RefinedKind::Displacement, i, -1, 0, 0.0, -5.0, 5.0, refine & kFitDisplacement);
  p.transparency = AddValue(m, pre + "transparency", RefinedKind::Transparency, i, -1, 0, 0.0, -2.0, 2.0, refine & kFitTransparency);
  const std::vector<double>& points = p.input.backgroundPoints;
  for (int k = 0; k < p.K; ++k) {
    const std::string name = points.empty() ? "bg" + std::to_string(k) : cformat("bg@%g", points[static_cast<size_t>(k)]);
    const double start = points.empty() ? 0.0 : CountsNear(p, points[static_cast<size_t>(k)]);
    p.background.push_back(AddValue(m, pre + name, RefinedKind::Background, i, -1, k, start, -kInf, kInf, refine & kFitBackground));
  }
  const bool widths = refine & kFitWidths;
  // Zero widths give peaks whose shape does not move with them.
  const double w0 = widths && e.u == 0.0 && e.v == 0.0 && e.w == 0.0 ? 0.01 : e.w;
  p.u = AddValue(m, pre + "U", RefinedKind::U, i, -1, 0, e.u, -kInf, kInf, widths);
  p.v = AddValue(m, pre + "V", RefinedKind::V, i, -1, 0, e.v, -kInf, kInf, widths);
  p.w_ = AddValue(m, pre + "W", RefinedKind::W, i, -1, 0, w0, -kInf, kInf, widths);
  p.x = AddValue(m, pre + "X", RefinedKind::X, i, -1, 0, std::max(e.x, 0.0), 0.0, kInf, refine & kFitLorentz);
  p.y = AddValue(m, pre + "Y", RefinedKind::Y, i, -1, 0, std::max(e.y, 0.0), 0.0, kInf, refine & kFitLorentz);
  // One value for S/L = H/L: with both free their columns become one as
  // they approach each other (the profile is symmetric in the two), and
  // the normal matrix singular.
  const bool asym = refine & kFitAsymmetry;
  const double given = 0.5 * (p.input.sl + p.input.hl);
  p.sl = AddValue(m, pre + "SH/L", RefinedKind::SL, i, -1, 0, asym && given <= 0.0 ? 0.02 : given, 0.0, 0.5, asym);
}

std::string CoordinateName(const std::array<double, 3>& dir) {
  size_t lead = 0;
  while (lead < 2 && dir[lead] == 0.0) ++lead;
  return std::string(1, "xyz"[lead]);
}

void AddSiteValues(refinement::Model& m, size_t fi, unsigned refine, const std::string& pre, bool bisoPerElement) {
  PhaseData& ph = m.phases[fi];
  const int f = static_cast<int>(fi);
  ph.coordinate.assign(static_cast<size_t>(ph.structure->coordinateCount()), -1);
  std::vector<bool> follows(ph.structure->sites.size(), false);
  if (refine & kFitOccupancy)
    for (const std::vector<int>& shared : refinement::SharedPositions(ph.structure->sites)) {
      PhaseData::Follow fo{shared.back(), std::vector<int>(shared.begin(), shared.end() - 1), 0.0};
      for (int s : shared) fo.total += ph.structure->sites[static_cast<size_t>(s)].occupancy;
      follows[static_cast<size_t>(fo.site)] = true;
      ph.follows.push_back(fo);
    }
  std::map<std::string, int> seen, elementB;
  for (size_t s = 0; s < ph.structure->sites.size(); ++s) {
    const refinement::RefinedSite& site = ph.structure->sites[s];
    std::string label = site.label.empty() ? "site" : site.label;
    if (++seen[label] > 1) label += "#" + std::to_string(seen[label]);
    const auto c0 = static_cast<size_t>(site.firstCoordinate);
    const int si = static_cast<int>(s);
    for (size_t k = 0; k < site.dirs.size(); ++k) {
      const std::string axis = CoordinateName(site.dirs[k]);
      const double start = site.start[static_cast<size_t>(axis[0] - 'x')];
      ph.coordinate[c0 + k] = AddValue(m, pre + label + " " + axis, RefinedKind::Shift, -1, f, si, start, -kInf, kInf, refine & kFitPositions);
    }
    if (!follows[s])
      ph.coordinate[c0 + site.dirs.size()] = AddValue(m, pre + label + " occ", RefinedKind::Occupancy, -1, f, si, site.occupancy, 0.0, 1.0, refine & kFitOccupancy);
    int& b = ph.coordinate[c0 + site.dirs.size() + 1];
    if (!bisoPerElement) {
      b = AddValue(m, pre + label + " B", RefinedKind::Biso, -1, f, si, site.b, 0.0, 30.0, refine & kFitBiso);
      continue;
    }
    // The element's sites share the value of its first one.
    const std::string element = refinement::ElementOfLabel(site.label);
    const auto [it, fresh] = elementB.try_emplace(element, -1);
    if (fresh) it->second = AddValue(m, pre + "B(" + element + ")", RefinedKind::Biso, -1, f, si, site.b, 0.0, 30.0, refine & kFitBiso);
    b = it->second;
  }
}

void AddPhaseValues(refinement::Model& m, size_t fi, unsigned refine, bool bisoPerElement) {
  PhaseData& ph = m.phases[fi];
  const std::string pre = Prefix(m.phases.size(), ph.input.name);
  const int f = static_cast<int>(fi);
  for (size_t p = 0; p < m.patterns.size(); ++p)
    ph.scale.push_back(AddValue(m, Prefix(m.patterns.size(), m.patterns[p].input.name) + pre + "scale", RefinedKind::Scale,
                                static_cast<int>(p), f, 0, 1.0, 0.0, kInf, (refine & kFitScale) && !ph.input.leBail));
  const std::array<bool, 6> free = FreeCellConstants(ph.type, ph.axis);
  const CellConstants c = ConstantsOf(ph.doc->cell);
  const char* names[6] = {"a", "b", "c", "alpha", "beta", "gamma"};
  for (size_t i = 0; i < 6; ++i)
    if (free[i]) ph.cell[i] = AddValue(m, pre + names[i], RefinedKind::Cell, -1, f, static_cast<int>(i), c[i], 0.8 * c[i], 1.2 * c[i], refine & kFitCell);
  const double gsize = ph.doc->experiment.gsize;
  ph.inverseSize = AddValue(m, pre + "1/size", RefinedKind::InverseSize, -1, f, 0, gsize > 0.0 ? 1.0 / gsize : 0.0, 0.0, 0.5, refine & kFitSize);
  ph.strain = AddValue(m, pre + "strain", RefinedKind::Strain, -1, f, 0, 0.0, 0.0, 0.1, refine & kFitStrain);
  if (ph.input.orientation) ph.orientation = AddValue(m, pre + "orientation r", RefinedKind::Orientation, -1, f, 0, 1.0, 0.1, 10.0, refine & kFitOrientation);
  if (!ph.input.leBail) AddSiteValues(m, fi, refine, pre, bisoPerElement);
}

// The private copy of a phase, its lines over every pattern's range and
// the intensity constants of each pattern's experiment.
bool TakePhase(refinement::Model& m, PhaseData& ph, std::string* error) {
  const CKomorka& src = *ph.input.doc;
  ph.doc = std::make_unique<CKomorka>();
  ph.doc->experiment = m.patterns.front().input.experiment;
  ph.doc->experiment.gsize = src.experiment.gsize;
  ph.doc->experiment.dwfactor = src.experiment.dwfactor;
  ph.doc->experiment.IsDW = src.experiment.IsDW;
  ph.doc->cell = src.cell.WithFreshMetric();
  ph.doc->crystal = src.crystal;
  if (const std::string why = ph.doc->ValidateCalculation(); !why.empty()) {
    *error = ph.input.name + ": " + why;
    return false;
  }
  if (ph.input.orientation && *ph.input.orientation == std::array<int, 3>{0, 0, 0}) {
    *error = ph.input.name + ": the orientation axis 0 0 0 is no direction";
    return false;
  }
  ph.type = src.crystal.latticeType;
  ph.axis = UniqueAxisOf(src.crystal);
  ph.structure = std::make_unique<refinement::StructureModel>(*ph.doc);
  ph.cellMass = CellContentsMass(src.crystal);
  ph.volume0 = ph.doc->cell.CellVolume();
  double inverseDMax = 0.0;
  for (const PatternData& p : m.patterns)
    for (const auto& [lambda, ratio] : p.lines)
      inverseDMax = std::max(inverseDMax, 2.0 * std::sin(ThetaOfTwoTheta(std::min(p.rangeMax + 3.0, 180.0))) / lambda);
  ph.groups = LinesOf(*ph.doc, ph.type, ph.axis, inverseDMax * 1.05);
  for (const PatternData& p : m.patterns) {
    CKomorka copy;
    copy.experiment = p.input.experiment;
    copy.cell = ph.doc->cell;
    copy.crystal.latticeType = ph.type;
    std::array<double, 2> k{};
    for (size_t li = 0; li < p.lines.size(); ++li) {
      const CKomorka::LineFactors lf = copy.LineIntensityFactors(static_cast<int>(li) + 1);
      k[li] = lf.numerator / lf.denominator;
    }
    ph.constant0.push_back(k);
    ph.leBail.emplace_back(ph.groups.size(), 0.0);
  }
  return true;
}

}  // namespace

Refinement::Refinement(std::unique_ptr<Model> model) : model_(std::move(model)) {}
Refinement::~Refinement() = default;

std::vector<RefinedValue>& Refinement::values() { return model_->values; }

const std::vector<double>& Refinement::FittedAngles(size_t pattern) const { return model_->patterns.at(pattern).t; }

RefinedValue* Refinement::Find(const std::string& name) {
  for (RefinedValue& v : model_->values)
    if (v.name == name) return &v;
  return nullptr;
}

std::unique_ptr<Refinement> Refinement::Create(const RefinementSetup& setup, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  if (setup.phases.empty() || setup.patterns.empty()) {
    *error = "a refinement needs at least one structure and one measured pattern";
    return nullptr;
  }
  if ((setup.refine & kFitStrain) && (setup.refine & kFitLorentz)) {
    *error = "strain and the instrument's X broaden the peaks alike (with tan theta): refine one of them";
    return nullptr;
  }
  auto m = std::make_unique<Model>();
  for (const RefinementPattern& in : setup.patterns) {
    if (!BackgroundTermsValid(in.backgroundTerms)) {
      *error = "the background has 0 to " + std::to_string(kMaxBackgroundTerms) + " terms";
      return nullptr;
    }
    PatternData p;
    p.input = in;
    if (!TakePattern(p, error)) return nullptr;
    m->patterns.push_back(std::move(p));
  }
  for (const RefinementPhase& in : setup.phases) {
    PhaseData ph;
    ph.input = in;
    if (!in.doc || !TakePhase(*m, ph, error)) return nullptr;
    m->phases.push_back(std::move(ph));
  }
  for (size_t p = 0; p < m->patterns.size(); ++p) AddPatternValues(*m, p, setup.refine);
  for (size_t f = 0; f < m->phases.size(); ++f) AddPhaseValues(*m, f, setup.refine, setup.bisoPerElement);
  for (size_t f = 0; f < m->phases.size(); ++f) m->PushStructure(f);
  auto r = std::unique_ptr<Refinement>(new Refinement(std::move(m)));
  r->setup_ = setup;
  r->setup_.patterns.clear();
  r->setup_.phases.clear();
  return r;
}

}  // namespace pelmora
