#include "measured/ui/MeasuredLayer.h"

#include <algorithm>
#include <cmath>

#include "diffractogram/ui/ChartView.h"

namespace pelmora {

void MeasuredLayer::PatternChanged(const PatternGrid& grid) {
  // A refinement's curve lasts through the calculation that follows
  // "Zastosuj"; a later one (the structure edited) matches afresh.
  if (model_.refined() && model_.keepRefined-- <= 0) model_ = OverlayModel{};
  if (!model_.fitted) model_ = StartingOverlay(grid, *measured_);
}

std::shared_ptr<const ChartOverlay> MeasuredLayer::Build(const PatternGrid& grid,
                                                         const std::vector<Reflection>* reflections) const {
  const MeasuredPattern& m = *measured_;
  if (model_.refined()) return BuildRefined();
  auto o = std::make_shared<ChartOverlay>();
  o->twoTheta = m.twoTheta;
  o->observed = m.counts;
  o->difference.resize(m.counts.size());
  for (size_t i = 0; i < m.counts.size(); ++i) o->difference[i] = m.counts[i] - model_.Calculated(grid, m.twoTheta[i]);
  // The model at the grid's resolution, so that the peaks keep their shape
  // between sparse measured points.
  const int first = std::max(0, static_cast<int>(std::ceil(m.twoTheta.front() / kPatternStep)));
  const int last = std::min(PatternGrid::size() - 1, static_cast<int>(std::floor(m.twoTheta.back() / kPatternStep)));
  for (int i = first; i <= last; ++i) {
    const double t = i * kPatternStep;
    o->calcAngle.push_back(t);
    o->calculated.push_back(model_.Calculated(grid, t));
  }
  // The calculated reflections, moved by the zero shift as the model moves them.
  std::vector<double> row;
  if (reflections)
    for (const Reflection& r : *reflections)
      if (r.nonZero && r.line == 1) row.push_back(TwoThetaDegrees(r) + model_.zero);
  o->ticks.push_back(std::move(row));
  LayOutOverlay(*o);
  return o;
}

// The refinement's curve where it fitted; the difference there alone.
std::shared_ptr<const ChartOverlay> MeasuredLayer::BuildRefined() const {
  const MeasuredPattern& m = *measured_;
  auto o = std::make_shared<ChartOverlay>();
  o->twoTheta = m.twoTheta;
  o->observed = m.counts;
  o->difference.assign(m.counts.size(), 0.0);
  const std::vector<double>& t = model_.refinedTwoTheta;
  for (size_t i = 0; i < m.counts.size(); ++i) {
    const auto at = std::lower_bound(t.begin(), t.end(), m.twoTheta[i]);
    if (at != t.end() && *at == m.twoTheta[i])
      o->difference[i] = m.counts[i] - model_.refinedCalculated[static_cast<size_t>(at - t.begin())];
  }
  o->calcAngle = t;
  o->calculated = model_.refinedCalculated;
  o->ticks = model_.refinedTicks;
  if (o->ticks.empty()) o->ticks.emplace_back();
  LayOutOverlay(*o);
  return o;
}

MeasuredLayer* MeasuredLayerOf(const CDownView& view) { return dynamic_cast<MeasuredLayer*>(view.layer()); }

}  // namespace pelmora
